#include "config/ini.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace tavik {
namespace {

namespace fs = std::filesystem;

class IniFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = fs::temp_directory_path() /
            ("tavik-ini-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini");
  }
  void TearDown() override { fs::remove(path_); }

  Ini LoadText(const std::string& text) {
    std::ofstream(path_, std::ios::binary) << text;
    Ini ini;
    ini.Load(path_.string());
    return ini;
  }

  fs::path path_;
};

struct LineCase {
  const char* name;
  const char* text;
  const char* key;
  const char* section;
  std::optional<std::string> expected;
};

const LineCase kLineCases[] = {
    {"plain", "DV_MOD_HMM=mod.dll\n", "DV_MOD_HMM", "", "mod.dll"},
    {"blanks kept at the end", "  DV_MOD_HMM  =   mod.dll  \n", "DV_MOD_HMM", "", "mod.dll  "},
    {"semicolon comment", "; DV_MOD_HMM=mod.dll\n", "DV_MOD_HMM", "", std::nullopt},
    {"slash comment", "   // DV_MOD_HMM=mod.dll\n", "DV_MOD_HMM", "", std::nullopt},
    {"after a section", "[HEAD]\nDV_MOD_HMM=mod.dll\n", "DV_MOD_HMM", "", std::nullopt},
    {"stored in its section", "[HEAD]\nDV_MOD_HMM=mod.dll\n", "DV_MOD_HMM", "HEAD", "mod.dll"},
    {"empty value skipped, earlier kept", "DV_MOD_HMM=a\nDV_MOD_HMM =\n", "DV_MOD_HMM", "", "a"},
    {"last wins", "DV_MOD_HMM=a\nDV_MOD_HMM=b\n", "DV_MOD_HMM", "", "b"},
    {"blank header fits no rule", "[HEAD]\n[ X ]\nk=v\n", "k", "HEAD", "v"},
    {"header text after bracket ignored", "[HEAD] trailing\nk=v\n", "k", "HEAD", "v"},
    {"repeated header continues", "[A]\nx=1\n[B]\ny=2\n[A]\nz=3\n", "x", "A", "1"},
    {"key with a dash skipped", "DV-MOD=x\n", "DV-MOD", "", std::nullopt},
    {"CR LF line ends", "k=v\r\nj=w\r\n", "k", "", "v"},
};

TEST_F(IniFile, LineGrammar) {
  for (const auto& c : kLineCases) {
    SCOPED_TRACE(c.name);
    const Ini ini = LoadText(c.text);
    EXPECT_TRUE(ini.loaded());
    EXPECT_EQ(ini.Get(c.key, c.section), c.expected);
  }
}

TEST_F(IniFile, KnownKeysComeFromTheUnnamedSectionOnly) {
  const Ini ini = LoadText(
      "DV_MOD_HMM=hmm.so\ndv_mod_ht=lower.so\nTV_RSC=rsc.json\n[S]\nDV_MOD_MW=mw.so\n");
  EXPECT_EQ(ini.GetKnown(DV_MOD_HMM), "hmm.so");
  EXPECT_EQ(ini.GetKnown(DV_MOD_HT), std::nullopt);  // keys are case-sensitive
  EXPECT_EQ(ini.GetKnown(DV_MOD_MW), std::nullopt);
  EXPECT_EQ(ini.GetKnown(TV_RSC), "rsc.json");
  EXPECT_EQ(ini.GetKnown(kIniKeyCount), std::nullopt);
}

TEST_F(IniFile, EmptyFileLoadsWithEmptyTable) {
  const Ini ini = LoadText("");
  EXPECT_TRUE(ini.loaded());
  for (int i = 0; i < kIniKeyCount; ++i) EXPECT_EQ(ini.GetKnown(i), std::nullopt);
}

TEST_F(IniFile, MissingFileClearsEverything) {
  Ini ini = LoadText("DV_MOD_HMM=x\n");
  ini.Load((path_.string() + ".missing"));
  EXPECT_FALSE(ini.loaded());
  EXPECT_EQ(ini.GetKnown(DV_MOD_HMM), std::nullopt);
}

}  // namespace
}  // namespace tavik
