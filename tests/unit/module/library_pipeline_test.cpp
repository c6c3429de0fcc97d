// The library and the reference module together, through the exported
// functions only, as a host drives them.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "module_test_support.h"
#include "qxol.h"

namespace dorva_ref {
namespace {

namespace fs = std::filesystem;

struct Exports {
  decltype(&QXOL_CreateInstance) create = nullptr;
  decltype(&QXOL_DeleteInstance) destroy = nullptr;
  decltype(&QXOL_SetValue) set_value = nullptr;
  decltype(&QXOL_StartJob) start_job = nullptr;
  decltype(&QXOL_EndJob) end_job = nullptr;
  decltype(&QXOL_StartPage) start_page = nullptr;
  decltype(&QXOL_EndPage) end_page = nullptr;
  decltype(&QXOL_BandOut2) band_out2 = nullptr;
};

struct HostSink {
  std::vector<std::uint8_t> bytes;
  bool refuse = false;
  static std::int32_t QXOL_CALL Spool(void* context, signed char* data, std::int32_t size) {
    auto* sink = static_cast<HostSink*>(context);
    if (sink->refuse) return 0;
    const auto* p = reinterpret_cast<const std::uint8_t*>(data);
    sink->bytes.insert(sink->bytes.end(), p, p + size);
    return 1;
  }
};

enum class Bits { k8, k16 };

// A CMYK page: ink c is a horizontal ramp (ink 1 reversed), as 8- or 16-bit samples.
struct Page {
  int width;
  int height;
  std::uint16_t Sample(int c, int x) const {
    const double u = (x + 0.5) / width;
    return static_cast<std::uint16_t>(std::lround((c == 1 ? 1 - u : u) * 65535));
  }
};

class LibraryPipeline : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_ = dlopen(TAVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib_, nullptr) << dlerror();
    Bind(api_.create, "QXOL_CreateInstance");
    Bind(api_.destroy, "QXOL_DeleteInstance");
    Bind(api_.set_value, "QXOL_SetValue");
    Bind(api_.start_job, "QXOL_StartJob");
    Bind(api_.end_job, "QXOL_EndJob");
    Bind(api_.start_page, "QXOL_StartPage");
    Bind(api_.end_page, "QXOL_EndPage");
    Bind(api_.band_out2, "QXOL_BandOut2");
    std::string pattern = (fs::temp_directory_path() / "tavik-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    ini_ = dir_ / "reference.ini";
    std::ofstream(ini_) << "DV_MOD_HMM = " << DORVA_REF_MODULE_PATH << "\n";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
    if (lib_ != nullptr) dlclose(lib_);
  }
  template <typename F>
  void Bind(F& f, const char* name) {
    f = reinterpret_cast<F>(dlsym(lib_, name));
    ASSERT_NE(f, nullptr) << name;
  }

  // Prints `page` with bands of `band_rows`; returns the first failure, or 0.
  std::int32_t Print(const Page& page, Bits bits, testing::Layout layout, int band_rows,
                     HostSink& sink, std::int32_t halftone_type = kHalftoneOrdered) {
    QXOL_HANDLE h = nullptr;
    std::int32_t rc = api_.create(&h, ini_.c_str(), &HostSink::Spool, &sink);
    if (rc != QXOL_OK) return rc;
    rc = api_.set_value(h, QXIDS32_H_HALFTONE_TYPE, &halftone_type, 1);
    if (rc == QXOL_OK) rc = PrintWith(h, page, bits, layout, band_rows);
    api_.destroy(h);
    return rc;
  }

  std::int32_t PrintWith(QXOL_HANDLE h, const Page& page, Bits bits, testing::Layout layout,
                         int band_rows) {
    const bool planar = layout == testing::Layout::kPlanar;
    const int bytes = bits == Bits::k16 ? 2 : 1;
    std::int32_t channels[4] = {0, 1, 2, 3};
    QXOL_BASE_INFO base{};
    base.paper_width = page.width;
    base.paper_height = page.height;
    QXOL_IMAGE_INFO image{};
    image.res_x = image.res_y = 360;
    image.width = page.width;
    image.height = page.height;
    image.data_type = bits == Bits::k16 ? -2 : 2;
    image.channel_num = 4;
    image.channels = channels;
    image.bpp = planar ? bytes : 4 * bytes;
    QXOL_CONVERT_INFO convert{};
    convert.intent = 4;
    std::int32_t rc = api_.start_job(h);
    if (rc == QXOL_OK) rc = api_.start_page(h, &base, 1, &image, 1, &convert);
    if (rc != QXOL_OK) return rc;

    const std::size_t plane_row = static_cast<std::size_t>(page.width) * bytes;
    std::vector<std::vector<std::uint8_t>> buffers(planar ? 4 : 1);
    for (auto& b : buffers)
      b.resize(static_cast<std::size_t>(band_rows) * plane_row * (planar ? 1 : 4));
    std::vector<unsigned char*> table;
    for (auto& b : buffers) table.push_back(b.data());
    auto put = [&](std::vector<std::uint8_t>& b, std::size_t index, std::uint16_t v) {
      if (bytes == 2) {
        reinterpret_cast<std::uint16_t*>(b.data())[index] = v;
      } else {
        b[index] = static_cast<std::uint8_t>(v >> 8);
      }
    };
    for (int top = 0; top < page.height; top += band_rows) {
      const int bottom = std::min(page.height, top + band_rows);
      for (int y = 0; y < bottom - top; ++y) {
        for (int x = 0; x < page.width; ++x) {
          for (int c = 0; c < 4; ++c) {
            if (planar) {
              put(buffers[static_cast<std::size_t>(c)],
                  static_cast<std::size_t>(y) * page.width + x, page.Sample(c, x));
            } else {
              put(buffers[0], (static_cast<std::size_t>(y) * page.width + x) * 4 + c,
                  page.Sample(c, x));
            }
          }
        }
      }
      QXOL_BAND_INFO info{0, top, page.width, bottom, -1, -1, -1, -1};
      QXOL_BAND_DATA data{table.data(), static_cast<std::int32_t>(plane_row * (planar ? 1 : 4)), 0};
      rc = api_.band_out2(h, 1, &info, 1, &data, 0);
      if (rc != QXOL_OK) return rc;
    }
    rc = api_.end_page(h, 0);
    if (rc == QXOL_OK) rc = api_.end_job(h);
    return rc;
  }

  void* lib_ = nullptr;
  Exports api_;
  fs::path dir_;
  fs::path ini_;
};

struct ToneCase {
  const char* name;
  Bits bits;
  testing::Layout layout;
  std::int32_t halftone_type;
};

class PipelineTone : public LibraryPipeline, public ::testing::WithParamInterface<ToneCase> {};

TEST_P(PipelineTone, CoverageTracksTheRamp) {
  const ToneCase& c = GetParam();
  const Page page{256, 130};  // 130 rows: the library sends pieces of 64, 64 and 2
  HostSink sink;
  ASSERT_EQ(Print(page, c.bits, c.layout, 130, sink, c.halftone_type), QXOL_OK);
  const auto decoded = testing::Decode(sink.bytes);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  ASSERT_EQ(decoded.pages.size(), 1u);
  const auto& p = decoded.pages[0];
  ASSERT_EQ(p.header.inks.size(), 4u);
  EXPECT_EQ(p.header.halftone_type, c.halftone_type);
  EXPECT_EQ(p.trailer.rows, 130u);
  for (int ink = 0; ink < 4; ++ink) {
    double previous = ink == 1 ? 2.0 : -1.0;
    for (int s = 0; s < 8; ++s) {
      const double mid = (s + 0.5) / 8;
      const double got = p.Coverage(ink, s * 32, 0, s * 32 + 32, 130);
      EXPECT_NEAR(got, ink == 1 ? 1 - mid : mid, 0.03) << "ink " << ink << " strip " << s;
      if (ink == 1) {
        EXPECT_LT(got, previous);
      } else {
        EXPECT_GT(got, previous);
      }
      previous = got;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PipelineTone,
    ::testing::Values(
        ToneCase{"b8_interleaved", Bits::k8, testing::Layout::kInterleaved, kHalftoneOrdered},
        ToneCase{"b8_planar", Bits::k8, testing::Layout::kPlanar, kHalftoneOrdered},
        ToneCase{"b16_interleaved", Bits::k16, testing::Layout::kInterleaved, kHalftoneOrdered},
        ToneCase{"b16_planar", Bits::k16, testing::Layout::kPlanar, kHalftoneOrdered},
        ToneCase{"b8_planar_diffusion", Bits::k8, testing::Layout::kPlanar, kHalftoneDiffusion},
        ToneCase{"b16_interleaved_diffusion", Bits::k16, testing::Layout::kInterleaved,
                 kHalftoneDiffusion}),
    [](const auto& info) { return std::string(info.param.name); });

struct BandCase {
  const char* name;
  Bits bits;
  testing::Layout layout;
  std::int32_t halftone_type;
};

class PipelineBands : public LibraryPipeline, public ::testing::WithParamInterface<BandCase> {};

// 8-bit samples reach the module untouched, and the 16-bit dither of an
// interleaved page runs on across bands, so the band height cannot show.
TEST_P(PipelineBands, HeightDoesNotChangeTheOutput) {
  const BandCase& c = GetParam();
  const Page page{150, 200};
  HostSink reference;
  ASSERT_EQ(Print(page, c.bits, c.layout, 200, reference, c.halftone_type), QXOL_OK);
  for (int rows : {64, 13, 1}) {
    HostSink sink;
    ASSERT_EQ(Print(page, c.bits, c.layout, rows, sink, c.halftone_type), QXOL_OK);
    EXPECT_TRUE(sink.bytes == reference.bytes) << "bands of " << rows << " rows";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PipelineBands,
    ::testing::Values(
        BandCase{"b8_planar_ordered", Bits::k8, testing::Layout::kPlanar, kHalftoneOrdered},
        BandCase{"b8_interleaved_ordered", Bits::k8, testing::Layout::kInterleaved,
                 kHalftoneOrdered},
        BandCase{"b16_interleaved_ordered", Bits::k16, testing::Layout::kInterleaved,
                 kHalftoneOrdered},
        BandCase{"b8_planar_diffusion", Bits::k8, testing::Layout::kPlanar, kHalftoneDiffusion}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LibraryPipeline, RefusedSpoolSurfacesAsAFailure) {
  HostSink sink;
  sink.refuse = true;
  EXPECT_EQ(Print(Page{64, 64}, Bits::k8, testing::Layout::kInterleaved, 64, sink),
            QXOL_ERR_INTERNAL);
  EXPECT_TRUE(sink.bytes.empty());
}

TEST_F(LibraryPipeline, UnsupportedHalftoneTypeFailsTheFirstBand) {
  HostSink sink;
  EXPECT_EQ(Print(Page{64, 64}, Bits::k8, testing::Layout::kInterleaved, 64, sink, 9),
            QXOL_ERR_INTERNAL);
}

}  // namespace
}  // namespace dorva_ref
