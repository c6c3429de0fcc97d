// Host records that lie: counts without arrays, arrays behind counts that say
// there are none, and band sizes beyond what 32 bits can hold. None of them
// may be followed or read past; the call fails with a result code where the
// band cannot be sent, and the same instance prints the next honest band.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "config/log.h"
#include "support/log_capture.h"
#include "unit/hardening/host_job.h"

namespace tavik::test {
namespace {

namespace fs = std::filesystem;
using tavik_double::Entry;

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kWidth = 16;

// A pointer the library must never follow: its count says there is no list.
template <typename T>
T* Untouchable() {
  return reinterpret_cast<T*>(static_cast<std::uintptr_t>(0x10));
}

// One honest page description (CMYK, 8 bits, planar) with every array filled.
struct PageRecords {
  std::int32_t list[3] = {1, 2, 3};
  std::int32_t channels[4] = {0, 1, 2, 3};
  std::int32_t values[2] = {7, 8};
  std::int32_t param_values[2] = {360, 720};
  QXOL_OUT_GROUP_INFO groups[1] = {{3, list, 3, list}};
  QXOL_COLOR_CONVERT_CH_INFO chs[1] = {{1, 2, nullptr, nullptr}};
  QXOL_CUSTOM_PARAM params[1] = {{QXIDS32_PRT_RES_X, 2, param_values}};
  QXOL_BASE_INFO base{0, kWidth, 128, 1, groups, 1, chs};
  QXOL_IMAGE_INFO image{360, 360, kWidth, 128, 2, 4, channels, 1};
  QXOL_CONVERT_INFO convert{0, 2, values, 4, 1, params};
};

class LyingRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    instance_.emplace(WriteIni(dir_), &SpoolSink::Func, &sink_);
    // Pages here have four planes, also where a job was opened by a page
    // whose format could not be told.
    control().band_plane_count = 4;
  }
  QXOL_HANDLE h() const { return instance_->handle(); }
  tavik_double::Control& control() { return double_.control(); }

  // An honest 64-row band of the planar CMYK page; its result.
  std::int32_t HonestBand(std::int32_t top) {
    unsigned char* table[4] = {plane_.data(), plane_.data(), plane_.data(), plane_.data()};
    QXOL_BAND_INFO info{0, top, kWidth, top + 64, -1, -1, -1, -1};
    QXOL_BAND_DATA data{table, kWidth, 0};
    return QXOL_BandOut2(h(), 1, &info, 1, &data, 0);
  }

  TempDir dir_;
  DoubleModule double_;
  SpoolSink sink_;
  LogCapture quiet_{kCritical};
  std::optional<Instance> instance_;
  std::vector<unsigned char> plane_ = std::vector<unsigned char>(kWidth * 64, 0x55);
};

TEST_F(LyingRecordsTest, CountsWithoutArraysAreNoListsInEveryPageRecord) {
  const struct Case {
    const char* name;
    std::function<void(PageRecords&)> lie;
    std::int32_t band_result;  // of the page's first band
  } cases[] = {
      {"out groups", [](PageRecords& r) { r.base.out_groups = nullptr; }, QXOL_OK},
      {"out groups, every count",
       [](PageRecords& r) {
         r.base.out_group_num = kMax;
         r.base.out_groups = nullptr;
       },
       QXOL_OK},
      {"an out group's lists",
       [](PageRecords& r) {
         r.groups[0] = {5, nullptr, kMax, nullptr};
       },
       QXOL_OK},
      {"colour convert channels", [](PageRecords& r) { r.base.color_convert_chs = nullptr; },
       QXOL_OK},
      {"channel list of a fixed format", [](PageRecords& r) { r.image.channels = nullptr; },
       QXOL_OK},
      // The channel count of this format is the list's length: with no list
      // the page's format cannot be told, and its bands are refused.
      {"channel list of an n-channel format",
       [](PageRecords& r) {
         r.image.data_type = 3;
         r.image.channels = nullptr;
       },
       QXOL_ERR_INTERNAL},
      {"convert values",
       [](PageRecords& r) {
         r.convert.value_num = kMax;
         r.convert.values = nullptr;
       },
       QXOL_OK},
      {"custom parameters", [](PageRecords& r) { r.convert.custom_params = nullptr; }, QXOL_OK},
      {"a custom parameter's values",
       [](PageRecords& r) {
         r.params[0].value_num = kMax;
         r.params[0].values = nullptr;
       },
       QXOL_OK},
      {"negative counts with arrays",
       [](PageRecords& r) {
         r.base.out_group_num = -1;
         r.base.out_groups = Untouchable<QXOL_OUT_GROUP_INFO>();
         r.base.color_convert_ch_num = kMin;
         r.base.color_convert_chs = Untouchable<QXOL_COLOR_CONVERT_CH_INFO>();
         r.image.channel_num = -4;
         r.image.channels = Untouchable<std::int32_t>();
         r.convert.value_num = -2;
         r.convert.values = Untouchable<std::int32_t>();
         r.convert.custom_param_num = -1;
         r.convert.custom_params = Untouchable<QXOL_CUSTOM_PARAM>();
       },
       QXOL_OK},
      {"negative counts in an out group",
       [](PageRecords& r) {
         r.groups[0] = {-1, Untouchable<std::int32_t>(), kMin, Untouchable<std::int32_t>()};
       },
       QXOL_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    control().calls.clear();
    PageRecords records;
    c.lie(records);
    ASSERT_EQ(QXOL_StartPage(h(), &records.base, 1, &records.image, 1, &records.convert), QXOL_OK);
    EXPECT_EQ(HonestBand(0), c.band_result);
    EXPECT_EQ(control().Count(Entry::kBandOut), c.band_result == QXOL_OK ? 1 : 0);
    EXPECT_EQ(QXOL_EndPage(h(), 0), QXOL_OK);

    // The next honest page prints on the same instance.
    const PageRecords honest;
    ASSERT_EQ(QXOL_StartPage(h(), &honest.base, 1, &honest.image, 1, &honest.convert), QXOL_OK);
    EXPECT_EQ(HonestBand(0), QXOL_OK);
    EXPECT_EQ(QXOL_EndPage(h(), 0), QXOL_OK);
  }
}

// A band whose record claims more than it can: sent to a fresh instance on a
// page of the given format, with buffers of one byte (anything read past
// that is reported by the address sanitizer).
struct BandLie {
  const char* name;
  std::int32_t data_type;
  std::int32_t top;
  std::int32_t bottom;
  std::int32_t stride;
  enum Planes { kBuffers, kNoTable, kOneNull } planes;
  std::int32_t result;
};

const BandLie kBandLies[] = {
    {"rows x stride beyond 32 bits", 2, 0, 65536, 65536, BandLie::kBuffers, QXOL_ERR_INTERNAL},
    {"rows x stride just beyond 32 bits", 2, 0, 2, 0x40000000, BandLie::kBuffers,
     QXOL_ERR_INTERNAL},
    {"negative stride", 2, 0, 4, -kWidth, BandLie::kBuffers, QXOL_ERR_INTERNAL},
    {"more rows than 32 bits count", 2, kMin, kMax, 0, BandLie::kBuffers, QXOL_ERR_INTERNAL},
    {"more rows than 32 bits count, any stride", 2, kMin, kMax, 1, BandLie::kBuffers,
     QXOL_ERR_INTERNAL},
    {"no plane table", 2, 0, 64, kWidth, BandLie::kNoTable, QXOL_ERR_INTERNAL},
    {"a null plane", 2, 0, 64, kWidth, BandLie::kOneNull, QXOL_ERR_INTERNAL},
    {"bottom above top", 2, 64, 0, kWidth, BandLie::kBuffers, QXOL_OK},
    {"bottom far above top", 2, kMax - 1, kMin + 125, kWidth, BandLie::kBuffers, QXOL_OK},
    {"16 bits: rows x stride beyond 32 bits", -2, 0, 65536, 65536, BandLie::kBuffers,
     QXOL_ERR_INTERNAL},
    {"16 bits: more rows than 32 bits count", -2, kMin, kMax, 0, BandLie::kBuffers,
     QXOL_ERR_INTERNAL},
    {"16 bits: negative stride", -2, 0, 4, -2 * kWidth, BandLie::kBuffers, QXOL_ERR_INTERNAL},
    {"16 bits: bottom far above top", -2, kMax - 1, kMin + 125, 2 * kWidth, BandLie::kBuffers,
     QXOL_ERR_INTERNAL},
    {"16 bits: no plane table", -2, 0, 64, 2 * kWidth, BandLie::kNoTable, QXOL_ERR_INTERNAL},
    {"16 bits: a null plane", -2, 0, 64, 2 * kWidth, BandLie::kOneNull, QXOL_ERR_INTERNAL},
};

TEST_F(LyingRecordsTest, BandsBeyondTheInterfaceFailAndTheNextBandPrints) {
  for (const BandLie& lie : kBandLies) {
    SCOPED_TRACE(lie.name);
    instance_.reset();
    control().Reset();
    control().band_plane_count = 4;
    instance_.emplace(WriteIni(dir_), &SpoolSink::Func, &sink_);
    ASSERT_TRUE(instance_->ok());

    PageRecords records;
    records.image.data_type = lie.data_type;
    records.image.bpp = lie.data_type < 0 ? 2 : 1;
    ASSERT_EQ(QXOL_StartPage(h(), &records.base, 1, &records.image, 1, &records.convert), QXOL_OK);
    unsigned char bytes[4] = {1, 2, 3, 4};
    unsigned char* table[4] = {&bytes[0], &bytes[1], &bytes[2], &bytes[3]};
    if (lie.planes == BandLie::kOneNull) table[2] = nullptr;
    QXOL_BAND_INFO info{0, lie.top, kWidth, lie.bottom, -1, -1, -1, -1};
    QXOL_BAND_DATA data{lie.planes == BandLie::kNoTable ? nullptr : table, lie.stride, 0};
    EXPECT_EQ(QXOL_BandOut2(h(), 1, &info, 1, &data, 0), lie.result);
    EXPECT_EQ(control().Count(Entry::kBandOut), 0) << "nothing of the band is sent";

    // The same instance goes on with an honest band of an honest page.
    const PageRecords honest;
    ASSERT_EQ(QXOL_StartPage(h(), &honest.base, 1, &honest.image, 1, &honest.convert), QXOL_OK);
    EXPECT_EQ(HonestBand(64), QXOL_OK);
    EXPECT_EQ(control().Count(Entry::kBandOut), 1);
  }
}

TEST_F(LyingRecordsTest, PageWithFewerPlanesThanItsJobLeavesTheModuleNoStalePlanes) {
  // The job is opened for four planes; the next page of the job has three.
  // The module still reads the job's four.
  control().band_plane_count = 4;
  const PageRecords cmyk;
  ASSERT_EQ(QXOL_StartPage(h(), &cmyk.base, 1, &cmyk.image, 1, &cmyk.convert), QXOL_OK);
  {
    std::vector<unsigned char> freed(kWidth * 64, 0x11);
    unsigned char* table[4] = {freed.data(), freed.data(), freed.data(), freed.data()};
    QXOL_BAND_INFO info{0, 0, kWidth, 64, -1, -1, -1, -1};
    QXOL_BAND_DATA data{table, kWidth, 0};
    ASSERT_EQ(QXOL_BandOut2(h(), 1, &info, 1, &data, 0), QXOL_OK);
  }
  ASSERT_EQ(QXOL_EndPage(h(), 0), QXOL_OK);

  PageRecords rgb;
  rgb.image.data_type = 1;
  ASSERT_EQ(QXOL_StartPage(h(), &rgb.base, 1, &rgb.image, 1, &rgb.convert), QXOL_OK);
  unsigned char* table[3] = {plane_.data(), plane_.data(), plane_.data()};
  QXOL_BAND_INFO info{0, 0, kWidth, 64, -1, -1, -1, -1};
  QXOL_BAND_DATA data{table, kWidth, 0};
  ASSERT_EQ(QXOL_BandOut2(h(), 1, &info, 1, &data, 0), QXOL_OK);

  EXPECT_EQ(control().Count(Entry::kInitJob), 1);
  const tavik_double::Call* piece = control().Last(Entry::kBandOut);
  ASSERT_NE(piece, nullptr);
  ASSERT_EQ(piece->band->plane_pointers.size(), 4u);
  EXPECT_EQ(piece->band->plane_pointers[2], plane_.data());
  EXPECT_EQ(piece->band->plane_pointers[3], nullptr);
}

TEST_F(LyingRecordsTest, CalibrationArchiveClaimingGigabytesIsReadAsFarAsItGoes) {
  const PrivateTempArea temp;
  const std::vector<unsigned char> ca1 = {'C', 'A', '1'};
  std::vector<unsigned char> archive = CalibrationArchive(ca1);
  // A second member whose size field claims two gigabytes, followed by
  // nothing: a few bytes of host data that must not become a huge file.
  std::string header = "huge.BZ1       1700000000  0     0     10644   2147483647`\n";
  archive.insert(archive.end(), header.begin(), header.end());
  ASSERT_EQ(QXOL_SetValue(h(), QXIDU08_TV_ISV_CALIB_DATA, archive.data(),
                          static_cast<std::int32_t>(archive.size())),
            QXOL_OK);

  const PageRecords page;
  ASSERT_EQ(QXOL_StartPage(h(), &page.base, 1, &page.image, 1, &page.convert), QXOL_OK);
  ASSERT_EQ(HonestBand(0), QXOL_OK);
  const tavik_double::Call* init_job = control().Last(Entry::kInitJob);
  ASSERT_TRUE(init_job != nullptr && init_job->prt && init_job->prt->brs_data);
  EXPECT_EQ(init_job->prt->brs_data->ca1_data, ca1);
  EXPECT_FALSE(init_job->prt->brs_data->bz1_data);
  EXPECT_EQ(temp.Listing(), "");
}

TEST_F(LyingRecordsTest, BandOutWithoutAPixelBufferIsRefusedAlsoWhileDumping) {
  const TempDir diagnostics;
  fs::create_directory(diagnostics.path() / "3");
  const struct {
    const char* name;
    std::int32_t data_type;
    bool dumps;
  } cases[] = {
      {"8 bits", 2, false},
      {"8 bits, dumps on", 2, true},
      {"16 bits, dumps on", -2, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Switched on after creation, so no log file is installed.
    const ScopedEnv dumps("TAVIK_DIAG_DIR",
                          c.dumps ? std::optional(diagnostics.path().string()) : std::nullopt);
    PageRecords records;
    records.image.data_type = c.data_type;
    records.image.bpp = c.data_type < 0 ? 2 : 1;
    ASSERT_EQ(QXOL_StartPage(h(), &records.base, 1, &records.image, 1, &records.convert), QXOL_OK);
    QXOL_BAND_INFO info{0, 0, kWidth, 64, -1, -1, -1, -1};
    QXOL_BAND_DATA data{nullptr, kWidth * records.image.bpp, 0};
    EXPECT_EQ(QXOL_BandOut(h(), 1, &info, 1, &data), QXOL_ERR_INTERNAL);
    EXPECT_EQ(control().Count(Entry::kBandOut), 0);
  }
  const PageRecords honest;
  ASSERT_EQ(QXOL_StartPage(h(), &honest.base, 1, &honest.image, 1, &honest.convert), QXOL_OK);
  EXPECT_EQ(HonestBand(0), QXOL_OK);
}

TEST_F(LyingRecordsTest, WildBytesPerPixelOfAnInterleavedPageOnlyMakesUnusedPlanes) {
  PageRecords records;
  records.image.bpp = 0x40000000;  // not one sample: interleaved
  ASSERT_EQ(QXOL_StartPage(h(), &records.base, 1, &records.image, 1, &records.convert), QXOL_OK);
  std::vector<unsigned char> buffer(4 * kWidth * 64, 0x33);
  QXOL_BAND_INFO info{0, 0, kWidth, 64, -1, -1, -1, -1};
  QXOL_BAND_DATA data{reinterpret_cast<unsigned char**>(buffer.data()), 4 * kWidth, 0};
  ASSERT_EQ(QXOL_BandOut(h(), 1, &info, 1, &data), QXOL_OK);
  const tavik_double::Call* piece = control().Last(Entry::kBandOut);
  ASSERT_NE(piece, nullptr);
  EXPECT_FALSE(piece->band->planar);
  EXPECT_EQ(piece->band->band->data, buffer.data());
}

}  // namespace
}  // namespace tavik::test
