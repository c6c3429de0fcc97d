// The configuration file's line rules, checked against the ECMAScript
// patterns they are defined by, and on lines far longer than those patterns'
// matcher can take on a thread's stack.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "config/ini.h"
#include "qxol.h"
#include "support/end_to_end.h"

namespace tavik::test {
namespace {

using Sections = std::map<std::string, std::map<std::string, std::string>>;

// The grammar as the patterns state it, read with the standard matcher (safe
// here: every line of these tests is short).
Sections ReadWithPatterns(const std::string& text) {
  const std::regex comment(R"(\s*((//)|;).*)", std::regex::ECMAScript);
  const std::regex section_header(R"(\s*\[(\w+)\].*)", std::regex::ECMAScript);
  const std::regex key_value(R"(\s*(\w+)\s*=\s*(.+)\s*)", std::regex::ECMAScript);
  Sections sections;
  std::string section;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    begin = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::smatch match;
    if (std::regex_match(line, comment)) continue;
    if (std::regex_match(line, match, section_header)) {
      section = match[1].str();
    } else if (std::regex_match(line, match, key_value)) {
      sections[section][match[1].str()] = match[2].str();
    }
  }
  return sections;
}

TEST(IniLineRulesTest, LinesAreReadAsTheGrammarsPatternsReadThem) {
  const std::vector<std::string> lines = {
      "KEY=value",
      "  KEY  =  value  ",
      "KEY\t=\tvalue\t",
      "\vKEY=\fvalue\f",
      "KEY=",
      "KEY= ",
      "KEY=   ",
      "KEY=\t \t",
      "KEY=a\rb",
      "KEY=a \r ",
      "KEY= \r ",
      "KEY=\r",
      "KEY= \r",
      "KEY=  \r  x",
      "KEY==x",
      "KEY=x=y",
      "KEY=a;b//c",
      std::string("KEY=a\0b", 7),
      "K EY=x",
      "=x",
      "KEY x",
      "KEY\r=x",
      "K\xC9Y=x",
      "KEY=\xC9t\xC9",
      "[sec]",
      " [sec] trailing",
      "[sec]\rjunk",
      "[sec",
      "[]",
      "[se c]",
      "[s\xC9]",
      ";KEY=x",
      "  //KEY=x",
      "/KEY=x",
      "; a\rb",
      "// a\r",
  };
  for (const std::string& line : lines) {
    SCOPED_TRACE(::testing::PrintToString(line));
    // The line between two others, so that it can change their section.
    const std::string text = "before=1\n" + line + "\nKEY=after\nafter=2\n";
    const TempDir dir;
    Ini ini;
    ini.Load(dir.Write("lines.ini", text));
    ASSERT_TRUE(ini.loaded());

    const Sections expected = ReadWithPatterns(text);
    for (const char* section : {"", "sec", "se", "s"}) {
      for (const char* key : {"KEY", "K", "EY", "before", "after", "a", "x"}) {
        std::optional<std::string> value;
        if (const auto s = expected.find(section); s != expected.end()) {
          if (const auto k = s->second.find(key); k != s->second.end()) value = k->second;
        }
        EXPECT_EQ(ini.Get(key, section), value) << "[" << section << "] " << key;
      }
    }
  }
}

TEST(IniLineRulesTest, VeryLongLinesAreReadWithoutExhaustingTheStack) {
  const std::string long_value(200000, 'x');
  const std::string text = "; " + std::string(200000, 'c') + "\n" + "[" + std::string(200000, 's') +
                           "]\n" + "[general]\n" + "DV_MOD_HT = " + long_value + "\n" +
                           "DV_MOD_MW=" + long_value + "\r\n" + "DV_MOD_RSC=" + long_value +
                           "\rjunk\n";
  const TempDir dir;
  Ini ini;
  ini.Load(dir.Write("long.ini", text));
  ASSERT_TRUE(ini.loaded());
  EXPECT_EQ(ini.Get("DV_MOD_HT", "general"), long_value);
  EXPECT_EQ(ini.Get("DV_MOD_MW", "general"), long_value);
  EXPECT_EQ(ini.Get("DV_MOD_RSC", "general"), std::nullopt);

  // And an instance comes up from such a file.
  IniSpec spec;
  spec.lines = {{"DV_MOD_CDG", long_value}};
  const Instance instance(WriteIni(dir, spec));
  EXPECT_EQ(instance.result(), QXOL_OK);
}

}  // namespace
}  // namespace tavik::test
