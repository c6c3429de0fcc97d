// Jump-ahead tables and vector kernels behind Nch16to8::Convert.
//
// The dither state of pixel p of a run that starts in state s is
// A^p * s + c_p (mod 2^32). Splitting A^p and c_p into 16-bit halves lets each
// 16-bit vector lane compute the top byte of its own state from the run's
// base state with 16-bit multiplies only, so lanes advance independently and
// the serial dependency is one scalar step per block of samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define TAVIK_X86_SIMD 1
#else
#define TAVIK_X86_SIMD 0
#endif

namespace tavik::lanes {

// Samples per block: a multiple of every kernel's step (16 and 32) and of the
// channel count, so each block starts on a pixel and on a vector boundary.
inline constexpr std::size_t kStepUnit = 64;
inline constexpr std::int32_t kMaxVectorChannels = 16;

struct LaneTable {
  std::int32_t channels = 0;
  std::size_t block_samples = 0;       // lcm(channels, kStepUnit)
  std::uint32_t block_multiplier = 0;  // A^(block pixels)
  std::uint32_t block_increment = 0;   // c_(block pixels)
  // Per sample i of a block, for pixel p = i / channels: A^p and c_p split in
  // halves. The low half of c_p is stored with its top bit flipped so that a
  // signed compare detects the unsigned carry.
  std::vector<std::uint16_t> mul_lo, mul_hi, add_lo_biased, add_hi;

  // Spreading one 16-bit dither value per pixel over the pixel's samples, in
  // periods of lcm(channels, 32) samples: for each group of 16 samples of a
  // period, the first one's pixel (counted from the period's first pixel) and
  // a shuffle of eight values from there that gives each 16-bit lane its
  // pixel's value (two or more channels only).
  std::size_t spread_samples = 0;
  std::size_t spread_pixels = 0;
  std::vector<std::uint32_t> spread_first_pixel;  // spread_samples / 16 entries
  std::vector<std::uint8_t> spread_shuffle;       // 32 bytes per entry
};

// The table for 1..kMaxVectorChannels channels, built once.
const LaneTable& TableFor(std::int32_t channels);

#if TAVIK_X86_SIMD
// Convert `samples` samples (a whole number of pixels) starting in `state`.
// The caller advances the state itself. Only call the level the CPU supports.
// Long AVX2 runs use process-wide scratch: calls must not overlap.
void ConvertSse2(const unsigned char* source, unsigned char* destination, std::size_t samples,
                 std::uint32_t state, const LaneTable& table);
void ConvertAvx2(const unsigned char* source, unsigned char* destination, std::size_t samples,
                 std::uint32_t state, const LaneTable& table);
#endif

}  // namespace tavik::lanes
