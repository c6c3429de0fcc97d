// The instance's configuration file: ini-like sections of key = value lines.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>

namespace tavik {

// Indices of the nine keys the library itself reads from the unnamed section.
enum IniKey : int {
  DV_MOD_HMM = 0,
  DV_MOD_HT = 1,
  DV_MOD_MW = 2,
  DV_MOD_BRS = 3,
  DV_MOD_CDG = 4,
  DV_MOD_RSC = 5,
  DV_MOD_ISV = 6,
  DV_MOD_ECALIB = 7,
  TV_RSC = 8,
  kIniKeyCount = 9
};

// The key text of a known-value index ("DV_MOD_HMM" for 0, ...).
const char* IniKeyName(int index);

class Ini {
 public:
  Ini();
  virtual ~Ini() = default;

  // Reads the file and refills the known-value table. Lines that fit no rule
  // are skipped silently; an unreadable file leaves loaded() false.
  void Load(const std::string& path);

  std::optional<std::string> Get(const std::string& key, const std::string& section = {}) const;
  std::optional<std::string> GetKnown(int index) const;

  bool loaded() const { return loaded_; }

 private:
  bool loaded_ = false;
  std::map<std::string, std::map<std::string, std::string>> sections_;
  std::array<std::optional<std::string>, kIniKeyCount> known_;
};

}  // namespace tavik
