// The configuration file: load any text, read the known keys and resolve
// each configured path the way the library does before using it. Texts whose
// lines are all short are also read with the grammar's own ECMAScript
// patterns, and both readings must agree.
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "config/ini.h"
#include "config/paths.h"
#include "fuzz_support.h"

namespace {

namespace fs = std::filesystem;
using tavik::fuzz::Fail;
using Sections = std::map<std::string, std::map<std::string, std::string>>;

// The standard matcher's stack grows with the line; these stay well inside.
constexpr std::size_t kLongestPatternLine = 256;

struct Patterns {
  std::regex comment{R"(\s*((//)|;).*)", std::regex::ECMAScript};
  std::regex section_header{R"(\s*\[(\w+)\].*)", std::regex::ECMAScript};
  std::regex key_value{R"(\s*(\w+)\s*=\s*(.+)\s*)", std::regex::ECMAScript};
};

// Lines as the library splits them: at LF, a final CR dropped.
std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(begin, end - begin));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    begin = end + 1;
  }
  return lines;
}

std::optional<Sections> ReadWithPatterns(const std::vector<std::string>& lines) {
  static const Patterns patterns;
  Sections sections;
  std::string section;
  for (const std::string& line : lines) {
    if (line.size() > kLongestPatternLine) return std::nullopt;
    std::smatch match;
    if (std::regex_match(line, patterns.comment)) continue;
    if (std::regex_match(line, match, patterns.section_header)) {
      section = match[1].str();
    } else if (std::regex_match(line, match, patterns.key_value)) {
      sections[section][match[1].str()] = match[2].str();
    }
  }
  return sections;
}

// Every word that starts a line (after blanks or an opening bracket) could
// have become a key or a section name.
std::set<std::string> CandidateWords(const std::vector<std::string>& lines) {
  std::set<std::string> words = {""};
  for (const std::string& line : lines) {
    std::size_t i = line.find_first_not_of(" \t\v\f\r");
    if (i == std::string::npos) continue;
    if (line[i] == '[') ++i;
    std::size_t end = i;
    while (end < line.size() &&
           (std::isalnum(static_cast<unsigned char>(line[end])) != 0 || line[end] == '_')) {
      ++end;
    }
    words.insert(line.substr(i, end - i));
    if (words.size() > 64) break;
  }
  return words;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tavik::fuzz::QuietLogs();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fs::path path = tavik::fuzz::ScratchDirectory() / "tavik.ini";
  tavik::fuzz::WriteFile(path, data, size);

  tavik::Ini ini;
  ini.Load(path.string());
  if (!ini.loaded()) Fail("a readable file was not loaded");
  for (int key = 0; key < tavik::kIniKeyCount; ++key) {
    const auto value = ini.GetKnown(key);
    if (value != ini.Get(tavik::IniKeyName(key))) {
      Fail(std::string("known value differs from the plain read of ") + tavik::IniKeyName(key));
    }
    if (value) (void)tavik::ResolvePath(*value);
  }

  const std::vector<std::string> lines =
      Lines(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::optional<Sections> expected = ReadWithPatterns(lines);
  if (!expected) return 0;
  const std::set<std::string> words = CandidateWords(lines);
  for (const std::string& section : words) {
    for (const std::string& key : words) {
      std::optional<std::string> value;
      if (const auto s = expected->find(section); s != expected->end()) {
        if (const auto k = s->second.find(key); k != s->second.end()) value = k->second;
      }
      if (ini.Get(key, section) != value) {
        Fail("[" + section + "] " + key + " is read differently from the grammar's patterns");
      }
    }
  }
  return 0;
}
