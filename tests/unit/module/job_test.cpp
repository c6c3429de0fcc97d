#include "job.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calib_files.h"
#include "module_test_support.h"

namespace dorva_ref {
namespace {

using testing::Decode;
using testing::Feed;
using testing::Image;
using testing::JobRecords;
using testing::Layout;
using testing::PrintPage;
using testing::Sink;

struct FormatCase {
  std::int32_t code;
  bool ok;
  int channels;
  bool from_rgb;
};

class InputFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(InputFormats, Decode) {
  const FormatCase& c = GetParam();
  InputKind kind;
  ASSERT_EQ(DecodeInputFormat(c.code, kind), c.ok) << c.code;
  if (!c.ok) return;
  EXPECT_EQ(kind.channels, c.channels);
  EXPECT_EQ(kind.from_rgb, c.from_rgb);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, InputFormats,
    ::testing::Values(FormatCase{1, true, 3, true}, FormatCase{4, true, 4, false},
                      FormatCase{101, true, 1, false}, FormatCase{116, true, 16, false},
                      FormatCase{1001, true, 3, true}, FormatCase{1004, true, 4, false},
                      FormatCase{1000, true, 4, false},   // 104 with the planar flag
                      FormatCase{1002, true, 6, false},   // 106 with the planar flag
                      FormatCase{1005, true, 1, false},   // 101 or 109: the smaller count
                      FormatCase{1020, true, 16, false},  // 116 with the planar flag
                      FormatCase{99, false, 0, false},    // n-channel without channels
                      FormatCase{0, false, 0, false}, FormatCase{2, false, 0, false},
                      FormatCase{117, false, 0, false}, FormatCase{1008, false, 0, false}));

// Eight vertical strips from no ink to full ink.
Image Strips(int width, int height, int channels) {
  Image image(width, height, channels);
  image.Fill([width](int c, int x, int) {
    const int strip = x * 8 / width;
    return static_cast<std::uint8_t>(c % 2 == 0 ? strip * 255 / 7 : (7 - strip) * 255 / 7);
  });
  return image;
}

struct ToneCase {
  const char* name;
  std::int32_t halftone_type;
};

class ToneTracking : public ::testing::TestWithParam<ToneCase> {};

TEST_P(ToneTracking, CoveragePerStripFollowsTheAmount) {
  const Image image = Strips(256, 128, 2);
  const auto decoded = Decode(PrintPage(image, 102, Layout::kPlanar, 64, GetParam().halftone_type));
  ASSERT_TRUE(decoded.ok) << decoded.error;
  const auto& page = decoded.pages.at(0);
  for (int ink = 0; ink < 2; ++ink) {
    double previous = ink == 0 ? -1.0 : 2.0;
    for (int strip = 0; strip < 8; ++strip) {
      const double expected = (ink == 0 ? strip : 7 - strip) * 255 / 7 / 255.0;
      const double got = page.Coverage(ink, strip * 32, 0, strip * 32 + 32, 128);
      EXPECT_NEAR(got, expected, 0.02) << "ink " << ink << " strip " << strip;
      if (ink == 0) {
        EXPECT_GT(got, previous);
      } else {
        EXPECT_LT(got, previous);
      }
      previous = got;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Types, ToneTracking,
                         ::testing::Values(ToneCase{"ordered", kHalftoneOrdered},
                                           ToneCase{"ordered_opt", kHalftoneOrderedOpt},
                                           ToneCase{"diffusion", kHalftoneDiffusion}),
                         [](const auto& info) { return std::string(info.param.name); });

struct PieceCase {
  const char* name;
  std::int32_t halftone_type;
  Layout layout;
  int piece_rows;
};

class SameDotsAnyWay : public ::testing::TestWithParam<PieceCase> {};

// Neither the piece height nor the layout may change a single dot.
TEST_P(SameDotsAnyWay, MatchesOnePieceInterleaved) {
  const PieceCase& c = GetParam();
  Image image(123, 150, 4);
  image.Fill(
      [](int ch, int x, int y) { return static_cast<std::uint8_t>((x * 2 + y + ch * 40) & 0xFF); });
  const auto reference = PrintPage(image, 4, Layout::kInterleaved, 150, c.halftone_type);
  const auto other = PrintPage(image, 4, c.layout, c.piece_rows, c.halftone_type);
  EXPECT_EQ(other, reference);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SameDotsAnyWay,
    ::testing::Values(PieceCase{"ordered_planar_64", kHalftoneOrdered, Layout::kPlanar, 64},
                      PieceCase{"ordered_interleaved_7", kHalftoneOrdered, Layout::kInterleaved, 7},
                      PieceCase{"ordered_planar_1", kHalftoneOrdered, Layout::kPlanar, 1},
                      PieceCase{"diffusion_planar_64", kHalftoneDiffusion, Layout::kPlanar, 64},
                      PieceCase{"diffusion_interleaved_13", kHalftoneDiffusion,
                                Layout::kInterleaved, 13}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Job, RgbInputPrintsTheComplementInThreeInks) {
  Image image(64, 8, 3);
  image.Fill([](int, int x, int) {
    return static_cast<std::uint8_t>(x < 32 ? 255 : 0);
  });  // white | black
  const auto decoded = Decode(PrintPage(image, 1, Layout::kInterleaved, 64));
  ASSERT_TRUE(decoded.ok) << decoded.error;
  const auto& page = decoded.pages.at(0);
  ASSERT_EQ(page.header.inks.size(), 3u);
  for (int ink = 0; ink < 3; ++ink) {
    EXPECT_EQ(page.Coverage(ink, 0, 0, 32, 8), 0.0);
    EXPECT_EQ(page.Coverage(ink, 32, 0, 64, 8), 1.0);
  }
  EXPECT_EQ(page.header.inks[0].Name(), "C");
}

TEST(Job, ValidAreaLimitsTheDots) {
  Sink sink;
  JobRecords rec(101, 40, 30, sink);
  std::unique_ptr<Job> job;
  ASSERT_EQ(Job::Create(&rec.prt, &rec.option, job), kOk);
  ASSERT_EQ(job->InitPage(&rec.ht), kOk);
  Image image(40, 30, 1);
  image.Fill([](int, int, int) { return 255; });
  const DORVA_AREA area{5, 3, 10, 4};  // columns 5..14, rows 3..6 of each piece
  ASSERT_EQ(Feed(*job, image, Layout::kPlanar, 10, &area), kOk);
  ASSERT_EQ(job->EndPage(true), kOk);
  ASSERT_EQ(job->Finish(), kOk);
  const auto decoded = Decode(sink.bytes);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  const auto& page = decoded.pages.at(0);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) {
      const bool inside = x >= 5 && x < 15 && (y % 10) >= 3 && (y % 10) < 7;
      ASSERT_EQ(page.Dot(0, x, y), inside) << x << "," << y;
    }
  }
}

TEST(Job, RowsNotSentAreBlankAndTheStreamStillChecks) {
  Sink sink;
  JobRecords rec(101, 16, 100, sink);
  std::unique_ptr<Job> job;
  ASSERT_EQ(Job::Create(&rec.prt, &rec.option, job), kOk);
  ASSERT_EQ(job->InitPage(&rec.ht), kOk);
  std::vector<std::uint8_t> full(16 * 10, 255);
  unsigned char* plane = full.data();
  DORVA_BAND_DATA band{16, nullptr, &plane};
  DORVA_RECT rect{0, 40, 16, 50};
  ASSERT_EQ(job->BandOut(nullptr, &band, &rect), kOk);
  ASSERT_EQ(job->EndPage(true), kOk);
  ASSERT_EQ(job->Finish(), kOk);
  const auto decoded = Decode(sink.bytes);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  const auto& page = decoded.pages.at(0);
  EXPECT_EQ(page.trailer.rows, 10u);
  EXPECT_EQ(page.Coverage(0, 0, 0, 16, 40), 0.0);
  EXPECT_EQ(page.Coverage(0, 0, 40, 16, 50), 1.0);
  EXPECT_EQ(page.Coverage(0, 0, 50, 16, 100), 0.0);
}

struct BadPiece {
  const char* name;
  DORVA_RECT rect;
  std::int32_t status;
};

class RefusedPieces : public ::testing::TestWithParam<BadPiece> {};

TEST_P(RefusedPieces, GetTheirStatus) {
  Sink sink;
  JobRecords rec(101, 32, 64, sink);
  std::unique_ptr<Job> job;
  ASSERT_EQ(Job::Create(&rec.prt, &rec.option, job), kOk);
  ASSERT_EQ(job->InitPage(&rec.ht), kOk);
  std::vector<std::uint8_t> data(32 * 64, 100);
  unsigned char* plane = data.data();
  DORVA_BAND_DATA band{32, nullptr, &plane};
  DORVA_RECT first{0, 16, 32, 32};
  ASSERT_EQ(job->BandOut(nullptr, &band, &first), kOk);
  DORVA_RECT rect = GetParam().rect;
  EXPECT_EQ(job->BandOut(nullptr, &band, &rect), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedPieces,
    ::testing::Values(BadPiece{"above_rows_sent", {0, 20, 32, 30}, kRowsOutOfOrder},
                      BadPiece{"same_rows_again", {0, 16, 32, 32}, kRowsOutOfOrder},
                      BadPiece{"wider_than_page", {0, 32, 33, 40}, kOutsidePage},
                      BadPiece{"below_page", {0, 60, 32, 65}, kOutsidePage},
                      BadPiece{"negative_left", {-1, 32, 32, 40}, kOutsidePage},
                      BadPiece{"upside_down", {0, 40, 32, 35}, kOutsidePage},
                      BadPiece{"empty_piece", {0, 0, 32, 0}, kOk}),
    [](const auto& info) { return std::string(info.param.name); });

// A page with fewer channels than the job (an RGB page in a CMYK job) has
// rows too short for the job's pixels; reading them would run past the rows.
TEST(Job, RowsShorterThanThePiecesPixelsAreRefused) {
  Sink sink;
  JobRecords rec(4, 16, 8, sink);
  std::unique_ptr<Job> job;
  ASSERT_EQ(Job::Create(&rec.prt, &rec.option, job), kOk);
  ASSERT_EQ(job->InitPage(&rec.ht), kOk);
  std::vector<std::uint8_t> rgb(16 * 3 * 8, 0);
  DORVA_BAND_DATA interleaved{16 * 3, rgb.data(), nullptr};
  DORVA_RECT rect{0, 0, 16, 8};
  EXPECT_EQ(job->BandOut(nullptr, &interleaved, &rect), kBadArgument);
  unsigned char* planes[4] = {rgb.data(), rgb.data(), rgb.data(), rgb.data()};
  DORVA_BAND_DATA narrow{8, nullptr, planes};
  EXPECT_EQ(job->BandOut(nullptr, &narrow, &rect), kBadArgument);
  DORVA_BAND_DATA planar{16, nullptr, planes};
  EXPECT_EQ(job->BandOut(nullptr, &planar, &rect), kOk);
}

TEST(Job, RecordsItCannotPrintAreRefused) {
  Sink sink;
  std::unique_ptr<Job> job;
  {
    JobRecords rec(99, 10, 10, sink);
    EXPECT_EQ(Job::Create(&rec.prt, &rec.option, job), kBadInputFormat);
  }
  {
    JobRecords rec(4, 0, 10, sink);
    EXPECT_EQ(Job::Create(&rec.prt, &rec.option, job), kBadInputFormat);
  }
  {
    JobRecords rec(4, 10, 10, sink);
    rec.prt.Version = 11;
    EXPECT_EQ(Job::Create(&rec.prt, &rec.option, job), kBadArgument);
  }
  {
    JobRecords rec(4, 10, 10, sink);
    rec.option.OutputCallback = nullptr;
    EXPECT_EQ(Job::Create(&rec.prt, &rec.option, job), kBadArgument);
  }
  JobRecords rec(4, 10, 10, sink);
  ASSERT_EQ(Job::Create(&rec.prt, &rec.option, job), kOk);
  DORVA_RECT rect{0, 0, 10, 1};
  std::vector<std::uint8_t> px(40);
  DORVA_BAND_DATA band{40, px.data(), nullptr};
  EXPECT_EQ(job->BandOut(nullptr, &band, &rect), kNoPage);
  rec.ht.HalftoneType = 5;
  EXPECT_EQ(job->InitPage(&rec.ht), kBadHalftoneType);
  const std::vector<std::uint8_t> junk(64, 0x5A);
  rec.ht.HalftoneType = kHalftoneOrdered;
  rec.ht.lpCalibData = const_cast<unsigned char*>(junk.data());
  EXPECT_EQ(job->InitPage(&rec.ht), kBadCalibration);
}

TEST(Job, CalibrationCurvesLightenThePage) {
  Image image(128, 128, 4);
  image.Fill([](int, int, int) { return 128; });
  const auto plain = Decode(PrintPage(image, 4, Layout::kPlanar, 64));
  ASSERT_TRUE(plain.ok);

  Sink sink;
  JobRecords rec(4, 128, 128, sink);
  const auto hc1 = MakeHc1(3);  // printer type 3: ink 0 gets the lightest mid tones
  rec.ht.lpCalibData = const_cast<unsigned char*>(hc1.data());
  std::unique_ptr<Job> job;
  ASSERT_EQ(Job::Create(&rec.prt, &rec.option, job), kOk);
  ASSERT_EQ(job->InitPage(&rec.ht), kOk);
  ASSERT_EQ(Feed(*job, image, Layout::kPlanar, 64), kOk);
  ASSERT_EQ(job->EndPage(true), kOk);
  ASSERT_EQ(job->Finish(), kOk);
  const auto calibrated = Decode(sink.bytes);
  ASSERT_TRUE(calibrated.ok) << calibrated.error;
  const auto curves = ReadHc1(hc1.data());
  ASSERT_TRUE(curves.has_value());
  for (int ink = 0; ink < 4; ++ink) {
    const double expected = (*curves)[static_cast<std::size_t>(ink)][128] / 255.0;
    EXPECT_NEAR(calibrated.pages[0].Coverage(ink, 0, 0, 128, 128), expected, 0.01) << ink;
  }
  EXPECT_LT(calibrated.pages[0].Coverage(0, 0, 0, 128, 128),
            plain.pages[0].Coverage(0, 0, 0, 128, 128) - 0.03);
}

TEST(Job, DensityRatioOfTheMediaOptionScalesAnInk) {
  Sink sink;
  JobRecords rec(102, 128, 128, sink);
  rec.media.Version = 8;
  rec.media.valid_mask = MEDIAOPT_VALID_INK_DENSITY_RATIO;
  rec.media.ink_density_ratio[0] = 512;  // half; ink 1 left out (0) keeps its tone
  rec.prt.lpMediaOption = reinterpret_cast<tagMEDIAOPT*>(&rec.media);
  std::unique_ptr<Job> job;
  ASSERT_EQ(Job::Create(&rec.prt, &rec.option, job), kOk);
  ASSERT_EQ(job->InitPage(&rec.ht), kOk);
  Image image(128, 128, 2);
  image.Fill([](int, int, int) { return 200; });
  ASSERT_EQ(Feed(*job, image, Layout::kPlanar, 64), kOk);
  ASSERT_EQ(job->EndPage(true), kOk);
  ASSERT_EQ(job->Finish(), kOk);
  const auto decoded = Decode(sink.bytes);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  EXPECT_NEAR(decoded.pages[0].Coverage(0, 0, 0, 128, 128), 100 / 255.0, 0.01);
  EXPECT_NEAR(decoded.pages[0].Coverage(1, 0, 0, 128, 128), 200 / 255.0, 0.01);
}

struct RefusalCase {
  const char* name;
  int refuse_from_call;
};

class SpoolRefusal : public ::testing::TestWithParam<RefusalCase> {};

// Once the host refuses a block, the failure reaches the caller and the job
// stays failed: nothing after the hole in the stream is sent.
TEST_P(SpoolRefusal, SurfacesAndSticks) {
  Sink sink;
  sink.refuse_from_call = GetParam().refuse_from_call;
  Image image(4000, 600, 4);  // enough rows for several blocks
  image.Fill([](int c, int x, int y) { return static_cast<std::uint8_t>((x ^ y) * (c + 1)); });
  JobRecords rec(4, image.width, image.height, sink);
  std::unique_ptr<Job> job;
  ASSERT_EQ(Job::Create(&rec.prt, &rec.option, job), kOk);
  ASSERT_EQ(job->InitPage(&rec.ht), kOk);
  std::int32_t st = Feed(*job, image, Layout::kInterleaved, 64);
  if (st == kOk) st = job->EndPage(true);
  EXPECT_EQ(st, kSpoolRefused);
  const int calls = sink.calls;
  EXPECT_EQ(job->InitPage(&rec.ht), kSpoolRefused);
  EXPECT_EQ(job->Finish(), kSpoolRefused);
  EXPECT_EQ(sink.calls, calls);
}

INSTANTIATE_TEST_SUITE_P(Cases, SpoolRefusal,
                         ::testing::Values(RefusalCase{"first_block", 0},
                                           RefusalCase{"later_block", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Job, SecondPageOverAnOpenOneEndsTheFirstAsAborted) {
  Sink sink;
  JobRecords rec(101, 8, 8, sink);
  std::unique_ptr<Job> job;
  ASSERT_EQ(Job::Create(&rec.prt, &rec.option, job), kOk);
  ASSERT_EQ(job->InitPage(&rec.ht), kOk);
  ASSERT_EQ(job->InitPage(&rec.ht), kOk);
  ASSERT_EQ(job->EndPage(true), kOk);
  ASSERT_EQ(job->Finish(), kOk);
  const auto decoded = Decode(sink.bytes);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  ASSERT_EQ(decoded.pages.size(), 2u);
  EXPECT_EQ(decoded.pages[0].trailer.flags & kPageNormalEnd, 0u);
  EXPECT_EQ(decoded.pages[1].trailer.flags & kPageNormalEnd, kPageNormalEnd);
  EXPECT_EQ(decoded.job_ends.at(0).pages, 2u);
}

TEST(CalibFiles, AreDeterministicAndReadBack) {
  EXPECT_EQ(MakeHc1(7), MakeHc1(7));
  EXPECT_EQ(MakeBz1(7, "Plotter"), MakeBz1(7, "Plotter"));
  EXPECT_NE(MakeBz1(7, "Plotter"), MakeBz1(7, "Plotter2"));
  EXPECT_NE(MakeCa1(7), MakeCa1(8));
  const auto curves = ReadHc1(MakeHc1(7).data());
  ASSERT_TRUE(curves.has_value());
  ASSERT_EQ(curves->size(), static_cast<std::size_t>(kCalibInks));
  for (const auto& c : *curves) {
    EXPECT_EQ(c[0], 0);
    EXPECT_EQ(c[255], 255);
    for (int v = 1; v < 256; ++v)
      EXPECT_GE(c[static_cast<std::size_t>(v)], c[static_cast<std::size_t>(v - 1)]);
  }
  auto other = MakeCa1(7);
  other.resize(MakeHc1(7).size(), 0);  // a different file that is long enough
  EXPECT_FALSE(ReadHc1(other.data()).has_value());
}

}  // namespace
}  // namespace dorva_ref
