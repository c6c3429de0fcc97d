#include "pipeline/nch16to8.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <numeric>
#include <stdexcept>

#include "pipeline/nch16to8_lanes.h"

namespace tavik {
namespace {

struct JumpParams {
  std::uint32_t multiplier = 1;
  std::uint32_t increment = 0;
};

// The affine map of `steps` generator steps, by repeated squaring.
JumpParams Jump(std::uint64_t steps) {
  JumpParams total;
  std::uint32_t step_mul = kDitherMultiplier;
  std::uint32_t step_add = kDitherIncrement;
  while (steps != 0) {
    if (steps & 1u) {
      total.multiplier *= step_mul;
      total.increment = total.increment * step_mul + step_add;
    }
    step_add *= step_mul + 1u;
    step_mul *= step_mul;
    steps >>= 1;
  }
  return total;
}

std::atomic<int>& LevelSlot() {
  static std::atomic<int> level{static_cast<int>(DetectSimdLevel())};
  return level;
}

// Buffers are over-aligned so that vector stores never split cache lines.
constexpr std::align_val_t kBufferAlignment{64};

struct AlignedDelete {
  void operator()(unsigned char* p) const { ::operator delete[](p, kBufferAlignment); }
};

struct ConversionBuffer {
  std::unique_ptr<unsigned char[], AlignedDelete> data;
  std::size_t size = 0;
};

// Process-wide working storage of band conversion: it lives until the library
// is unloaded and is never shrunk, so steady-state bands allocate nothing.
class ConversionBuffers {
 public:
  const std::vector<unsigned char*>& Grow(std::size_t count, std::size_t bytes) {
    if (buffers_.size() < count) buffers_.resize(count);
    for (ConversionBuffer& b : buffers_) {
      if (b.size >= bytes) continue;
      std::unique_ptr<unsigned char[], AlignedDelete> grown(
          static_cast<unsigned char*>(::operator new[](bytes, kBufferAlignment)));
      std::memset(grown.get(), 0, bytes);
      b.data = std::move(grown);
      b.size = bytes;
    }
    addresses_.resize(buffers_.size());
    for (std::size_t i = 0; i < buffers_.size(); ++i) addresses_[i] = buffers_[i].data.get();
    return addresses_;
  }

 private:
  std::vector<ConversionBuffer> buffers_;
  std::vector<unsigned char*> addresses_;
};

ConversionBuffers& Buffers() {
  static ConversionBuffers buffers;
  return buffers;
}

}  // namespace

namespace lanes {

const LaneTable& TableFor(std::int32_t channels) {
  static const std::array<LaneTable, kMaxVectorChannels> tables = [] {
    std::array<LaneTable, kMaxVectorChannels> built;
    for (std::int32_t c = 1; c <= kMaxVectorChannels; ++c) {
      LaneTable& t = built[static_cast<std::size_t>(c - 1)];
      const auto channels_z = static_cast<std::size_t>(c);
      t.channels = c;
      t.block_samples = std::lcm(channels_z, kStepUnit);
      const JumpParams block = Jump(t.block_samples / channels_z);
      t.block_multiplier = block.multiplier;
      t.block_increment = block.increment;
      t.mul_lo.resize(t.block_samples);
      t.mul_hi.resize(t.block_samples);
      t.add_lo_biased.resize(t.block_samples);
      t.add_hi.resize(t.block_samples);
      JumpParams pixel;  // pixel 0: the identity
      for (std::size_t i = 0; i < t.block_samples; ++i) {
        if (i != 0 && i % channels_z == 0) {
          pixel.multiplier *= kDitherMultiplier;
          pixel.increment = pixel.increment * kDitherMultiplier + kDitherIncrement;
        }
        t.mul_lo[i] = static_cast<std::uint16_t>(pixel.multiplier & 0xFFFFu);
        t.mul_hi[i] = static_cast<std::uint16_t>(pixel.multiplier >> 16);
        t.add_lo_biased[i] = static_cast<std::uint16_t>((pixel.increment & 0xFFFFu) ^ 0x8000u);
        t.add_hi[i] = static_cast<std::uint16_t>(pixel.increment >> 16);
      }
      t.spread_samples = std::lcm(channels_z, std::size_t{32});
      t.spread_pixels = t.spread_samples / channels_z;
      for (std::size_t first = 0; first < t.spread_samples; first += 16) {
        const std::size_t first_pixel = first / channels_z;
        t.spread_first_pixel.push_back(static_cast<std::uint32_t>(first_pixel));
        for (std::size_t j = 0; j < 16; ++j) {
          // Both 128-bit halves see the same eight values; with two or more
          // channels sixteen samples never need more than eight pixels.
          const auto word = static_cast<std::uint8_t>(
              std::min<std::size_t>((first + j) / channels_z - first_pixel, 7));
          t.spread_shuffle.push_back(static_cast<std::uint8_t>(2 * word));
          t.spread_shuffle.push_back(static_cast<std::uint8_t>(2 * word + 1));
        }
      }
    }
    return built;
  }();
  return tables[static_cast<std::size_t>(channels - 1)];
}

}  // namespace lanes

std::uint32_t DitherJumpAhead(std::uint32_t state, std::uint64_t steps) {
  const JumpParams jump = Jump(steps);
  return state * jump.multiplier + jump.increment;
}

SimdLevel DetectSimdLevel() {
#if TAVIK_X86_SIMD
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return SimdLevel::kAvx2;
  if (__builtin_cpu_supports("sse2")) return SimdLevel::kSse2;
#endif
  return SimdLevel::kScalar;
}

SimdLevel ActiveSimdLevel() {
  return static_cast<SimdLevel>(LevelSlot().load(std::memory_order_relaxed));
}

bool SetSimdLevel(SimdLevel level) {
  if (level < SimdLevel::kScalar || level > DetectSimdLevel()) return false;
  LevelSlot().store(static_cast<int>(level), std::memory_order_relaxed);
  return true;
}

const char* SimdLevelName(SimdLevel level) {
  switch (level) {
    case SimdLevel::kScalar:
      return "scalar";
    case SimdLevel::kSse2:
      return "sse2";
    case SimdLevel::kAvx2:
      return "avx2";
  }
  return "unknown";
}

void Nch16to8::ConvertScalar(const unsigned char* source, unsigned char* destination,
                             std::int32_t pixels, std::int32_t rows, std::int32_t channels,
                             std::uint32_t& state) {
  if (pixels <= 0 || rows <= 0) return;
  std::uint32_t s = state;
  for (std::int32_t r = 0; r < rows; ++r) {
    for (std::int32_t p = 0; p < pixels; ++p) {
      const std::uint32_t d = s >> 24;
      for (std::int32_t c = 0; c < channels; ++c) {
        std::uint16_t sample;
        std::memcpy(&sample, source, sizeof sample);
        source += sizeof sample;
        const std::uint32_t v = sample;
        *destination++ = static_cast<unsigned char>(((v - (v >> 8)) + d) >> 8);
      }
      s = s * kDitherMultiplier + kDitherIncrement;
    }
  }
  state = s;
}

void Nch16to8::Convert(const unsigned char* source, unsigned char* destination, std::int32_t pixels,
                       std::int32_t rows, std::int32_t channels, std::uint32_t& state) {
  if (pixels <= 0 || rows <= 0) return;
  const std::uint64_t pixel_count =
      static_cast<std::uint64_t>(pixels) * static_cast<std::uint64_t>(rows);
  if (channels <= 0) {
    // No samples to write; the generator still steps once per pixel.
    state = DitherJumpAhead(state, pixel_count);
    return;
  }
  const SimdLevel level = ActiveSimdLevel();
  if (level == SimdLevel::kScalar || channels > lanes::kMaxVectorChannels) {
    ConvertScalar(source, destination, pixels, rows, channels, state);
    return;
  }
#if TAVIK_X86_SIMD
  const auto samples = static_cast<std::size_t>(pixel_count * static_cast<std::uint64_t>(channels));
  const lanes::LaneTable& table = lanes::TableFor(channels);
  if (level == SimdLevel::kAvx2) {
    lanes::ConvertAvx2(source, destination, samples, state, table);
  } else {
    lanes::ConvertSse2(source, destination, samples, state, table);
  }
  state = DitherJumpAhead(state, pixel_count);
#else
  ConvertScalar(source, destination, pixels, rows, channels, state);
#endif
}

const std::vector<unsigned char*>& ConvertBand(Nch16to8& converter, const QXOL_BAND_DATA& band,
                                               std::int32_t rows, std::int32_t channels,
                                               bool planar) {
  if (channels < 0 || (!planar && channels == 0)) {
    throw std::invalid_argument("band conversion: unknown channel count");
  }
  const std::int64_t bytes = std::int64_t{rows} * band.stride;
  if (rows < 0 || bytes < 0 || bytes > std::numeric_limits<std::int32_t>::max()) {
    throw std::length_error("band conversion: buffer size out of range");
  }
  const std::size_t plane_count = planar ? static_cast<std::size_t>(channels) : 1;
  const std::int32_t out_stride = band.stride / 2;
  if (rows > 0 && out_stride > 0) {
    if (band.planes == nullptr) throw std::invalid_argument("band conversion: no plane table");
    for (std::size_t j = 0; j < plane_count; ++j) {
      if (band.planes[j] == nullptr) throw std::invalid_argument("band conversion: null plane");
    }
  }

  const std::vector<unsigned char*>& buffers =
      Buffers().Grow(plane_count, static_cast<std::size_t>(bytes));
  if (rows == 0 || out_stride <= 0) return buffers;

  if (planar) {
    for (std::size_t j = 0; j < plane_count; ++j) {
      Nch16to8::Convert(band.planes[j], buffers[j], out_stride, rows, 1, converter.state);
    }
    return buffers;
  }
  const auto pixels =
      static_cast<std::int32_t>(std::int64_t{band.stride} / (2 * std::int64_t{channels}));
  if (band.stride % 2 == 0 && std::int64_t{pixels} * channels == out_stride) {
    // Rows are back to back in both buffers: one run covers the band.
    Nch16to8::Convert(band.planes[0], buffers[0], pixels, rows, channels, converter.state);
    return buffers;
  }
  for (std::int32_t r = 0; r < rows; ++r) {
    Nch16to8::Convert(band.planes[0] + std::int64_t{r} * band.stride,
                      buffers[0] + std::int64_t{r} * out_stride, pixels, 1, channels,
                      converter.state);
  }
  return buffers;
}

}  // namespace tavik
