// Shared pieces of the band path benchmarks: the page geometry, cached input,
// and the registry from which the summary table is printed.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tavik::bench {

// One band of a wide page: 16,384 pixels by 256 rows.
inline constexpr std::int32_t kPagePixels = 16384;
inline constexpr std::int32_t kBandRows = 256;
inline constexpr std::int32_t kChannelCounts[] = {1, 3, 4, 6};

// 16-bit samples of one band with `channels` samples per pixel: the same bytes
// serve as `channels` consecutive planes or as one interleaved buffer.
const std::vector<std::uint16_t>& BandSamples(std::int32_t channels);
// 8-bit samples of the same shape.
const std::vector<unsigned char>& BandBytes(std::int32_t channels);

inline std::int64_t Input16Bytes(std::int32_t channels) {
  return std::int64_t{kPagePixels} * kBandRows * channels * 2;
}

struct BenchRow {
  std::string name;
  std::int64_t input_bytes = 0;    // read per iteration
  std::string memcpy_peer;         // row with the same input bytes, or empty
  std::string lcms2_peer;          // row over the same pixels, or empty
  bool per_band_overhead = false;  // report nanoseconds per call instead
};

// Registers a benchmark that the summary table lists in registration order.
void AddBench(const BenchRow& row, std::function<void(benchmark::State&)> body);

// Each benchmark source registers its rows here.
void RegisterConversionBenches();
void RegisterBandPathBenches();

}  // namespace tavik::bench
