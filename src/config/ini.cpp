#include "config/ini.h"

#include <fstream>

namespace tavik {

namespace {
constexpr const char* kKnownKeys[kIniKeyCount] = {
    "DV_MOD_HMM", "DV_MOD_HT",  "DV_MOD_MW",     "DV_MOD_BRS", "DV_MOD_CDG",
    "DV_MOD_RSC", "DV_MOD_ISV", "DV_MOD_ECALIB", "TV_RSC",
};
}  // namespace

const char* IniKeyName(int index) {
  return index >= 0 && index < kIniKeyCount ? kKnownKeys[index] : "";
}

Ini::Ini()
    : comment_(R"(\s*((//)|;).*)", std::regex::ECMAScript),
      section_header_(R"(\s*\[(\w+)\].*)", std::regex::ECMAScript),
      key_value_(R"(\s*(\w+)\s*=\s*(.+)\s*)", std::regex::ECMAScript) {}

void Ini::Load(const std::string& path) {
  sections_.clear();
  std::ifstream in(path);
  if (!in.is_open()) {
    loaded_ = false;
  } else {
    std::string section;
    std::string line;
    std::smatch match;
    while (std::getline(in, line)) {
      // Text mode on Windows drops the CR of a CR LF line end; do the same here.
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (std::regex_match(line, comment_)) continue;
      if (std::regex_match(line, match, section_header_)) {
        section = match[1].str();
        continue;
      }
      if (std::regex_match(line, match, key_value_)) {
        sections_[section][match[1].str()] = match[2].str();
      }
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
