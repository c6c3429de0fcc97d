// The halftone structure: intent, halftone type, gamma and calibration bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/log_capture.h"
#include "unit/legacy/legacy_fixture.h"

namespace tavik::test {
namespace {

using HtStruct3Test = LegacyTest;

TEST_F(HtStruct3Test, RecordIsByteExact) {
  StartPage(1, {}, 3);
  SetList(QXIDS32_H_SUPPORT_INTENT, {1, 3});
  Set(QXIDS32_H_HALFTONE_TYPE, 5);
  Set(QXIDS32_H_GAMMA, 22);
  api_.calibration_buffer_ = {0xCA, 0x11, 0xB0};
  dorva::HtStruct3 ht = api_.CreateHtStruct3();
  ht.UpdatePointers();
  const tagHTSTRUCT3_5& record = ht.record();
  ASSERT_NE(record.lpCalibData, nullptr);
  Bytes expected(104, 80);
  expected.U16(0, 0, 5).I32(4, 4, 3).I32(12, 12, 5).I32(40, 40, 22).Ptr(72, 60, record.lpCalibData);
  EXPECT_EQ(BytesOf(record), expected.data());
}

TEST_F(HtStruct3Test, UnsupportedIntentFallsBackToTheFirstSupported) {
  const struct Case {
    std::vector<std::int32_t> supported;  // empty: not set
    std::int32_t requested;
    std::int32_t expected;
    bool reported;
  } cases[] = {
      {{}, 4, 4, false},    {{}, 2, 4, true},      {{1, 3}, 3, 3, false},
      {{1, 3}, 0, 1, true}, {{1, 3}, 1, 1, false}, {{7}, 4, 7, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "requested " << c.requested);
    api_.options_.Clear();
    if (!c.supported.empty()) {
      api_.options_.SetParams<std::int32_t>(QXIDS32_H_SUPPORT_INTENT, c.supported.data(),
                                            c.supported.size());
    }
    StartPage(1, {}, c.requested);
    LogCapture log;
    EXPECT_EQ(api_.CreateHtStruct3().record().Intent, c.expected);
    EXPECT_EQ(
        log.Has(kError, "Not suuported this reproduction.(" + std::to_string(c.requested) + ")"),
        c.reported);
  }
}

TEST_F(HtStruct3Test, WithoutAPageTheIntentIsTheDefault) {
  LogCapture log;
  EXPECT_EQ(api_.CreateHtStruct3().record().Intent, 4);
  EXPECT_TRUE(log.Has(kError, "Not suuported this reproduction.(0)"));
}

TEST_F(HtStruct3Test, HalftoneType) {
  const struct Case {
    std::optional<std::int32_t> optimised_default, halftone_type;
    std::int32_t expected;
  } cases[] = {
      {1, 5, 16}, {1, {}, 16}, {0, 5, 5}, {{}, 5, 5}, {{}, {}, 3}, {0, {}, 3}, {{}, 0, 0},
  };
  StartPage(1);
  for (const Case& c : cases) {
    api_.options_.Clear();
    if (c.optimised_default) Set(QXIDS32_TV_H_ENABLE_OPT_HT_DEFAULT, *c.optimised_default);
    if (c.halftone_type) Set(QXIDS32_H_HALFTONE_TYPE, *c.halftone_type);
    const tagHTSTRUCT3_5 record = api_.CreateHtStruct3().record();
    EXPECT_EQ(record.HalftoneType, c.expected);
    EXPECT_EQ(record.Flag, 0);
    EXPECT_EQ(record.Gamma, 0);
  }
}

// The structure takes its own copy of the instance's calibration bytes, for
// every page until the buffer changes.
TEST_F(HtStruct3Test, CalibrationBytesAreCopiedForEveryPage) {
  StartPage(1);
  dorva::HtStruct3 without = api_.CreateHtStruct3();
  without.UpdatePointers();
  EXPECT_EQ(without.record().lpCalibData, nullptr);

  const std::vector<unsigned char> calib{1, 2, 3, 4, 5};
  api_.calibration_buffer_ = calib;
  for (int page = 0; page < 2; ++page) {
    dorva::HtStruct3 ht = api_.CreateHtStruct3();
    ht.UpdatePointers();
    const unsigned char* bytes = ht.record().lpCalibData;
    ASSERT_NE(bytes, nullptr);
    EXPECT_NE(bytes, api_.calibration_buffer_.data());
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + calib.size()), calib);
  }
}

}  // namespace
}  // namespace tavik::test
