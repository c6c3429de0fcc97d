// The value operations, driven through the exported functions of an instance
// created with the test double as its module.
#include <gtest/gtest.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/log.h"
#include "qxol.h"
#include "support/double_module.h"
#include "support/end_to_end.h"
#include "support/log_capture.h"

namespace tavik {
namespace {

using test::DoubleModule;
using test::IniSpec;
using test::Instance;
using test::LogCapture;
using test::TempDir;
using Ints = std::vector<std::int32_t>;
using Bytes = std::vector<unsigned char>;

constexpr std::int32_t kScfAlias = 350;
constexpr std::int32_t kSentinel = 0x5A5A5A5A;
constexpr std::int32_t kTrue = 1;
constexpr std::int32_t kFalse = 0;

// General values, and per-PMI tables for PMIs 0, 2 and 5.
constexpr const char* kResource = R"({"pid":{"version":1,
  "elements":{"QXIDS32_PRT_RES_X":720,"QXIDS32_PRT_MEDIA_TYPE":1,"QXIDS32_E_CUSTOM_PAPER":3,
              "QXIDSTR_J_DOC_NAME":"0123456789"},
  "perpmi":{"0":{"QXIDS32_PRT_RES_Y":100},"2":{"QXIDS32_PRT_RES_X":1440},
            "5":{"QXIDS32_PRT_MEDIA_TYPE":9}}}})";

// What a read reports: the result, the count written back, and the caller's
// buffer afterwards (its unused tail still holding the sentinel).
template <typename T>
struct Read {
  std::int32_t result;
  std::int32_t count;
  std::vector<T> buffer;
};

class ValueAccess : public ::testing::Test {
 protected:
  void Create(std::optional<std::string> resource = kResource) {
    IniSpec spec;
    spec.resource_json = std::move(resource);
    instance_ = std::make_unique<Instance>(WriteIni(dir_, spec));
    ASSERT_EQ(instance_->result(), QXOL_OK);
  }
  void SetUp() override { Create(); }

  QXOL_HANDLE handle() const { return instance_->handle(); }

  std::int32_t Set(QXOL_PARAM_ID id, const Ints& values) {
    return QXOL_SetValue(handle(), id, values.data(), static_cast<std::int32_t>(values.size()));
  }
  std::int32_t SetBytes(QXOL_PARAM_ID id, const Bytes& values) {
    return QXOL_SetValue(handle(), id, values.data(), static_cast<std::int32_t>(values.size()));
  }

  template <typename T = std::int32_t>
  Read<T> Get(QXOL_PARAM_ID id, std::int32_t capacity, std::size_t buffer_size) {
    Read<T> read{0, capacity, std::vector<T>(buffer_size, static_cast<T>(kSentinel))};
    read.result =
        QXOL_GetValue(handle(), id, buffer_size > 0 ? read.buffer.data() : nullptr, &read.count);
    return read;
  }
  // The stored value, read with a buffer of exactly its size; nullopt when absent.
  template <typename T = std::int32_t>
  std::optional<std::vector<T>> Value(QXOL_PARAM_ID id) {
    std::int32_t count = 0;
    const std::int32_t sized = QXOL_GetValue(handle(), id, nullptr, &count);
    EXPECT_TRUE(sized == QXOL_OK || sized == QXOL_ERR_BUFFER_TOO_SMALL) << sized;
    if (count == 0) return std::nullopt;
    std::vector<T> values(static_cast<std::size_t>(count));
    EXPECT_EQ(QXOL_GetValue(handle(), id, values.data(), &count), QXOL_OK);
    return values;
  }
  template <typename T = std::int32_t>
  Read<T> GetPm(std::int32_t pmi, QXOL_PARAM_ID id, std::int32_t capacity,
                std::size_t buffer_size) {
    Read<T> read{0, capacity, std::vector<T>(buffer_size, static_cast<T>(kSentinel))};
    read.result = QXOL_GetPmInfoValue(handle(), pmi, id,
                                      buffer_size > 0 ? read.buffer.data() : nullptr, &read.count);
    return read;
  }

  TempDir dir_;
  std::unique_ptr<Instance> instance_;
};

TEST_F(ValueAccess, ResourceValuesAreInPlaceAfterCreation) {
  EXPECT_EQ(Value(QXIDS32_PRT_RES_X), Ints{720});
  EXPECT_EQ(Value(QXIDS32_E_CUSTOM_PAPER), Ints{3});
  Ints pmis(3);
  std::int32_t count = 3;
  EXPECT_EQ(QXOL_EnumPmIndex(handle(), pmis.data(), &count), QXOL_OK);
  EXPECT_EQ(pmis, (Ints{0, 2, 5}));
}

TEST_F(ValueAccess, SetValueForwardsAndStores) {
  const struct {
    const char* name;
    QXOL_PARAM_ID set_id;
    Ints values;
    QXOL_PARAM_ID read_id;
    std::optional<Ints> expected;
  } kCases[] = {
      {"350 goes to the SCF switch", kScfAlias, {1}, QXIDS32_TV_PRT_SCF_ENABLE, Ints{1}},
      {"custom paper goes to the media ID",
       QXIDS32_E_CUSTOM_PAPER,
       {7},
       QXIDS32_TV_HTM_MPK_MEDIA_ID,
       Ints{7}},
      {"custom paper itself keeps its resource value",
       QXIDS32_E_CUSTOM_PAPER,
       {8},
       QXIDS32_E_CUSTOM_PAPER,
       Ints{3}},
      {"ordinary ID", QXIDS32_PRT_RES_X, {360, 180}, QXIDS32_PRT_RES_X, Ints{360, 180}},
      {"private ID outside the catalogue, typed by its bits", 0x420000FF, {5}, 0x420000FF, Ints{5}},
      {"empty value removes", QXIDS32_PRT_MEDIA_TYPE, {}, QXIDS32_PRT_MEDIA_TYPE, std::nullopt},
      {"empty value through an alias removes the target",
       QXIDS32_E_CUSTOM_PAPER,
       {},
       QXIDS32_TV_HTM_MPK_MEDIA_ID,
       std::nullopt},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Set(c.set_id, c.values), QXOL_OK);
    EXPECT_EQ(Value(c.read_id), c.expected);
  }
  std::int32_t count = 1;
  EXPECT_EQ(QXOL_GetValue(handle(), kScfAlias, nullptr, &count), QXOL_ERR_INVALID_ARGUMENT);
}

TEST_F(ValueAccess, NullValueRemovesAnOrdinaryId) {
  EXPECT_EQ(QXOL_SetValue(handle(), QXIDS32_PRT_RES_X, nullptr, 1), QXOL_OK);
  EXPECT_EQ(Value(QXIDS32_PRT_RES_X), std::nullopt);
}

TEST_F(ValueAccess, NegativeCountOnAnOrdinaryIdIsAnInternalError) {
  const std::int32_t value = 1;
  EXPECT_EQ(QXOL_SetValue(handle(), QXIDS32_PRT_RES_X, &value, -1), QXOL_ERR_INTERNAL);
  EXPECT_EQ(QXOL_SetValue(handle(), QXIDSTR_J_DOC_NAME, "x", -5), QXOL_ERR_INTERNAL);
  EXPECT_EQ(Value(QXIDS32_PRT_RES_X), Ints{720});
}

TEST_F(ValueAccess, UnknownIdIsAcceptedAndReported) {
  const struct {
    QXOL_PARAM_ID id;
    int records;
  } kCases[] = {{999, 2}, {kScfAlias + 1, 2}, {0x40000000, 1}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.id);
    LogCapture log;
    EXPECT_EQ(Set(c.id, {1}), QXOL_OK);
    EXPECT_EQ(log.Count("Unknown QXOL_PARAM_ID: " + std::to_string(c.id)), c.records);
  }
}

TEST_F(ValueAccess, HidTableIsStoredAsCalibrationData) {
  DoubleModule module;
  const Bytes data = {1, 2, 3, 250};
  EXPECT_EQ(SetBytes(QXIDU08_H_HID_TBL, data), QXOL_OK);
  EXPECT_EQ(Value<unsigned char>(QXIDU08_TV_ISV_CALIB_DATA), data);
  EXPECT_EQ(Value<unsigned char>(QXIDU08_H_HID_TBL), std::nullopt);
  EXPECT_EQ(module.control().Count(tavik_double::Entry::kGetCalibData), 0);
}

TEST_F(ValueAccess, InkDensityIsConvertedToARatio) {
  const struct {
    std::int32_t density;
    std::int32_t ratio;
  } kCases[] = {
      {1024, 100},          {512, 50}, {-1, 0}, {10, 0}, {-10, 0}, {-2048, -200}, {0, 0},
      {21474836, 2097151},   // the largest product that does not wrap
      {21474837, -2097151},  // the product wraps to a negative value
      {-21474837, 2097151},  // and the other way
      {0x7FFFFFFF, 0},       // product -100
      {INT32_MIN, 0},        // product 0
  };
  Ints densities;
  Ints ratios;
  for (const auto& c : kCases) {
    densities.push_back(c.density);
    ratios.push_back(c.ratio);
  }
  EXPECT_EQ(Set(QXIDS32_H_INK_DENSITY_MULTI, densities), QXOL_OK);
  EXPECT_EQ(Value(QXIDS32_H_INK_DENSITY_RATIO_MULTI), ratios);
  EXPECT_EQ(Value(QXIDS32_H_INK_DENSITY_MULTI), std::nullopt);

  EXPECT_EQ(Set(QXIDS32_H_INK_DENSITY_MULTI, {}), QXOL_OK);
  EXPECT_EQ(Value(QXIDS32_H_INK_DENSITY_RATIO_MULTI), std::nullopt);
}

TEST_F(ValueAccess, InkDensityCountsThatDoNotDescribeTheBufferAreRefused) {
  ASSERT_EQ(Set(QXIDS32_H_INK_DENSITY_MULTI, {1024}), QXOL_OK);
  const std::int32_t density = 1024;
  EXPECT_EQ(QXOL_SetValue(handle(), QXIDS32_H_INK_DENSITY_MULTI, &density, -1),
            QXOL_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(QXOL_SetValue(handle(), QXIDS32_H_INK_DENSITY_MULTI, nullptr, 2),
            QXOL_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(Value(QXIDS32_H_INK_DENSITY_RATIO_MULTI), Ints{100});
  EXPECT_EQ(QXOL_SetValue(handle(), QXIDS32_H_INK_DENSITY_MULTI, nullptr, 0), QXOL_OK);
  EXPECT_EQ(Value(QXIDS32_H_INK_DENSITY_RATIO_MULTI), std::nullopt);
}

TEST_F(ValueAccess, EffectiveEecCalibrationFollowsTheProfileCopy) {
  // Calibration data whose bytes 292..419 are the profile's first 128 bytes.
  Bytes profile(128);
  for (std::size_t i = 0; i < profile.size(); ++i) profile[i] = static_cast<unsigned char>(i * 7);
  Bytes calib(420, 0xEE);
  std::copy(profile.begin(), profile.end(), calib.begin() + 292);

  const struct {
    const char* name;
    std::optional<Bytes> calib;
    std::optional<Bytes> profile;
    std::int32_t effective;
  } kCases[] = {
      {"match", calib, profile, 1},
      {"longer data, match",
       [&] {
         Bytes c = calib;
         c.push_back(1);
         return c;
       }(),
       [&] {
         Bytes p = profile;
         p.push_back(2);
         return p;
       }(),
       1},
      {"calibration byte 292 differs",
       [&] {
         Bytes c = calib;
         c[292] ^= 1;
         return c;
       }(),
       profile, 0},
      {"calibration byte 419 differs",
       [&] {
         Bytes c = calib;
         c[419] ^= 1;
         return c;
       }(),
       profile, 0},
      {"bytes outside the copy do not matter",
       [&] {
         Bytes c = calib;
         c[291] ^= 1;
         return c;
       }(),
       [&] {
         Bytes p = profile;
         p.push_back(9);
         return p;
       }(),
       1},
      {"profile byte 127 differs", calib,
       [&] {
         Bytes p = profile;
         p[127] ^= 1;
         return p;
       }(),
       0},
      {"419 bytes of calibration data", Bytes(calib.begin(), calib.end() - 1), profile, 0},
      {"127 bytes of profile", calib, Bytes(profile.begin(), profile.end() - 1), 0},
      {"no profile", calib, std::nullopt, 0},
      {"no calibration data", std::nullopt, profile, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    // Both orders of setting, each starting from a stale flag.
    for (const bool profile_first : {false, true}) {
      SCOPED_TRACE(profile_first ? "profile first" : "calibration first");
      ASSERT_EQ(SetBytes(QXIDU08_H_EEC_CALIB_DATA, {}), QXOL_OK);
      ASSERT_EQ(SetBytes(QXIDU08_H_MEDIA_PROFILE_DATA, {}), QXOL_OK);
      ASSERT_EQ(Set(QXIDS32_H_EFFECTIVE_EEC_CALIB, {1 - c.effective}), QXOL_OK);
      const auto set_profile = [&] {
        if (c.profile) {
          EXPECT_EQ(SetBytes(QXIDU08_H_MEDIA_PROFILE_DATA, *c.profile), QXOL_OK);
        }
      };
      if (profile_first) set_profile();
      if (c.calib) {
        EXPECT_EQ(SetBytes(QXIDU08_H_EEC_CALIB_DATA, *c.calib), QXOL_OK);
      }
      if (!profile_first) set_profile();
      EXPECT_EQ(Value(QXIDS32_H_EFFECTIVE_EEC_CALIB), Ints{c.effective});
    }
  }
}

TEST_F(ValueAccess, ResetReloadsTheResource) {
  ASSERT_EQ(Set(QXIDS32_PRT_RES_X, {1}), QXOL_OK);
  ASSERT_EQ(Set(QXIDS32_PRT_COLOR, {2}), QXOL_OK);
  ASSERT_EQ(Set(QXIDS32_HTM_PRINTMODE_INDEX, {9}), QXOL_OK);  // a mode without a table

  const struct {
    const char* name;
    const std::int32_t* value;
    std::int32_t count;
  } kRefused[] = {{"false", &kFalse, 1},
                  {"count 0", &kTrue, 0},
                  {"negative count", &kTrue, -1},
                  {"null value", nullptr, 1}};
  for (const auto& c : kRefused) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(QXOL_SetValue(handle(), QXIDBOL_HTM_PARAM_RESET, c.value, c.count),
              QXOL_ERR_INVALID_ARGUMENT);
  }

  const Ints truth_values[] = {{1}, {2, 0}};
  for (const Ints& truth : truth_values) {
    EXPECT_EQ(Set(QXIDBOL_HTM_PARAM_RESET, truth), QXOL_OK);
    EXPECT_EQ(Value(QXIDS32_PRT_RES_X), Ints{720});
    EXPECT_EQ(Value(QXIDS32_PRT_COLOR), std::nullopt);
    EXPECT_EQ(Value(QXIDS32_HTM_PRINTMODE_INDEX), std::nullopt);
    EXPECT_EQ(Value(QXIDBOL_HTM_PARAM_RESET), std::nullopt);
    ASSERT_EQ(Set(QXIDS32_PRT_RES_X, {1}), QXOL_OK);
  }
}

TEST_F(ValueAccess, ResetWithABrokenResourceLeavesTheStoreEmpty) {
  dir_.Write("resource.json", "{ broken");
  EXPECT_EQ(Set(QXIDBOL_HTM_PARAM_RESET, {1}), QXOL_ERR_INTERNAL);
  EXPECT_EQ(Value(QXIDS32_PRT_RES_X), std::nullopt);
  std::int32_t count = 4;
  EXPECT_EQ(QXOL_EnumPmIndex(handle(), nullptr, &count), QXOL_OK);
  EXPECT_EQ(count, 0);
}

TEST_F(ValueAccess, ResetWithoutResourceChangesNothing) {
  Create(std::nullopt);
  ASSERT_EQ(Set(QXIDS32_PRT_RES_X, {1}), QXOL_OK);
  EXPECT_EQ(Set(QXIDBOL_HTM_PARAM_RESET, {1}), QXOL_OK);
  EXPECT_EQ(Value(QXIDS32_PRT_RES_X), Ints{1});
  EXPECT_EQ(Set(QXIDBOL_HTM_PARAM_RESET, {0}), QXOL_ERR_INVALID_ARGUMENT);
}

TEST_F(ValueAccess, GetValueCountAndCapacity) {
  // QXIDSTR_J_DOC_NAME holds the 10 characters "0123456789".
  const struct {
    const char* name;
    QXOL_PARAM_ID id;
    std::int32_t capacity;
    std::size_t buffer;  // 0: null buffer
    std::int32_t result;
    std::int32_t count;
    std::string copied;  // the buffer's start afterwards; the rest keeps the sentinel
  } kCases[] = {
      {"smaller buffer", QXIDSTR_J_DOC_NAME, 4, 12, QXOL_ERR_BUFFER_TOO_SMALL, 10, "0123"},
      {"exact buffer", QXIDSTR_J_DOC_NAME, 10, 12, QXOL_OK, 10, "0123456789"},
      {"larger buffer", QXIDSTR_J_DOC_NAME, 12, 12, QXOL_OK, 10, "0123456789"},
      {"size query", QXIDSTR_J_DOC_NAME, 0, 0, QXOL_ERR_BUFFER_TOO_SMALL, 10, ""},
      {"capacity 0 with a buffer", QXIDSTR_J_DOC_NAME, 0, 12, QXOL_ERR_BUFFER_TOO_SMALL, 10, ""},
      {"size query of an absent value", QXIDSTR_J_OS_INFO, 0, 0, QXOL_OK, 0, ""},
      {"absent value", QXIDSTR_J_OS_INFO, 12, 12, QXOL_OK, 0, ""},
      {"negative capacity with a buffer", QXIDSTR_J_DOC_NAME, -1, 12, QXOL_ERR_INVALID_ARGUMENT, -1,
       ""},
      {"negative capacity without a buffer", QXIDSTR_J_DOC_NAME, -1, 0, QXOL_ERR_BUFFER_TOO_SMALL,
       10, ""},
      {"ID outside the catalogue", 999, 12, 12, QXOL_ERR_INVALID_ARGUMENT, 12, ""},
      {"private ID without type bits", 0x40000001, 12, 12, QXOL_ERR_INVALID_ARGUMENT, 12, ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const Read<char> read = Get<char>(c.id, c.capacity, c.buffer);
    EXPECT_EQ(read.result, c.result);
    EXPECT_EQ(read.count, c.count);
    std::string expected = c.copied;
    expected.resize(c.buffer, static_cast<char>(kSentinel));
    EXPECT_EQ(std::string(read.buffer.begin(), read.buffer.end()), expected);
  }
}

TEST_F(ValueAccess, GetValueCopiesWholeElementsOfEachType) {
  ASSERT_EQ(Set(QXIDS32_PRT_RES_X, {1, -2, 3}), QXOL_OK);
  ASSERT_EQ(Set(QXIDBOL_PRT_CUTLINE, {1, 0}), QXOL_OK);
  ASSERT_EQ(SetBytes(QXIDU08_H_SPOTCOLOR_TBL, {7, 8, 9}), QXOL_OK);

  const Read<std::int32_t> ints = Get(QXIDS32_PRT_RES_X, 2, 4);
  EXPECT_EQ(ints.result, QXOL_ERR_BUFFER_TOO_SMALL);
  EXPECT_EQ(ints.count, 3);
  EXPECT_EQ(ints.buffer, (Ints{1, -2, kSentinel, kSentinel}));

  const Read<std::int32_t> truths = Get(QXIDBOL_PRT_CUTLINE, 3, 3);
  EXPECT_EQ(truths.result, QXOL_OK);
  EXPECT_EQ(truths.buffer, (Ints{1, 0, kSentinel}));

  const Read<unsigned char> bytes = Get<unsigned char>(QXIDU08_H_SPOTCOLOR_TBL, 2, 4);
  EXPECT_EQ(bytes.result, QXOL_ERR_BUFFER_TOO_SMALL);
  EXPECT_EQ(bytes.count, 3);
  EXPECT_EQ(bytes.buffer, (Bytes{7, 8, 0x5A, 0x5A}));
}

TEST_F(ValueAccess, UnknownIdOnReadIsReported) {
  LogCapture log;
  std::int32_t count = 1;
  EXPECT_EQ(QXOL_GetValue(handle(), 999, nullptr, &count), QXOL_ERR_INVALID_ARGUMENT);
  EXPECT_TRUE(log.Has(kError, "Unknown QXOL_PARAM_ID: 999"));
  EXPECT_TRUE(log.Has(kCritical, "unknown QXOL_PARAM_ID, update for olparamidtable_detail."));
}

TEST_F(ValueAccess, NullCountPointersAreRefused) {
  std::int32_t buffer[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
  EXPECT_EQ(QXOL_GetValue(handle(), QXIDS32_PRT_RES_X, buffer, nullptr), QXOL_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(QXOL_EnumPmIndex(handle(), buffer, nullptr), QXOL_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(QXOL_GetPmInfoValue(handle(), 2, QXIDS32_PRT_RES_X, buffer, nullptr),
            QXOL_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(buffer[0], kSentinel);
}

TEST_F(ValueAccess, CurrentPmiWithoutTableFailsReads) {
  ASSERT_EQ(Set(QXIDS32_HTM_PRINTMODE_INDEX, {4}), QXOL_OK);
  std::int32_t value = 0;
  std::int32_t count = 1;
  EXPECT_EQ(QXOL_GetValue(handle(), QXIDS32_PRT_RES_X, &value, &count), QXOL_ERR_INTERNAL);
  EXPECT_EQ(QXOL_GetPmInfoValue(handle(), 2, QXIDS32_PRT_RES_X, &value, &count), QXOL_ERR_INTERNAL);
  ASSERT_EQ(Set(QXIDS32_HTM_PRINTMODE_INDEX, {2}), QXOL_OK);
  EXPECT_EQ(Value(QXIDS32_PRT_RES_X), Ints{1440});
}

TEST_F(ValueAccess, EnumPmIndexCountAndCapacity) {
  const struct {
    std::int32_t capacity;
    std::size_t buffer;  // 0: null buffer
    std::int32_t result;
    Ints filled;  // the buffer afterwards
  } kCases[] = {
      {0, 4, QXOL_ERR_BUFFER_TOO_SMALL, {kSentinel, kSentinel, kSentinel, kSentinel}},
      {3, 4, QXOL_OK, {0, 2, 5, kSentinel}},
      {2, 4, QXOL_ERR_BUFFER_TOO_SMALL, {0, 2, kSentinel, kSentinel}},
      {4, 4, QXOL_OK, {0, 2, 5, kSentinel}},
      {-1, 4, QXOL_ERR_BUFFER_TOO_SMALL, {kSentinel, kSentinel, kSentinel, kSentinel}},
      {3, 0, QXOL_OK, {}},
      {0, 0, QXOL_ERR_BUFFER_TOO_SMALL, {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.capacity);
    Ints buffer(c.buffer, kSentinel);
    std::int32_t count = c.capacity;
    EXPECT_EQ(QXOL_EnumPmIndex(handle(), c.buffer > 0 ? buffer.data() : nullptr, &count), c.result);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(buffer, c.filled);
  }
}

TEST_F(ValueAccess, EnumPmIndexWithoutTables) {
  Create(R"({"pid":{"version":1,"elements":{"QXIDS32_PRT_RES_X":1}}})");
  std::int32_t count = 0;
  EXPECT_EQ(QXOL_EnumPmIndex(handle(), nullptr, &count), QXOL_OK);
  EXPECT_EQ(count, 0);
}

TEST_F(ValueAccess, GetPmInfoValueReadsTheRequestedMode) {
  const struct {
    const char* name;
    std::optional<Ints> selection;  // QXIDS32_HTM_PRINTMODE_INDEX before the reads
  } kSelections[] = {{"no selection", std::nullopt},
                     {"mode 5 selected", Ints{5}},
                     {"mode 0 selected", Ints{0}},
                     {"several values", Ints{5, 2}}};
  const struct {
    std::int32_t pmi;
    QXOL_PARAM_ID id;
    std::optional<Ints> expected;
  } kReads[] = {
      {2, QXIDS32_PRT_RES_X, Ints{1440}},  // the mode's own value
      {5, QXIDS32_PRT_RES_X, Ints{720}},   // the general value
      {5, QXIDS32_PRT_MEDIA_TYPE, Ints{9}},
      {0, QXIDS32_PRT_RES_Y, Ints{100}},
      {2, QXIDS32_PRT_RES_Y, std::nullopt},
      {2, QXIDS32_HTM_PRINTMODE_INDEX, Ints{2}},  // the temporary selection itself
  };
  for (const auto& s : kSelections) {
    SCOPED_TRACE(s.name);
    // Start from the resource alone: selecting a mode through SetValue leaves
    // its own trace in the table of the mode being left.
    ASSERT_EQ(Set(QXIDBOL_HTM_PARAM_RESET, {1}), QXOL_OK);
    if (s.selection) {
      ASSERT_EQ(Set(QXIDS32_HTM_PRINTMODE_INDEX, *s.selection), QXOL_OK);
    }
    const std::int32_t media_type = s.selection ? (s.selection->front() == 5 ? 9 : 1) : 1;
    // Every read twice: a read must leave nothing behind that changes the next.
    for (int round = 0; round < 2; ++round) {
      for (const auto& r : kReads) {
        SCOPED_TRACE(r.pmi);
        const Read<std::int32_t> read = GetPm(r.pmi, r.id, 4, 4);
        EXPECT_EQ(read.result, QXOL_OK);
        if (r.expected) {
          ASSERT_EQ(read.count, static_cast<std::int32_t>(r.expected->size()));
          EXPECT_EQ(Ints(read.buffer.begin(), read.buffer.begin() + read.count), *r.expected);
        } else {
          EXPECT_EQ(read.count, 0);
        }
        EXPECT_EQ(Value(QXIDS32_HTM_PRINTMODE_INDEX), s.selection);
        EXPECT_EQ(Value(QXIDS32_PRT_MEDIA_TYPE), Ints{media_type});
      }
    }
  }
}

TEST_F(ValueAccess, GetPmInfoValueCountAndCapacity) {
  ASSERT_EQ(Set(QXIDS32_PRT_RES_X, {1, 2, 3}), QXOL_OK);  // general; PMI 2 keeps its own
  const struct {
    const char* name;
    std::int32_t pmi;
    QXOL_PARAM_ID id;
    std::int32_t capacity;
    std::size_t buffer;
    std::int32_t result;
    std::int32_t count;
    Ints filled;
  } kCases[] = {
      {"size query", 5, QXIDS32_PRT_RES_X, 0, 0, QXOL_ERR_BUFFER_TOO_SMALL, 3, {}},
      {"smaller buffer",
       5,
       QXIDS32_PRT_RES_X,
       2,
       3,
       QXOL_ERR_BUFFER_TOO_SMALL,
       3,
       {1, 2, kSentinel}},
      {"mode's own value", 2, QXIDS32_PRT_RES_X, 3, 3, QXOL_OK, 1, {1440, kSentinel, kSentinel}},
      {"negative capacity with a buffer",
       5,
       QXIDS32_PRT_RES_X,
       -1,
       3,
       QXOL_ERR_INVALID_ARGUMENT,
       -1,
       {kSentinel, kSentinel, kSentinel}},
      {"unknown ID", 5, 999, 3, 3, QXOL_ERR_INVALID_ARGUMENT, 3, {kSentinel, kSentinel, kSentinel}},
      {"mode without a table",
       7,
       QXIDS32_PRT_RES_X,
       3,
       3,
       QXOL_ERR_INTERNAL,
       3,
       {kSentinel, kSentinel, kSentinel}},
  };
  for (const bool selected : {false, true}) {
    ASSERT_EQ(Set(QXIDS32_HTM_PRINTMODE_INDEX, selected ? Ints{2} : Ints{}), QXOL_OK);
    for (const auto& c : kCases) {
      SCOPED_TRACE(std::string(c.name) + (selected ? ", mode 2 selected" : ""));
      const Read<std::int32_t> read = GetPm(c.pmi, c.id, c.capacity, c.buffer);
      EXPECT_EQ(read.result, c.result);
      EXPECT_EQ(read.count, c.count);
      EXPECT_EQ(read.buffer, c.filled);
      EXPECT_EQ(Value(QXIDS32_HTM_PRINTMODE_INDEX),
                selected ? std::optional(Ints{2}) : std::nullopt);
      EXPECT_EQ(Value(QXIDS32_PRT_RES_X), selected ? Ints{1440} : (Ints{1, 2, 3}));
    }
  }
}

TEST_F(ValueAccess, GetPmInfoValueReportsASeveralValueSelection) {
  ASSERT_EQ(Set(QXIDS32_HTM_PRINTMODE_INDEX, {5, 2}), QXOL_OK);
  LogCapture log;
  std::int32_t value = 0;
  std::int32_t count = 1;
  EXPECT_EQ(QXOL_GetPmInfoValue(handle(), 2, QXIDS32_PRT_RES_X, &value, &count), QXOL_OK);
  EXPECT_TRUE(log.Has(kInfo, "param is multi value, size: 2"));
}

}  // namespace
}  // namespace tavik
