// The whole band path through the exported functions, with a module that
// does nothing: 16-bit bands measure conversion plus the library's own work,
// 8-bit bands the per-band overhead alone (their pixels are never touched).
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "bench_support.h"
#include "qxol.h"

namespace tavik::bench {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kBandsPerPage = 1024;

// An instance on the null module, its job and page open.
class BandSession {
 public:
  BandSession(std::int32_t channels, bool planar, bool sixteen_bits) {
    std::string pattern = (fs::temp_directory_path() / "tavik-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    dir_ = pattern;
    const fs::path ini = dir_ / "tavik.ini";
    std::ofstream(ini) << "DV_MOD_HMM=" << TAVIK_BENCH_NULL_MODULE << "\n";
    if (QXOL_CreateInstance(&handle_, ini.string().c_str(), nullptr, nullptr) != QXOL_OK) {
      handle_ = nullptr;
      return;
    }
    const std::int32_t bytes = sixteen_bits ? 2 : 1;
    QXOL_BASE_INFO base{0, kPagePixels, kBandRows * kBandsPerPage, 0, nullptr, 0, nullptr};
    QXOL_IMAGE_INFO image{360,
                          360,
                          kPagePixels,
                          kBandRows * kBandsPerPage,
                          sixteen_bits ? -2 : 2,
                          0,
                          nullptr,
                          planar ? bytes : bytes * channels};
    QXOL_CONVERT_INFO convert{};
    convert.intent = 4;  // the intent every module supports
    ok_ = QXOL_StartJob(handle_) == QXOL_OK &&
          QXOL_StartPage(handle_, &base, 1, &image, 1, &convert) == QXOL_OK;

    auto* pixels = sixteen_bits ? reinterpret_cast<unsigned char*>(
                                      const_cast<std::uint16_t*>(BandSamples(channels).data()))
                                : const_cast<unsigned char*>(BandBytes(channels).data());
    const std::size_t plane_bytes = std::size_t{kPagePixels} * kBandRows * bytes;
    if (planar) {
      for (std::int32_t j = 0; j < channels; ++j) planes_.push_back(pixels + j * plane_bytes);
      data_.stride = kPagePixels * bytes;
    } else {
      planes_.push_back(pixels);
      data_.stride = kPagePixels * bytes * channels;
    }
    data_.planes = planes_.data();
  }
  ~BandSession() {
    if (handle_ != nullptr) {
      QXOL_EndPage(handle_, 0);
      QXOL_EndJob(handle_);
      QXOL_DeleteInstance(handle_);
    }
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }
  BandSession(const BandSession&) = delete;
  BandSession& operator=(const BandSession&) = delete;

  bool ok() const { return ok_; }
  std::int32_t Send() {
    const std::int32_t top = (band_++ % kBandsPerPage) * kBandRows;
    QXOL_BAND_INFO band{0, top, kPagePixels, top + kBandRows, -1, -1, -1, -1};
    return QXOL_BandOut2(handle_, 1, &band, 1, &data_, 0);
  }

 private:
  fs::path dir_;
  QXOL_HANDLE handle_ = nullptr;
  bool ok_ = false;
  std::vector<unsigned char*> planes_;
  QXOL_BAND_DATA data_{};
  std::int32_t band_ = 0;
};

void BandPath(benchmark::State& state, std::int32_t channels, bool planar, bool sixteen_bits) {
  BandSession session(channels, planar, sixteen_bits);
  if (!session.ok()) {
    state.SkipWithError("no instance on the null module");
    return;
  }
  for (auto _ : state) {
    if (session.Send() != QXOL_OK) {
      state.SkipWithError("band refused");
      return;
    }
  }
}

}  // namespace

void RegisterBandPathBenches() {
  for (bool sixteen_bits : {true, false}) {
    for (bool planar : {true, false}) {
      const std::int32_t c = 4;
      const std::string name = std::string("band/") + (sixteen_bits ? "16bit/" : "8bit/") +
                               (planar ? "planar/" : "interleaved/") + std::to_string(c) + "ch";
      BenchRow row{name, sixteen_bits ? Input16Bytes(c) : Input16Bytes(c) / 2,
                   sixteen_bits ? "memcpy/4ch" : "",
                   sixteen_bits ? "lcms2/null_cmyk16_to_cmyk8" : "", !sixteen_bits};
      AddBench(row, [c, planar, sixteen_bits](benchmark::State& s) {
        BandPath(s, c, planar, sixteen_bits);
      });
    }
  }
}

}  // namespace tavik::bench
