// The 16-to-8 conversion alone at every instruction-set level, against memcpy
// of the same input bytes and lcms2's null transform over the same pixels.
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "pipeline/nch16to8.h"
#include "qxol.h"

#ifdef TAVIK_BENCH_LCMS2
#include <lcms2.h>
#endif

namespace tavik::bench {
namespace {

std::string MemcpyName(std::int32_t channels) {
  return "memcpy/" + std::to_string(channels) + "ch";
}

constexpr const char* kLcms2Name = "lcms2/null_cmyk16_to_cmyk8";

void Memcpy(benchmark::State& state, std::int32_t channels) {
  const auto& samples = BandSamples(channels);
  std::vector<std::uint16_t> copy(samples.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), samples.data(), samples.size() * 2);
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
}

void Convert(benchmark::State& state, std::int32_t channels, bool planar, SimdLevel level) {
  const SimdLevel saved = ActiveSimdLevel();
  if (!SetSimdLevel(level)) {
    state.SkipWithError("level not offered by this CPU");
    return;
  }
  auto* bytes =
      reinterpret_cast<unsigned char*>(const_cast<std::uint16_t*>(BandSamples(channels).data()));
  std::vector<unsigned char*> planes;
  QXOL_BAND_DATA band{};
  if (planar) {
    const std::size_t plane_bytes = std::size_t{kPagePixels} * kBandRows * 2;
    for (std::int32_t j = 0; j < channels; ++j) planes.push_back(bytes + j * plane_bytes);
    band.stride = kPagePixels * 2;
  } else {
    planes.push_back(bytes);
    band.stride = kPagePixels * channels * 2;
  }
  band.planes = planes.data();
  Nch16to8 converter;
  for (auto _ : state) {
    const auto& out = ConvertBand(converter, band, kBandRows, channels, planar);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  SetSimdLevel(saved);
}

#ifdef TAVIK_BENCH_LCMS2
void Lcms2(benchmark::State& state) {
  const auto& samples = BandSamples(4);
  std::vector<unsigned char> out(samples.size());
  cmsHTRANSFORM transform = cmsCreateTransform(nullptr, TYPE_CMYK_16, nullptr, TYPE_CMYK_8,
                                               INTENT_PERCEPTUAL, cmsFLAGS_NULLTRANSFORM);
  if (transform == nullptr) {
    state.SkipWithError("cmsCreateTransform failed");
    return;
  }
  const auto pixels = static_cast<cmsUInt32Number>(std::int64_t{kPagePixels} * kBandRows);
  for (auto _ : state) {
    cmsDoTransform(transform, samples.data(), out.data(), pixels);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  cmsDeleteTransform(transform);
}
#endif

}  // namespace

void RegisterConversionBenches() {
  for (std::int32_t c : kChannelCounts) {
    AddBench({MemcpyName(c), Input16Bytes(c), "", ""}, [c](benchmark::State& s) { Memcpy(s, c); });
  }
#ifdef TAVIK_BENCH_LCMS2
  AddBench({kLcms2Name, Input16Bytes(4), MemcpyName(4), ""}, Lcms2);
#endif
  for (bool planar : {true, false}) {
    for (std::int32_t c : kChannelCounts) {
      for (SimdLevel level : {SimdLevel::kScalar, SimdLevel::kSse2, SimdLevel::kAvx2}) {
        if (level > DetectSimdLevel()) continue;
        const std::string name = std::string("convert/") + (planar ? "planar/" : "interleaved/") +
                                 std::to_string(c) + "ch/" + SimdLevelName(level);
        AddBench({name, Input16Bytes(c), MemcpyName(c), c == 4 ? kLcms2Name : ""},
                 [c, planar, level](benchmark::State& s) { Convert(s, c, planar, level); });
      }
    }
  }
}

}  // namespace tavik::bench
