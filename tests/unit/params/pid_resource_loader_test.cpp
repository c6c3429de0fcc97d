#include "params/pid_resource_loader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "config/log.h"
#include "support/end_to_end.h"
#include "support/log_capture.h"

namespace tavik {
namespace {

using test::LogCapture;
using test::TempDir;
using Elements = std::vector<std::int64_t>;

constexpr std::int32_t kGeneral = -1000;  // marks an expectation on the general table

struct Expect {
  std::int32_t pmi;  // kGeneral or a PMI
  const char* name;
  std::optional<Elements> elements;  // nullopt: nothing stored
};

struct LoaderCase {
  const char* name;
  const char* json;
  std::vector<Expect> expected;
  std::vector<std::int32_t> pmis;  // tables that exist afterwards
};

// Element values as numbers; characters and bytes by their unsigned code.
Elements AsNumbers(const ParamValue& value) {
  return std::visit(
      [](const auto& array) {
        Elements out;
        for (auto element : array) {
          if constexpr (sizeof(element) == 1) {
            out.push_back(static_cast<unsigned char>(element));
          } else {
            out.push_back(element);
          }
        }
        return out;
      },
      value);
}

Elements Text(const std::string& text) {
  return Elements(text.begin(), text.end());
}

std::optional<Elements> Stored(const OptionDictionary& options, std::int32_t pmi,
                               QXOL_PARAM_ID id) {
  const ParamTable* table = &options.general_params();
  if (pmi != kGeneral) {
    const auto it = options.pmi_params().find(pmi);
    if (it == options.pmi_params().end()) return std::nullopt;
    table = &it->second;
  }
  const auto it = table->find(id);
  if (it == table->end()) return std::nullopt;
  return AsNumbers(it->second);
}

class Loader : public ::testing::Test {
 protected:
  OptionDictionary LoadText(const std::string& json) {
    OptionDictionary options;
    PidResourceLoader::Load(options, dir_.Write("resource.json", json));
    return options;
  }

  void Check(const LoaderCase& c) {
    SCOPED_TRACE(c.name);
    const OptionDictionary options = LoadText(c.json);
    for (const Expect& e : c.expected) {
      SCOPED_TRACE(std::string(e.name) + " in " +
                   (e.pmi == kGeneral ? std::string("general") : std::to_string(e.pmi)));
      const auto id = FindParamIdByName(e.name);
      ASSERT_TRUE(id.has_value());
      EXPECT_EQ(Stored(options, e.pmi, *id), e.elements);
    }
    EXPECT_EQ(options.GetPmIndexes(), c.pmis);
  }

  TempDir dir_;
};

const LoaderCase kValueForms[] = {
    {"general and per-PMI value",
     R"({"pid":{"version":1,"elements":{"QXIDS32_PRT_RES_X":720},
         "perpmi":{"1":{"QXIDS32_PRT_RES_X":1440}}}})",
     {{kGeneral, "QXIDS32_PRT_RES_X", Elements{720}}, {1, "QXIDS32_PRT_RES_X", Elements{1440}}},
     {1}},
    {"string without terminator",
     R"({"pid":{"version":1,"elements":{"QXIDSTR_J_DOC_NAME":"hello"}}})",
     {{kGeneral, "QXIDSTR_J_DOC_NAME", Text("hello")}},
     {}},
    {"number as a one-character text",
     R"({"pid":{"version":1,"elements":{"QXIDSTR_J_DOC_NAME":65,"QXIDSTR_J_HOST_NAME":321,
         "QXIDSTR_J_OS_INFO":true}}})",
     {{kGeneral, "QXIDSTR_J_DOC_NAME", Text("A")},
      {kGeneral, "QXIDSTR_J_HOST_NAME", Text("A")},
      {kGeneral, "QXIDSTR_J_OS_INFO", Elements{1}}},
     {}},
    {"byte arrays keep the low 8 bits",
     R"({"pid":{"version":1,"elements":{"QXIDU08_H_SPOTCOLOR_TBL":[1,256,257,-1,2.9,true],
         "QXIDU08_H_HID_TBL":511}}})",
     {{kGeneral, "QXIDU08_H_SPOTCOLOR_TBL", Elements{1, 0, 1, 255, 2, 1}},
      {kGeneral, "QXIDU08_H_HID_TBL", Elements{255}}},
     {}},
    {"integers keep the low 32 bits, fractions truncate toward zero",
     R"({"pid":{"version":1,"elements":{"QXIDS32_PRT_RES_X":[4294967297,2147483648,-1,3.9,-3.9,
         true,false,1e20,-1e20],"QXIDS32_PRT_RES_Y":-1.5,"QXIDS32_PRT_COLOR":18446744073709551615}}})",
     {{kGeneral, "QXIDS32_PRT_RES_X",
       Elements{1, -2147483648LL, -1, 3, -3, 1, 0, 1661992960, -1661992960}},
      {kGeneral, "QXIDS32_PRT_RES_Y", Elements{-1}},
      {kGeneral, "QXIDS32_PRT_COLOR", Elements{-1}}},
     {}},
    {"truth values",
     R"({"pid":{"version":1,"elements":{"QXIDBOL_H_SAVE_BKINK":true,
         "QXIDBOL_PRT_CUTLINE":[true,false,true],"QXIDBOL_TV_M_EX07M2_DONT_SEND":false}}})",
     {{kGeneral, "QXIDBOL_H_SAVE_BKINK", Elements{1}},
      {kGeneral, "QXIDBOL_PRT_CUTLINE", Elements{1, 0, 1}},
      {kGeneral, "QXIDBOL_TV_M_EX07M2_DONT_SEND", Elements{0}}},
     {}},
    {"empty array and empty string store nothing",
     R"({"pid":{"version":1,"elements":{"QXIDS32_PRT_RES_X":[],"QXIDSTR_J_DOC_NAME":"",
         "QXIDS32_PRT_RES_Y":1},"perpmi":{"2":{"QXIDS32_PRT_RES_X":[]},"3":{"QXIDS32_PRT_RES_X":4}}}})",
     {{kGeneral, "QXIDS32_PRT_RES_X", std::nullopt},
      {kGeneral, "QXIDSTR_J_DOC_NAME", std::nullopt},
      {kGeneral, "QXIDS32_PRT_RES_Y", Elements{1}},
      {3, "QXIDS32_PRT_RES_X", Elements{4}}},
     {3}},
    {"shared ID: the later name wins whatever the file order",
     R"({"pid":{"version":1,"elements":{"QXIDS32_SRC_MARGIN_Y":7,"QXIDS32_SRC_MARGIN_TOP":5}}})",
     {{kGeneral, "QXIDS32_SRC_MARGIN_Y", Elements{7}}},
     {}},
    {"per-PMI values of every form",
     R"({"pid":{"version":1,"perpmi":{"4":{"QXIDSTR_J_DOC_NAME":"ab","QXIDU08_H_HID_TBL":[2,3],
         "QXIDBOL_H_SAVE_BKINK":true,"QXIDU08_H_IWF_TBL":258,"QXIDSTR_J_OS_INFO":66}}}})",
     {{4, "QXIDSTR_J_DOC_NAME", Text("ab")},
      {4, "QXIDU08_H_HID_TBL", Elements{2, 3}},
      {4, "QXIDBOL_H_SAVE_BKINK", Elements{1}},
      {4, "QXIDU08_H_IWF_TBL", Elements{2}},
      {4, "QXIDSTR_J_OS_INFO", Text("B")}},
     {4}},
    {"other members are ignored",
     R"({"x":1,"pid":{"version":2,"comment":"y","elements":{"QXIDS32_PRT_RES_X":1}}})",
     {{kGeneral, "QXIDS32_PRT_RES_X", Elements{1}}},
     {}},
    {"unknown names are skipped",
     R"({"pid":{"version":1,"elements":{"QXIDS32_NOT_THERE":1,"QXIDS32_PRT_RES_X":2},
         "perpmi":{"1":{"QXIDS32_NOT_THERE":1,"QXIDS32_PRT_RES_Y":3}}}})",
     {{kGeneral, "QXIDS32_PRT_RES_X", Elements{2}}, {1, "QXIDS32_PRT_RES_Y", Elements{3}}},
     {1}},
    {"PMI text read like strtol",
     R"({"pid":{"version":1,"perpmi":{"3x":{"QXIDS32_PRT_RES_X":3}," -2":{"QXIDS32_PRT_RES_X":-2},
         "+7":{"QXIDS32_PRT_RES_X":7}}}})",
     {{3, "QXIDS32_PRT_RES_X", Elements{3}},
      {-2, "QXIDS32_PRT_RES_X", Elements{-2}},
      {7, "QXIDS32_PRT_RES_X", Elements{7}}},
     {-2, 3, 7}},
    {"null and empty members mean no values",
     R"({"pid":{"version":1,"elements":null,"perpmi":{"1":null,"2":[],"3":{}}}})",
     {},
     {}},
    {"elements as an empty array, perpmi still read",
     R"({"pid":{"version":1,"elements":[],"perpmi":{"1":{"QXIDS32_PRT_RES_X":1}}}})",
     {{1, "QXIDS32_PRT_RES_X", Elements{1}}},
     {1}},
    {"no pid",
     R"({"elements":{"QXIDS32_PRT_RES_X":1}})",
     {{kGeneral, "QXIDS32_PRT_RES_X", std::nullopt}},
     {}},
    {"byte order mark accepted",
     "\xEF\xBB\xBF{\"pid\":{\"elements\":{\"QXIDS32_PRT_RES_X\":5}}}",
     {{kGeneral, "QXIDS32_PRT_RES_X", Elements{5}}},
     {}},
};

TEST_F(Loader, ValueForms) {
  for (const LoaderCase& c : kValueForms) Check(c);
}

// A value the loader cannot read ends the loading; what was stored before it,
// in byte-wise name order, stays.
const LoaderCase kEndings[] = {
    {"number for a truth value",
     R"({"pid":{"version":1,"elements":{"QXIDS32_PRT_RES_X":5,"QXIDBOL_H_SAVE_BKINK":1,
         "QXIDBOL_H_COMPOSITE_BK_PRINT":true},"perpmi":{"1":{"QXIDS32_PRT_RES_X":1}}}})",
     {{kGeneral, "QXIDBOL_H_COMPOSITE_BK_PRINT", Elements{1}},
      {kGeneral, "QXIDS32_PRT_RES_X", std::nullopt}},
     {}},
    {"number for the private truth value whose ID bits say integer",
     R"({"pid":{"version":1,"elements":{"QXIDBOL_TV_M_EX07M2_DONT_SEND":1,"QXIDS32_PRT_RES_X":5}}})",
     {{kGeneral, "QXIDBOL_TV_M_EX07M2_DONT_SEND", std::nullopt},
      {kGeneral, "QXIDS32_PRT_RES_X", std::nullopt}},
     {}},
    {"string for an integer",
     R"({"pid":{"version":1,"elements":{"QXIDS32_PRT_RES_X":"720","QXIDS32_PRT_RES_Y":1}}})",
     {{kGeneral, "QXIDS32_PRT_RES_Y", std::nullopt}},
     {}},
    {"array for a text",
     R"({"pid":{"version":1,"elements":{"QXIDSTR_J_DOC_NAME":["a"],"QXIDSTR_J_OS_INFO":"b"}}})",
     {{kGeneral, "QXIDSTR_J_DOC_NAME", std::nullopt},
      {kGeneral, "QXIDSTR_J_OS_INFO", std::nullopt}},
     {}},
    {"null value",
     R"({"pid":{"version":1,"elements":{"QXIDS32_PRT_COLOR":1,"QXIDS32_PRT_RES_X":null,
         "QXIDS32_PRT_RES_Y":1}}})",
     {{kGeneral, "QXIDS32_PRT_COLOR", Elements{1}}, {kGeneral, "QXIDS32_PRT_RES_Y", std::nullopt}},
     {}},
    {"object value",
     R"({"pid":{"version":1,"elements":{"QXIDU08_H_HID_TBL":{},"QXIDU08_H_IWF_TBL":1}}})",
     {{kGeneral, "QXIDU08_H_IWF_TBL", std::nullopt}},
     {}},
    {"non-truth entry in a truth array",
     R"({"pid":{"version":1,"elements":{"QXIDBOL_PRT_CUTLINE":[true,1]}}})",
     {{kGeneral, "QXIDBOL_PRT_CUTLINE", std::nullopt}},
     {}},
    {"text entry in a byte array",
     R"({"pid":{"version":1,"elements":{"QXIDU08_H_HID_TBL":[1,"2"]}}})",
     {{kGeneral, "QXIDU08_H_HID_TBL", std::nullopt}},
     {}},
    {"elements as an array with entries skips perpmi",
     R"({"pid":{"version":1,"elements":[1],"perpmi":{"1":{"QXIDS32_PRT_RES_X":1}}}})",
     {},
     {}},
    {"elements as a string",
     R"({"pid":{"version":1,"elements":"x","perpmi":{"1":{"QXIDS32_PRT_RES_X":1}}}})",
     {},
     {}},
    {"perpmi as an array with entries",
     R"({"pid":{"version":1,"elements":{"QXIDS32_PRT_RES_X":1},"perpmi":[1]}})",
     {{kGeneral, "QXIDS32_PRT_RES_X", Elements{1}}},
     {}},
    {"PMI text starting with a letter is not PMI 0",
     R"({"pid":{"version":1,"perpmi":{"1":{"QXIDS32_PRT_RES_X":1},"x3":{"QXIDS32_PRT_RES_X":3}}}})",
     {{1, "QXIDS32_PRT_RES_X", Elements{1}}},
     {1}},
    {"PMI text out of the 32-bit range",
     R"({"pid":{"version":1,"perpmi":{"2147483648":{"QXIDS32_PRT_RES_X":1}}}})",
     {},
     {}},
    {"PMI 10 comes before PMI 2",
     R"({"pid":{"version":1,"perpmi":{"2":[1],"10":{"QXIDS32_PRT_RES_X":10}}}})",
     {{10, "QXIDS32_PRT_RES_X", Elements{10}}},
     {10}},
    {"scalar PMI member",
     R"({"pid":{"version":1,"perpmi":{"1":{"QXIDS32_PRT_RES_X":1},"2":5}}})",
     {{1, "QXIDS32_PRT_RES_X", Elements{1}}},
     {1}},
    {"pid as an array", R"({"pid":[1]})", {}, {}},
};

TEST_F(Loader, UnreadableValueEndsTheLoading) {
  for (const LoaderCase& c : kEndings) Check(c);
}

TEST_F(Loader, InvalidFilesRaiseAParseError) {
  const struct {
    const char* name;
    const char* json;
  } kCases[] = {
      {"empty file", ""},
      {"trailing text", R"({"pid":{}} x)"},
      {"two documents", R"({} {})"},
      {"comment", "// note\n{}"},
      {"truncated", R"({"pid":{"version":1)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    OptionDictionary options;
    EXPECT_THROW(PidResourceLoader::Load(options, dir_.Write("bad.json", c.json)), std::exception);
  }
  OptionDictionary options;
  EXPECT_THROW(PidResourceLoader::Load(options, (dir_.path() / "missing.json").string()),
               std::exception);
}

TEST_F(Loader, Records) {
  const struct {
    const char* name;
    const char* json;
    std::vector<std::string> errors;  // error-level records, in order
  } kCases[] = {
      {"complete", R"({"pid":{"version":1}})", {}},
      {"version as a truth value", R"({"pid":{"version":true}})", {}},
      {"fractional version", R"({"pid":{"version":1.5}})", {}},
      {"version missing", R"({"pid":{}})", {"couldn't load resource: \"version\""}},
      {"version as text", R"({"pid":{"version":"1"}})", {"couldn't load resource: \"version\""}},
      {"no pid", R"({})", {"couldn't load resource: \"version\""}},
      {"null document", "null", {"couldn't load resource: \"version\""}},
      {"array document",
       "[1]",
       {"couldn't load resource: \"pid\"", "couldn't load resource: \"version\""}},
      {"number document",
       "3",
       {"couldn't load resource: \"pid\"", "couldn't load resource: \"version\""}},
      {"unknown general name",
       R"({"pid":{"version":1,"elements":{"QXIDS32_NOPE":1,"qxids32_prt_res_x":2}}})",
       {"Not Support ParamID: QXIDS32_NOPE", "Not Support ParamID: qxids32_prt_res_x"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    LogCapture log;
    const std::string path = dir_.Write("records.json", c.json);
    OptionDictionary options;
    PidResourceLoader::Load(options, path);
    std::vector<std::string> errors;
    for (const auto& r : log.records()) {
      if (r.level >= kError) errors.push_back(r.text);
    }
    EXPECT_EQ(errors, c.errors);
    EXPECT_TRUE(log.Has(kInfo, "resource path: " + path));
  }
}

TEST_F(Loader, UnknownPerPmiNameIsReportedAsTodoWithTheLoaderSignature) {
  LogCapture log;
  LoadText(R"({"pid":{"version":1,"perpmi":{"1":{"QXIDS32_NOPE":1}}}})");
  std::vector<std::string> errors;
  for (const auto& r : log.records()) {
    if (r.level == kError) errors.push_back(r.text);
  }
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rfind("TODO: ", 0), 0u);
  EXPECT_NE(errors[0].find("PidResourceLoader::Load"), std::string::npos);
  EXPECT_EQ(log.Count("Not Support ParamID: QXIDS32_NOPE"), 0);
}

TEST_F(Loader, AddsToWhatTheDictionaryAlreadyHolds) {
  OptionDictionary options;
  const std::int32_t value = 9;
  options.SetParams(QXIDS32_PRT_COLOR, &value, 1);
  PidResourceLoader::Load(options,
                          dir_.Write("r.json", R"({"pid":{"elements":{"QXIDS32_PRT_RES_X":1}}})"));
  EXPECT_EQ(options.GetParams<std::int32_t>(QXIDS32_PRT_COLOR), std::vector<std::int32_t>{9});
  EXPECT_EQ(options.GetParams<std::int32_t>(QXIDS32_PRT_RES_X), std::vector<std::int32_t>{1});
}

}  // namespace
}  // namespace tavik
