#include "config/ini.h"

#include <algorithm>
#include <fstream>
#include <string_view>

namespace tavik {

namespace {
constexpr const char* kKnownKeys[kIniKeyCount] = {
    "DV_MOD_HMM", "DV_MOD_HT",  "DV_MOD_MW",     "DV_MOD_BRS", "DV_MOD_CDG",
    "DV_MOD_RSC", "DV_MOD_ISV", "DV_MOD_ECALIB", "TV_RSC",
};

// The line rules are the ECMAScript patterns
//   comment          \s*((//)|;).*
//   section header   \s*\[(\w+)\].*
//   key = value      \s*(\w+)\s*=\s*(.+)\s*
// each matched against the whole line. They are matched by hand: the
// standard library's matcher needs stack in proportion to the line, and a
// line of a few thousand characters overflows a host thread's stack.

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsWord(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
std::size_t SkipSpaces(std::string_view text, std::size_t i) {
  while (i < text.size() && IsSpace(text[i])) ++i;
  return i;
}
std::size_t SkipWord(std::string_view text, std::size_t i) {
  while (i < text.size() && IsWord(text[i])) ++i;
  return i;
}
// What ".*" matches: anything but the two line terminators.
bool AnyRest(std::string_view text) {
  return text.find_first_of("\r\n") == std::string_view::npos;
}

bool IsComment(std::string_view line) {
  const std::string_view rest = line.substr(SkipSpaces(line, 0));
  if (rest.starts_with("//")) return AnyRest(rest.substr(2));
  if (rest.starts_with(";")) return AnyRest(rest.substr(1));
  return false;
}

bool IsSectionHeader(std::string_view line, std::string_view& name) {
  const std::size_t open = SkipSpaces(line, 0);
  if (open >= line.size() || line[open] != '[') return false;
  const std::size_t close = SkipWord(line, open + 1);
  if (close == open + 1 || close >= line.size() || line[close] != ']') return false;
  if (!AnyRest(line.substr(close + 1))) return false;
  name = line.substr(open + 1, close - open - 1);
  return true;
}

bool IsKeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
  const std::size_t key_begin = SkipSpaces(line, 0);
  const std::size_t key_end = SkipWord(line, key_begin);
  if (key_end == key_begin) return false;
  const std::size_t equals = SkipSpaces(line, key_end);
  if (equals >= line.size() || line[equals] != '=') return false;
  const std::string_view rest = line.substr(equals + 1);
  // "\s*(.+)\s*" as the backtracking matcher settles it: the leading spaces
  // longest first, then the longest value that leaves only spaces behind.
  for (std::size_t begin = SkipSpaces(rest, 0) + 1; begin-- > 0;) {
    const std::size_t end = std::min(rest.find_first_of("\r\n", begin), rest.size());
    if (end > begin && SkipSpaces(rest, end) == rest.size()) {
      key = line.substr(key_begin, key_end - key_begin);
      value = rest.substr(begin, end - begin);
      return true;
    }
  }
  return false;
}
}  // namespace

const char* IniKeyName(int index) {
  return index >= 0 && index < kIniKeyCount ? kKnownKeys[index] : "";
}

Ini::Ini() = default;

void Ini::Load(const std::string& path) {
  sections_.clear();
  std::ifstream in(path);
  if (!in.is_open()) {
    loaded_ = false;
  } else {
    std::string section;
    std::string line;
    std::string_view name;
    std::string_view key;
    std::string_view value;
    while (std::getline(in, line)) {
      // Text mode on Windows drops the CR of a CR LF line end; do the same here.
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (IsComment(line)) continue;
      if (IsSectionHeader(line, name)) {
        section = std::string(name);
        continue;
      }
      if (IsKeyValue(line, key, value)) sections_[section][std::string(key)] = std::string(value);
    }
    loaded_ = true;
  }
  for (int i = 0; i < kIniKeyCount; ++i) known_[i] = Get(kKnownKeys[i]);
}

std::optional<std::string> Ini::Get(const std::string& key, const std::string& section) const {
  const auto s = sections_.find(section);
  if (s == sections_.end()) return std::nullopt;
  const auto k = s->second.find(key);
  if (k == s->second.end()) return std::nullopt;
  return k->second;
}

std::optional<std::string> Ini::GetKnown(int index) const {
  if (index < 0 || index >= kIniKeyCount) return std::nullopt;
  return known_[index];
}

}  // namespace tavik
