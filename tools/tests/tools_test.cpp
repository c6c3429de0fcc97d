// The tools as a user runs them: the real library, the reference module,
// files on disk, exit codes and messages.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "halftone.h"
#include "stream_format.h"
#include "tool_support.h"

namespace tavik_tools::testing {
namespace {

// Dots of a decoded stream: per page, per ink, a count per vertical strip.
struct Coverage {
  bool ok = false;
  std::string error;
  std::vector<dorva_ref::PageHeader> pages;
  std::vector<std::vector<std::vector<double>>> strips;  // page, ink, strip: fraction of dots
};

Coverage Measure(const fs::path& prn, int strips) {
  Coverage cov;
  std::vector<std::vector<std::uint64_t>> counts;
  dorva_ref::StreamDecoder::Handlers h;
  h.page = [&](const dorva_ref::PageHeader& p) {
    cov.pages.push_back(p);
    counts.assign(p.inks.size(), std::vector<std::uint64_t>(static_cast<std::size_t>(strips), 0));
  };
  h.row = [&](std::uint32_t, const std::vector<std::vector<std::uint8_t>>& inks) {
    const int w = cov.pages.back().width;
    for (std::size_t i = 0; i < inks.size(); ++i) {
      for (int x = 0; x < w; ++x) {
        if (inks[i][static_cast<std::size_t>(x / 8)] & (0x80 >> (x % 8))) {
          ++counts[i][static_cast<std::size_t>(x * strips / w)];
        }
      }
    }
  };
  h.page_end = [&](const dorva_ref::PageTrailer&) {
    const auto& p = cov.pages.back();
    const double cells = static_cast<double>(p.width) / strips * p.height;
    std::vector<std::vector<double>> page;
    for (const auto& ink : counts) {
      std::vector<double> f;
      for (std::uint64_t n : ink) f.push_back(static_cast<double>(n) / cells);
      page.push_back(f);
    }
    cov.strips.push_back(page);
  };
  dorva_ref::StreamDecoder decoder(h);
  std::ifstream in(prn, std::ios::binary);
  cov.ok = decoder.Decode(in);
  cov.error = decoder.error();
  return cov;
}

class Tools : public ::testing::Test {
 protected:
  void SetUp() override {
    ini_ = dir_ / "reference.ini";
    WriteText(ini_, std::string("DV_MOD_HMM = ") + DORVA_REF_MODULE_PATH +
                        "\nTV_RSC = " + TAVIK_SOURCE_DIR + "/examples/reference-params.json\n");
  }

  RunResult Print(const std::vector<std::string>& inputs, const fs::path& out,
                  std::vector<std::string> extra = {}) {
    std::vector<std::string> args{TAVIK_PRINT_PATH, "-q", "-l",        TAVIK_LIBRARY_PATH, "-c",
                                  ini_.string(),    "-o", out.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), inputs.begin(), inputs.end());
    return RunProgram(args, dir_.path());
  }

  // A CMYK gradient: ink c runs from none to full across the page (ink 1 the
  // other way); `bits` 8 or 16.
  fs::path Gradient(const std::string& name, int bits, int width = 256, int height = 96) {
    const fs::path p = dir_ / name;
    TiffSpec s;
    s.width = width;
    s.height = height;
    s.bits = bits;
    WriteTiff(p, s, [width](int, int c, int x, int) {
      const double u = (x + 0.5) / width;
      return static_cast<std::uint16_t>(std::lround((c == 1 ? 1 - u : u) * 65535));
    });
    return p;
  }

  TempDir dir_;
  fs::path ini_;
};

// ---- failures: message and exit code --------------------------------------

struct FailureCase {
  const char* name;
  std::function<std::vector<std::string>(const TempDir&, const fs::path& ini,
                                         const fs::path& image)>
      args;
  int exit_code;
  const char* message;
};

class PrintFailures : public Tools, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(PrintFailures, NameTheProblemAndExitNonZero) {
  const fs::path image = Gradient("g.tif", 8);
  WriteText(dir_ / "notes.txt", "not an image\n");
  std::vector<char> png_head{'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a',
                             '\n',   0,   0,   0,   13,   'I',  'H'};
  WriteText(dir_ / "cut.png", std::string(png_head.begin(), png_head.end()));
  const auto r = RunProgram(GetParam().args(dir_, ini_, image), dir_.path());
  EXPECT_EQ(r.exit_code, GetParam().exit_code) << r.err;
  EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
}

std::vector<std::string> PrintArgs(const TempDir& d, const fs::path& ini,
                                   std::vector<std::string> rest,
                                   std::string library = TAVIK_LIBRARY_PATH) {
  std::vector<std::string> a{TAVIK_PRINT_PATH,        "-q", "-l", library, "-c", ini.string(), "-o",
                             (d / "out.prn").string()};
  a.insert(a.end(), rest.begin(), rest.end());
  return a;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrintFailures,
    ::testing::Values(
        FailureCase{"missing_image",
                    [](const TempDir& d, const fs::path& ini, const fs::path&) {
                      return PrintArgs(d, ini, {(d / "nothing.tif").string()});
                    },
                    2, "nothing.tif"},
        FailureCase{"text_file",
                    [](const TempDir& d, const fs::path& ini, const fs::path&) {
                      return PrintArgs(d, ini, {(d / "notes.txt").string()});
                    },
                    2, "neither a TIFF nor a PNG"},
        FailureCase{"cut_png",
                    [](const TempDir& d, const fs::path& ini, const fs::path&) {
                      return PrintArgs(d, ini, {(d / "cut.png").string()});
                    },
                    2, "cut.png"},
        FailureCase{"unknown_parameter",
                    [](const TempDir& d, const fs::path& ini, const fs::path& img) {
                      return PrintArgs(d, ini, {"--set", "QXIDS32_NO_SUCH=1", img.string()});
                    },
                    2, "unknown parameter name 'QXIDS32_NO_SUCH'"},
        FailureCase{
            "badly_typed_parameter",
            [](const TempDir& d, const fs::path& ini, const fs::path& img) {
              return PrintArgs(d, ini, {"--set", "QXIDS32_H_HALFTONE_TYPE=three", img.string()});
            },
            2, "takes 32-bit integers"},
        FailureCase{"missing_ini",
                    [](const TempDir& d, const fs::path&, const fs::path& img) {
                      return PrintArgs(d, d / "absent.ini", {img.string()});
                    },
                    1, "QXOL_ERR_INIT_FAILED (0x05000000) from QXOL_CreateInstance"},
        FailureCase{"ini_without_module",
                    [](const TempDir& d, const fs::path&, const fs::path& img) {
                      WriteText(d / "empty.ini", "; nothing\n");
                      return PrintArgs(d, d / "empty.ini", {img.string()});
                    },
                    1, "QXOL_ERR_INIT_FAILED (0x05000000) from QXOL_CreateInstance"},
        FailureCase{"not_a_library",
                    [](const TempDir& d, const fs::path& ini, const fs::path& img) {
                      return PrintArgs(d, ini, {img.string()}, (d / "notes.txt").string());
                    },
                    2, "cannot load the library"},
        FailureCase{
            "unsupported_halftone_type",
            [](const TempDir& d, const fs::path& ini, const fs::path& img) {
              return PrintArgs(d, ini, {"--set", "QXIDS32_H_HALFTONE_TYPE=9", img.string()});
            },
            1, "QXOL_ERR_INTERNAL (0x7F000000) from QXOL_BandOut2"},
        FailureCase{"unwritable_output",
                    [](const TempDir& d, const fs::path& ini, const fs::path& img) {
                      auto a = PrintArgs(d, ini, {img.string()});
                      a[7] = (d / "no-dir" / "out.prn").string();
                      return a;
                    },
                    2, "cannot write"},
        FailureCase{"no_arguments",
                    [](const TempDir&, const fs::path&, const fs::path&) {
                      return std::vector<std::string>{TAVIK_PRINT_PATH};
                    },
                    2, "required"}),
    [](const auto& info) { return std::string(info.param.name); });

// The spool callback fails when the disk is full; the module reports it and
// the library hands the failure back.
TEST_F(Tools, FullDiskSurfacesAsALibraryFailure) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const auto r = Print({Gradient("g.tif", 8, 2000, 300).string()}, "/dev/full");
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_NE(r.err.find("QXOL_ERR_INTERNAL (0x7F000000) from QXOL_"), std::string::npos) << r.err;
}

TEST_F(Tools, PlanarPagesOfAmbiguousChannelCountsAreRefused) {
  const fs::path p = dir_ / "five.tif";
  TiffSpec s;
  s.channels = 5;
  WriteTiff(p, s, [](int, int, int, int) { return 30000; });
  const auto r = Print({p.string()}, dir_ / "o.prn", {"--layout", "planar"});
  EXPECT_EQ(r.exit_code, 2) << r.err << r.out;
  EXPECT_NE(r.err.find("use --layout interleaved"), std::string::npos) << r.err;
  EXPECT_EQ(Print({p.string()}, dir_ / "o.prn").exit_code, 0);
}

struct BadTiffCase {
  const char* name;
  TiffSpec spec;
  const char* message;
};

class BadTiffs : public Tools, public ::testing::WithParamInterface<BadTiffCase> {};

TEST_P(BadTiffs, AreRefusedWithAReason) {
  const fs::path p = dir_ / "bad.tif";
  WriteTiff(p, GetParam().spec, [](int, int, int, int) { return 1000; });
  const auto r = Print({p.string()}, dir_ / "o.prn");
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
}

TiffSpec Spec(int channels, int bits, std::uint16_t photometric,
              std::uint16_t format = SAMPLEFORMAT_UINT) {
  TiffSpec s;
  s.channels = channels;
  s.bits = bits;
  s.photometric = photometric;
  s.sample_format = format;
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadTiffs,
    ::testing::Values(
        BadTiffCase{"float_samples", Spec(1, 32, PHOTOMETRIC_MINISBLACK, SAMPLEFORMAT_IEEEFP),
                    "32-bit samples are not supported"},
        BadTiffCase{"ycbcr", Spec(3, 8, PHOTOMETRIC_YCBCR), "photometric interpretation"},
        BadTiffCase{"too_many_channels", Spec(17, 8, PHOTOMETRIC_SEPARATED), "17 channels"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Tools, PreviewRefusesADamagedStream) {
  ASSERT_EQ(Print({Gradient("g.tif", 8).string()}, dir_ / "g.prn").exit_code, 0);
  std::string bytes = ReadText(dir_ / "g.prn");
  bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x40);
  WriteText(dir_ / "bad.prn", bytes);
  const auto r = RunProgram(
      {TAVIK_PREVIEW_PATH, (dir_ / "bad.prn").string(), "-o", (dir_ / "bad.png").string()},
      dir_.path());
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("tavik-preview: "), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "bad.png"));
  WriteText(dir_ / "cut.prn", ReadText(dir_ / "g.prn").substr(0, 100));
  EXPECT_EQ(RunProgram({TAVIK_PREVIEW_PATH, (dir_ / "cut.prn").string()}, dir_.path()).exit_code,
            1);
}

// ---- printing: what only holds if every stage is right ----------------------

struct ToneCase {
  const char* name;
  int bits;
  const char* layout;
  const char* halftone;
};

class ToneThroughEverything : public Tools, public ::testing::WithParamInterface<ToneCase> {};

// Coverage per strip tracks the gradient; every layout and sample width gives
// the same coverage within a small tolerance.
TEST_P(ToneThroughEverything, CoverageTracksTheInput) {
  const ToneCase& c = GetParam();
  const fs::path out = dir_ / "o.prn";
  const auto r =
      Print({Gradient("g.tif", c.bits).string()}, out,
            {"--layout", c.layout, "--set", std::string("QXIDS32_H_HALFTONE_TYPE=") + c.halftone});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const Coverage cov = Measure(out, 8);
  ASSERT_TRUE(cov.ok) << cov.error;
  ASSERT_EQ(cov.strips.size(), 1u);
  ASSERT_EQ(cov.strips[0].size(), 4u);
  for (int ink = 0; ink < 4; ++ink) {
    for (int s = 0; s < 8; ++s) {
      const double mid = (s + 0.5) / 8;
      const double expected = ink == 1 ? 1 - mid : mid;
      EXPECT_NEAR(cov.strips[0][static_cast<std::size_t>(ink)][static_cast<std::size_t>(s)],
                  expected, 0.03)
          << "ink " << ink << " strip " << s;
      if (s > 0) {
        const double prev =
            cov.strips[0][static_cast<std::size_t>(ink)][static_cast<std::size_t>(s - 1)];
        const double now =
            cov.strips[0][static_cast<std::size_t>(ink)][static_cast<std::size_t>(s)];
        if (ink == 1) {
          EXPECT_LT(now, prev);
        } else {
          EXPECT_GT(now, prev);
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ToneThroughEverything,
                         ::testing::Values(ToneCase{"b8_interleaved", 8, "interleaved", "3"},
                                           ToneCase{"b8_planar", 8, "planar", "3"},
                                           ToneCase{"b16_interleaved", 16, "interleaved", "3"},
                                           ToneCase{"b16_planar", 16, "planar", "3"},
                                           ToneCase{"b16_planar_diffusion", 16, "planar", "4"},
                                           ToneCase{"b8_interleaved_diffusion", 8, "interleaved",
                                                    "4"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct BandCase {
  const char* name;
  int bits;
  const char* layout;
};

class BandHeights : public Tools, public ::testing::WithParamInterface<BandCase> {};

// Ordered dither depends only on the page; the band height must not show.
TEST_P(BandHeights, GiveIdenticalPrinterData) {
  const BandCase& c = GetParam();
  const fs::path image = Gradient("g.tif", c.bits, 200, 300);
  std::string reference;
  for (const char* height : {"300", "64", "7", "129"}) {
    const fs::path out = dir_ / (std::string("b") + height + ".prn");
    const auto r = Print({image.string()}, out, {"--layout", c.layout, "--band-height", height});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string bytes = ReadText(out);
    if (reference.empty()) {
      reference = bytes;
    } else {
      EXPECT_EQ(bytes, reference) << "band height " << height;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, BandHeights,
                         ::testing::Values(BandCase{"b8_interleaved", 8, "interleaved"},
                                           BandCase{"b8_planar", 8, "planar"},
                                           BandCase{"b16_interleaved", 16, "interleaved"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct PngCase {
  const char* name;
  int channels;
  int bits;
};

class PngInput : public Tools, public ::testing::WithParamInterface<PngCase> {};

// Grey is printed as black ink, RGB as its complement in C, M and Y.
TEST_P(PngInput, PrintsTheComplementOfLight) {
  const PngCase& c = GetParam();
  const fs::path p = dir_ / "in.png";
  WritePng(p, 256, 64, c.channels, c.bits, [](int, int x, int) {
    return static_cast<std::uint16_t>(std::lround((x + 0.5) / 256 * 65535));  // white at the right
  });
  const fs::path out = dir_ / "o.prn";
  const auto r = Print({p.string()}, out);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const Coverage cov = Measure(out, 4);
  ASSERT_TRUE(cov.ok) << cov.error;
  ASSERT_EQ(cov.strips[0].size(), static_cast<std::size_t>(c.channels));
  for (std::size_t ink = 0; ink < cov.strips[0].size(); ++ink) {
    for (int s = 0; s < 4; ++s) {
      EXPECT_NEAR(cov.strips[0][ink][static_cast<std::size_t>(s)], 1 - (s + 0.5) / 4, 0.03)
          << ink << " " << s;
    }
  }
  EXPECT_EQ(cov.pages[0].inks[0].Name(), c.channels == 1 ? "K" : "C");
}

INSTANTIATE_TEST_SUITE_P(Cases, PngInput,
                         ::testing::Values(PngCase{"grey8", 1, 8}, PngCase{"grey16", 1, 16},
                                           PngCase{"rgb8", 3, 8}, PngCase{"rgb16", 3, 16}),
                         [](const auto& info) { return std::string(info.param.name); });

// Planar TIFF files, pages of different sizes and several input files: one
// page each, a new job where the geometry changes.
TEST_F(Tools, EveryDirectoryAndFileIsAPage) {
  const fs::path multi = dir_ / "multi.tif";
  TiffSpec s;
  s.pages = 2;
  s.separate = true;
  WriteTiff(multi, s, [](int page, int c, int, int) {
    return static_cast<std::uint16_t>(page * 20000 + c * 5000);
  });
  const fs::path other = Gradient("g.tif", 16, 100, 40);
  const fs::path out = dir_ / "o.prn";
  const auto r = Print({multi.string(), other.string()}, out);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const auto preview = RunProgram({TAVIK_PREVIEW_PATH, out.string()}, dir_.path());
  ASSERT_EQ(preview.exit_code, 0) << preview.err;
  EXPECT_NE(preview.out.find("2 jobs, 3 pages, checksums verified"), std::string::npos)
      << preview.out;
  EXPECT_NE(preview.out.find("page 3: 100 x 40 dots"), std::string::npos) << preview.out;
}

TEST_F(Tools, ChartPrintsAndPreviews) {
  const fs::path chart = dir_ / "chart.tif";
  ASSERT_EQ(
      RunProgram({TAVIK_CHART_PATH, "-o", chart.string(), "--width", "600", "--height", "400"},
                 dir_.path())
          .exit_code,
      0);
  const fs::path out = dir_ / "chart.prn";
  ASSERT_EQ(Print({chart.string()}, out).exit_code, 0);
  const fs::path png = dir_ / "chart.png";
  const auto r =
      RunProgram({TAVIK_PREVIEW_PATH, out.string(), "-o", png.string(), "-w", "300"}, dir_.path());
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("checksums verified"), std::string::npos);
  EXPECT_NE(r.out.find("(300 x 200)"), std::string::npos) << r.out;
  const std::string bytes = ReadText(png);
  ASSERT_GT(bytes.size(), 8u);
  EXPECT_EQ(bytes.substr(1, 3), "PNG");
}

// A page far larger than its bands: the printing host's and the previewer's
// peak memory stays near a few bands, nowhere near the page.
TEST_F(Tools, TallPagesStreamInBoundedMemory) {
  const int width = 1024, height = 30000;  // 120 MB of 8-bit CMYK
  const fs::path tall = dir_ / "tall.tif";
  ASSERT_EQ(RunProgram({TAVIK_CHART_PATH, "-o", tall.string(), "--kind", "ramp", "--bits", "8",
                        "--width", std::to_string(width), "--height", std::to_string(height)},
                       dir_.path())
                .exit_code,
            0);
  const fs::path out = dir_ / "tall.prn";
  const auto print = Print({tall.string()}, out, {"--band-height", "256"});
  ASSERT_EQ(print.exit_code, 0) << print.err;
  const long page_kib = static_cast<long>(width) * height * 4 / 1024;
  EXPECT_LT(print.peak_kib, page_kib / 4) << "tavik-print peak " << print.peak_kib << " KiB";
  const auto preview = RunProgram(
      {TAVIK_PREVIEW_PATH, out.string(), "-o", (dir_ / "tall.png").string(), "-w", "200"},
      dir_.path());
  ASSERT_EQ(preview.exit_code, 0) << preview.err;
  EXPECT_LT(preview.peak_kib, page_kib / 4) << "tavik-preview peak " << preview.peak_kib << " KiB";
}

}  // namespace
}  // namespace tavik_tools::testing
