// The media option record: clamps, validity bits, density ratios and the two
// parameters that suppress the record.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/log_capture.h"
#include "unit/legacy/legacy_fixture.h"

namespace tavik::test {
namespace {

using MediaOptionTest = LegacyTest;

constexpr std::size_t kFeedOffset = 12;
constexpr std::size_t kWaitPerPath = 14;
constexpr std::size_t kPaperThick = 16;
constexpr std::size_t kVacuum = 18;
constexpr std::size_t kWaitPerPage = 24;
constexpr std::size_t kPlatenGap = 26;
constexpr std::size_t kFeedRoller = 30;
constexpr std::size_t kPilePrint = 34;
constexpr std::size_t kTopMargin = 48;

// One parameter alone: the record it gives (or none), byte for byte.
TEST_F(MediaOptionTest, SingleSettings) {
  const struct Case {
    QXOL_PARAM_ID id;
    std::int32_t value;
    std::size_t offset;
    std::optional<std::int16_t> field;  // none: no record at all
    std::uint32_t valid_bit;
  } cases[] = {
      {QXIDS32_M_FEED_OFFSET, 1, kFeedOffset, -70, 0x2},
      {QXIDS32_M_FEED_OFFSET, 71, kFeedOffset, 0, 0x2},
      {QXIDS32_M_FEED_OFFSET, 141, kFeedOffset, 70, 0x2},
      {QXIDS32_M_FEED_OFFSET, 500, kFeedOffset, 70, 0x2},
      {QXIDS32_M_FEED_OFFSET, -5, kFeedOffset, -70, 0x2},
      {QXIDS32_M_FEED_OFFSET, 0, kFeedOffset, {}, 0},
      {QXIDS32_M_WAIT_TIME_PER_PATH, 0, kWaitPerPath, 0, 0x4},
      {QXIDS32_M_WAIT_TIME_PER_PATH, 300, kWaitPerPath, 300, 0x4},
      {QXIDS32_M_WAIT_TIME_PER_PATH, 0x12345, kWaitPerPath, 0x2345, 0x4},  // low 16 bits
      {QXIDS32_M_PAPER_THICK, 128, kPaperThick, {}, 0},
      {QXIDS32_M_PAPER_THICK, 127, kPaperThick, 127, 0x8},
      {QXIDS32_M_PAPER_THICK, 0, kPaperThick, 0, 0x8},
      {QXIDS32_M_VACUUM_INTENSITY, 1, kVacuum, 0, 0x10},
      {QXIDS32_M_VACUUM_INTENSITY, 85, kVacuum, 168, 0x10},
      {QXIDS32_M_VACUUM_INTENSITY, 100, kVacuum, 168, 0x10},
      {QXIDS32_M_VACUUM_INTENSITY, -3, kVacuum, 0, 0x10},
      {QXIDS32_M_VACUUM_INTENSITY, 0, kVacuum, {}, 0},
      {QXIDS32_M_WAIT_TIME_PER_PAGE, 0, kWaitPerPage, 0, 0x40},
      {QXIDS32_M_PLATEN_GAP, 0, kPlatenGap, 0, 0x80},
      {QXIDS32_M_PLATEN_GAP, 2, kPlatenGap, 2, 0x80},
      {QXIDS32_M_PLATEN_GAP, 3, kPlatenGap, {}, 0},
      {QXIDS32_M_FEED_ROLLER_TYPE, 0, kFeedRoller, {}, 0},
      {QXIDS32_M_FEED_ROLLER_TYPE, 2, kFeedRoller, 2, 0x200},
      {QXIDS32_M_WAIT_TIME_DSPRT_AUTO, 0, kFeedRoller, 0, 0x200},
      {QXIDS32_E_PILE_PRINT, 0, kPilePrint, {}, 0},
      {QXIDS32_E_PILE_PRINT, 3, kPilePrint, 3, 0x800},
      {QXIDS32_M_TOP_MARGIN, 0, kTopMargin, {}, 0},
      {QXIDS32_M_TOP_MARGIN, -5, kTopMargin, -5, 0x20000},
      {QXIDS32_TV_HTM_MPK_MEDIA_ID, 4, 0, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "id " << c.id << " value " << c.value);
    api_.options_.Clear();
    Set(c.id, c.value);
    const auto media = api_.CreateMediaOption();
    ASSERT_EQ(media.has_value(), c.field.has_value());
    if (!media) continue;
    Bytes expected(120, 120);
    expected.U16(0, 0, 8).U32(4, 4, c.valid_bit).I16(c.offset, *c.field);
    EXPECT_EQ(BytesOf(media->record()), expected.data());
  }
}

TEST_F(MediaOptionTest, LaterSettingsJoinEarlierOnes) {
  Set(QXIDS32_M_FEED_OFFSET, 80);
  Set(QXIDS32_M_FEED_ROLLER_TYPE, 2);
  Set(QXIDS32_M_WAIT_TIME_DSPRT_AUTO, 6);  // shares the feed roller field
  SetList(QXIDS32_H_INK_DENSITY_RATIO_MULTI, {100, 50, 150});
  Set(QXIDBOL_TV_M_EX07M2_DONT_SEND, 1);
  const auto media = api_.CreateMediaOption();
  ASSERT_TRUE(media.has_value());
  Bytes expected(120, 120);
  expected.U16(0, 0, 8)
      .U32(4, 4, 0x2 | 0x200 | 0x100000 | 0x200000)
      .I16(kFeedOffset, 9)
      .I16(kFeedRoller, 6)
      .I32(52, 52, 1024)
      .I32(56, 56, 512)
      .I32(60, 60, 1536)
      .I32(116, 116, -1);
  EXPECT_EQ(BytesOf(media->record()), expected.data());
}

TEST_F(MediaOptionTest, DensityRatiosInUnitsOf1024) {
  const struct Case {
    std::vector<std::int32_t> percent;
    std::vector<std::int32_t> stored;  // 16 entries
  } cases[] = {
      {{100, 50, 150}, {1024, 512, 1536, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {{-100, 1, 99}, {-1024, 10, 1013, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20},
       {10, 20, 30, 40, 51, 61, 71, 81, 92, 102, 112, 122, 133, 143, 153, 163}},
      // The 32-bit product wraps: 2^21 x 1024 is -2^31, and 2^22 x 1024 is 0.
      {{2097152, 4194304}, {-21474836, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.percent.size());
    api_.options_.Clear();
    api_.options_.SetParams<std::int32_t>(QXIDS32_H_INK_DENSITY_RATIO_MULTI, c.percent.data(),
                                          c.percent.size());
    const auto media = api_.CreateMediaOption();
    ASSERT_TRUE(media.has_value());
    EXPECT_EQ(media->valid_mask(), 0x100000u);
    EXPECT_EQ(std::vector<std::int32_t>(std::begin(media->record().ink_density_ratio),
                                        std::end(media->record().ink_density_ratio)),
              c.stored);
  }
}

TEST_F(MediaOptionTest, MessagesOfUnsupportedSettings) {
  const struct Case {
    QXOL_PARAM_ID id;
    std::int32_t value;
    int level;
    std::string text;
    bool record;  // with the feed offset also set
  } cases[] = {
      {QXIDS32_E_CUT_ADJUSTMENT, 0, kCritical, "Not compatible id: QXIDS32_E_CUT_ADJUSTMENT",
       false},
      {QXIDS32_M_ROLL_TENSION, 5, kCritical, "Not compatible id: QXIDS32_M_ROLL_TENSION", false},
      {QXIDS32_M_PLATEN_GAP, 3, kCritical, "QXIDS32_M_PLATEN_GAP (3) is not supported id.", true},
      {QXIDS32_M_PLATEN_GAP, -1, kCritical, "QXIDS32_M_PLATEN_GAP (-1) is not supported id.", true},
      {QXIDS32_TV_HTM_MPK_MEDIA_ID, 1, kInfo, "MEDIAOPT::mpk_media_id is not supported.", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    api_.options_.Clear();
    Set(QXIDS32_M_FEED_OFFSET, 71);
    Set(QXIDS32_M_TOP_MARGIN, 3);
    Set(c.id, c.value);
    LogCapture log;
    const auto media = api_.CreateMediaOption();
    EXPECT_TRUE(log.Has(c.level, c.text));
    ASSERT_EQ(media.has_value(), c.record);
    if (media) {
      EXPECT_EQ(media->valid_mask(), 0x2u | 0x20000u);
    }
  }
}

TEST_F(MediaOptionTest, NothingSetGivesNoRecord) {
  for (const std::int32_t mpk_media_id : {0, -1}) {
    api_.options_.Clear();
    Set(QXIDS32_TV_HTM_MPK_MEDIA_ID, mpk_media_id);
    Set(QXIDBOL_TV_M_EX07M2_DONT_SEND, 0);
    LogCapture log;
    EXPECT_FALSE(api_.CreateMediaOption().has_value());
    EXPECT_EQ(log.Count("MEDIAOPT::mpk_media_id is not supported."), 0);
  }
}

}  // namespace
}  // namespace tavik::test
