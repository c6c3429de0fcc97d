#include "params/param_catalogue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "config/log.h"
#include "support/log_capture.h"

namespace tavik {
namespace {

using test::LogCapture;

const char* TypeTag(ParamType type) {
  switch (type) {
    case ParamType::kBol:
      return "BOL";
    case ParamType::kS32:
      return "S32";
    case ParamType::kU08:
      return "U08";
    case ParamType::kStr:
      return "STR";
    case ParamType::kUnknown:
      break;
  }
  return "?";
}

// The type tag inside every name names the row's type, and the ID layout
// follows the name: public IDs are group * 100 + index, private ones carry
// their group bit and (apart from one known row) their type bit.
TEST(ParamCatalogue, RowsAgreeWithTheirNamesAndIdLayout) {
  const std::map<std::string, int> public_groups = {
      {"HTM", 1}, {"SRC", 2}, {"PRT", 3}, {"E", 4}, {"J", 5}, {"H", 6}, {"M", 7}, {"GRTN", 8}};
  const std::map<std::string, std::uint32_t> private_groups = {{"HTM", 0x0001}, {"PRT", 0x0004},
                                                               {"J", 0x0010},   {"H", 0x0020},
                                                               {"M", 0x0040},   {"ISV", 0x0100}};
  const std::map<ParamType, std::uint32_t> type_bits = {{ParamType::kBol, 0x01000000},
                                                        {ParamType::kS32, 0x02000000},
                                                        {ParamType::kU08, 0x04000000},
                                                        {ParamType::kStr, 0x08000000}};
  for (const ParamIdEntry& row : olparamidtable_detail) {
    SCOPED_TRACE(row.name);
    const std::string name = row.name;
    ASSERT_EQ(name.rfind("QXID", 0), 0u);
    EXPECT_EQ(name.substr(4, 3), TypeTag(row.type));
    ASSERT_EQ(name[7], '_');
    const auto id = static_cast<std::uint32_t>(row.id);
    if (name.compare(8, 3, "TV_") == 0) {
      const std::string group = name.substr(11, name.find('_', 11) - 11);
      ASSERT_TRUE(private_groups.contains(group));
      EXPECT_EQ(id & 0xB0000000u, 0u);
      EXPECT_EQ(id & 0x40000000u, 0x40000000u);
      EXPECT_EQ((id >> 8) & 0xFFFFu, private_groups.at(group));
      if (row.id != QXIDBOL_TV_M_EX07M2_DONT_SEND) {
        EXPECT_EQ(id & 0x0F000000u, type_bits.at(row.type));
      }
    } else {
      const std::string group = name.substr(8, name.find('_', 8) - 8);
      ASSERT_TRUE(public_groups.contains(group));
      EXPECT_EQ(row.id / 100, public_groups.at(group));
    }
  }
}

TEST(ParamCatalogue, GroupsAreConsecutiveExceptTheSharedMarginId) {
  // First and last ID and row count of each run of consecutive IDs.
  struct Run {
    std::int32_t first;
    std::int32_t last;
    int rows;
  };
  const Run kRuns[] = {
      {100, 107, 8},
      {200, 203, 4},
      {203, 214, 12},
      {300, 339, 40},
      {400, 435, 36},
      {500, 521, 22},
      {600, 635, 36},
      {700, 724, 25},
      {800, 810, 11},
      {0x42000100, 0x42000101, 2},
      {0x42000400, 0x4200040A, 11},
      {0x42001000, 0x42001008, 9},
      {0x48001000, 0x48001001, 2},
      {0x42002000, 0x42002004, 5},
      {0x42004000, 0x42004000, 1},
      {0x42010000, 0x42010000, 1},
      {0x48010000, 0x48010000, 1},
      {0x44010000, 0x44010000, 1},
  };
  std::size_t row = 0;
  for (const Run& run : kRuns) {
    SCOPED_TRACE(run.first);
    for (int i = 0; i < run.rows; ++i, ++row) {
      ASSERT_LT(row, olparamidtable_detail.size());
      EXPECT_EQ(olparamidtable_detail[row].id, run.first + i);
    }
    EXPECT_EQ(olparamidtable_detail[row - 1].id, run.last);
  }
  EXPECT_EQ(row, olparamidtable_detail.size());
  EXPECT_EQ(olparamidtable_detail.size(), 227u);
}

TEST(ParamCatalogue, HeaderConstantsNameTheirRows) {
  const struct {
    std::int32_t constant;
    const char* name;
  } kConstants[] = {
      {QXIDS32_HTM_VERSION, "QXIDS32_HTM_VERSION"},
      {QXIDS32_SRC_MARGIN_TOP, "QXIDS32_SRC_MARGIN_TOP"},
      {QXIDS32_SRC_MARGIN_RIGHT, "QXIDS32_SRC_MARGIN_RIGHT"},
      {QXIDS32_H_INK_DENSITY_RATIO_MULTI, "QXIDS32_H_INK_DENSITY_RATIO_MULTI"},
      {QXIDBOL_GRTN_HPAT, "QXIDBOL_GRTN_HPAT"},
      {QXIDSTR_TV_J_FILE_AUTH_CODE, "QXIDSTR_TV_J_FILE_AUTH_CODE"},
      {QXIDU08_TV_ISV_CALIB_DATA, "QXIDU08_TV_ISV_CALIB_DATA"},
  };
  for (const auto& c : kConstants) {
    EXPECT_EQ(FindParamIdByName(c.name), std::optional<QXOL_PARAM_ID>(c.constant)) << c.name;
  }
  EXPECT_EQ(QXIDS32_SRC_MARGIN_TOP, 203);
  EXPECT_EQ(QXIDS32_TV_PRT_SCF_ENABLE, 0x42000409);
  EXPECT_EQ(QXIDU08_TV_ISV_CALIB_DATA, 0x44010000);
}

TEST(ParamCatalogue, NamesById) {
  const struct {
    QXOL_PARAM_ID id;
    const char* name;
  } kCases[] = {
      {100, "QXIDS32_HTM_VERSION"},
      {203, "QXIDS32_SRC_MARGIN_Y"},
      {204, "QXIDS32_SRC_CMYKSET_ALL"},
      {350, "UNKNOWN"},
      {0, "UNKNOWN"},
      {0x42004000, "QXIDBOL_TV_M_EX07M2_DONT_SEND"},
      {0x44010000, "QXIDU08_TV_ISV_CALIB_DATA"},
      {0x42FFFFFF, "UNKNOWN"},
  };
  for (const auto& c : kCases) EXPECT_EQ(GetParamName(c.id), c.name) << c.id;
}

TEST(ParamCatalogue, IdsByName) {
  const struct {
    const char* name;
    std::optional<QXOL_PARAM_ID> id;
  } kCases[] = {
      {"QXIDS32_SRC_MARGIN_Y", 203},
      {"QXIDS32_SRC_MARGIN_TOP", 203},
      {"QXIDS32_HTM_VERSION", 100},
      {"QXIDU08_TV_ISV_CALIB_DATA", 0x44010000},
      {"qxids32_src_margin_y", std::nullopt},
      {"QXIDS32_SRC_MARGIN_y", std::nullopt},
      {"QXIDS32_SRC_MARGIN_Y ", std::nullopt},
      {"QXIDS32_SRC_MARGIN_YY", std::nullopt},
      {"QXIDS32_SRC_MARGIN_", std::nullopt},
      {"", std::nullopt},
      {"UNKNOWN", std::nullopt},
  };
  for (const auto& c : kCases) EXPECT_EQ(FindParamIdByName(c.name), c.id) << '"' << c.name << '"';
  // A name followed by an embedded NUL is not the name.
  EXPECT_EQ(FindParamIdByName(std::string_view("QXIDS32_HTM_VERSION\0", 20)), std::nullopt);
}

TEST(ParamCatalogue, TypesByRowAndByIdBits) {
  const struct {
    QXOL_PARAM_ID id;
    ParamType row_type;      // FindParamType
    ParamType storage_type;  // GetParamType
    int unknown_records;     // "Unknown QXOL_PARAM_ID" records of both calls together
  } kCases[] = {
      {101, ParamType::kBol, ParamType::kBol, 0},
      {302, ParamType::kS32, ParamType::kS32, 0},
      {613, ParamType::kU08, ParamType::kU08, 0},
      {500, ParamType::kStr, ParamType::kStr, 0},
      {350, ParamType::kUnknown, ParamType::kUnknown, 2},
      {0x42004000, ParamType::kBol, ParamType::kS32, 0},
      {0x48010000, ParamType::kStr, ParamType::kStr, 0},
      {0x42FFFFFF, ParamType::kUnknown, ParamType::kS32, 1},
      {0x40000000, ParamType::kUnknown, ParamType::kUnknown, 1},
      {0x4F000000, ParamType::kUnknown, ParamType::kBol, 1},
      {0x4C000000, ParamType::kUnknown, ParamType::kU08, 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.id);
    LogCapture log;
    EXPECT_EQ(FindParamType(c.id), c.row_type);
    EXPECT_EQ(GetParamType(c.id), c.storage_type);
    EXPECT_EQ(log.Count("Unknown QXOL_PARAM_ID: " + std::to_string(c.id)), c.unknown_records);
  }
}

TEST(ParamCatalogue, UnknownIdIsReportedAtErrorLevelInDecimal) {
  LogCapture log;
  EXPECT_EQ(FindParamType(350), ParamType::kUnknown);
  EXPECT_TRUE(log.Has(4, "Unknown QXOL_PARAM_ID: 350"));
}

}  // namespace
}  // namespace tavik
