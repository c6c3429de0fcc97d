#include "host_api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavik_tools {
namespace {

struct SettingCase {
  const char* text;
  bool ok;
  std::vector<std::int32_t> ints;
  std::vector<unsigned char> bytes;
  const char* error_part;
};

class Settings : public ::testing::TestWithParam<SettingCase> {};

TEST_P(Settings, AreTypedByTheCatalogue) {
  const SettingCase& c = GetParam();
  ParamRow row{};
  ParamValue value;
  std::string error;
  ASSERT_EQ(ParseSetting(c.text, row, value, error), c.ok) << error;
  if (!c.ok) {
    EXPECT_NE(error.find(c.error_part), std::string::npos) << error;
    return;
  }
  EXPECT_EQ(value.ints, c.ints);
  EXPECT_EQ(value.bytes, c.bytes);
  EXPECT_EQ(value.count(),
            static_cast<std::int32_t>(c.ints.empty() ? c.bytes.size() : c.ints.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Settings,
    ::testing::Values(
        SettingCase{"QXIDS32_H_HALFTONE_TYPE=4", true, {4}, {}, ""},
        SettingCase{"QXIDS32_H_SUPPORT_INTENT=1, 3,4", true, {1, 3, 4}, {}, ""},
        SettingCase{"QXIDS32_TV_HTM_LOG_LEVEL_FILTER=-1", true, {-1}, {}, ""},
        SettingCase{"QXIDS32_H_GAMMA=0x10", true, {16}, {}, ""},
        SettingCase{"QXIDS32_H_GAMMA=0xFFFFFFFF", true, {-1}, {}, ""},
        SettingCase{"QXIDBOL_PRT_BI_DIRECTION=true", true, {1}, {}, ""},
        SettingCase{"QXIDBOL_PRT_BI_DIRECTION=off", true, {0}, {}, ""},
        SettingCase{"QXIDU08_TV_ISV_CALIB_DATA=1,255,0", true, {}, {1, 255, 0}, ""},
        SettingCase{"QXIDSTR_J_DOC_NAME=a, b=c", true, {}, {'a', ',', ' ', 'b', '=', 'c'}, ""},
        SettingCase{"QXIDSTR_J_DOC_NAME=", true, {}, {}, ""},
        SettingCase{"QXIDS32_NO_SUCH=1", false, {}, {}, "unknown parameter name 'QXIDS32_NO_SUCH'"},
        SettingCase{"qxids32_h_gamma=1", false, {}, {}, "unknown parameter name"},
        SettingCase{"QXIDS32_H_GAMMA", false, {}, {}, "is not NAME=VALUE"},
        SettingCase{"=5", false, {}, {}, "is not NAME=VALUE"},
        SettingCase{"QXIDS32_H_GAMMA=", false, {}, {}, "no value"},
        SettingCase{"QXIDS32_H_GAMMA=12x", false, {}, {}, "32-bit integers"},
        SettingCase{"QXIDS32_H_GAMMA=4294967296", false, {}, {}, "32-bit integers"},
        SettingCase{"QXIDS32_H_GAMMA=1,,2", false, {}, {}, "32-bit integers"},
        SettingCase{"QXIDBOL_PRT_BI_DIRECTION=yes", false, {}, {}, "true or false"},
        SettingCase{"QXIDU08_TV_ISV_CALIB_DATA=256", false, {}, {}, "bytes 0..255"}));

TEST(ResultText, NamesTheCodeAndShowsItsValue) {
  EXPECT_EQ(CallFailure(QXOL_ERR_INVALID_COUNT, "QXOL_StartPage"),
            "QXOL_ERR_INVALID_COUNT (0x03000000) from QXOL_StartPage");
  EXPECT_EQ(ResultText(QXOL_ERR_CALIB_MODULE_2), "QXOL_ERR_CALIB_MODULE_2 (0x80010002)");
  EXPECT_EQ(ResultText(0x12345678), "unknown result (0x12345678)");
}

}  // namespace
}  // namespace tavik_tools
