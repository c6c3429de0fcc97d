#include "calib/color_hook.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "config/paths.h"
#include "support/end_to_end.h"

namespace tavik {
namespace {

using test::DoublePath;
using test::IniSpec;
using test::IsLoaded;
using test::TempDir;
using test::WriteIni;

Ini LoadIni(const TempDir& dir, std::vector<std::pair<std::string, std::string>> lines,
            std::string module = "") {
  IniSpec spec;
  spec.module = std::move(module);
  spec.lines = std::move(lines);
  Ini ini;
  ini.Load(WriteIni(dir, spec));
  return ini;
}

TEST(ColorConversionHook, ProbesTheConfiguredLibrary) {
  const struct {
    const char* name;
    std::vector<std::pair<std::string, std::string>> lines;
    std::string module;  // DV_MOD_HMM
    bool expected;
  } kCases[] = {
      {"with the entry point", {{"DV_MOD_HT", DoublePath("ht_hook")}}, "", true},
      {"without the entry point", {{"DV_MOD_HT", DoublePath("ht_nohook")}}, "", false},
      {"legacy module is not a hook", {{"DV_MOD_HT", DoublePath("dorva_double")}}, "", false},
      {"not a library", {{"DV_MOD_HT", DoublePath("not_a_module")}}, "", false},
      {"no such file", {{"DV_MOD_HT", DoublePath("no_such_library")}}, "", false},
      {"nothing configured", {}, "", false},
      // Only DV_MOD_HT is examined, never the module loaded at creation.
      {"hook only under DV_MOD_HMM", {}, DoublePath("ht_hook"), false},
      {"hook under DV_MOD_HMM, none under DV_MOD_HT",
       {{"DV_MOD_HT", DoublePath("ht_nohook")}},
       DoublePath("ht_hook"),
       false},
  };
  const TempDir dir;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const Ini ini = LoadIni(dir, c.lines, c.module);
    ASSERT_TRUE(ini.loaded());
    EXPECT_EQ(HasColorConversionHook(ini), c.expected);
    // Nothing stays loaded after the probe.
    EXPECT_FALSE(IsLoaded(DoublePath("ht_hook")));
    EXPECT_FALSE(IsLoaded(DoublePath("ht_nohook")));
  }
}

TEST(ColorConversionHook, RelativePathIsTakenFromTheLibraryDirectory) {
  const std::string saved = LibraryFilePath();
  const std::filesystem::path doubles = std::filesystem::path(DoublePath("ht_hook")).parent_path();
  SetLibraryFilePath((doubles / "library.so").string());
  const TempDir dir;
  const Ini with_hook = LoadIni(dir, {{"DV_MOD_HT", "ht_hook.so"}});
  const bool found = HasColorConversionHook(with_hook);
  const Ini without = LoadIni(dir, {{"DV_MOD_HT", "ht_nohook.so"}});
  const bool not_found = HasColorConversionHook(without);
  SetLibraryFilePath(saved);
  EXPECT_TRUE(found);
  EXPECT_FALSE(not_found);
}

}  // namespace
}  // namespace tavik
