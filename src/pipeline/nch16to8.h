// 16-bit to 8-bit sample conversion with the page's pseudo-random dither.
#pragma once

#include <cstdint>
#include <vector>

#include "qxol.h"

namespace tavik {

class Nch16to8 {
 public:
  virtual ~Nch16to8() = default;

  // Converts rows x pixels x channels 16-bit samples (host byte order, any
  // alignment) into as many bytes, rows back to back in both buffers. The
  // samples of one pixel share the dither value taken from the top 8 bits of
  // `state`; each pixel advances `state` by one step of the generator. Nothing
  // is done when `pixels` or `rows` is not positive. Uses the fastest
  // instruction set allowed (see SetSimdLevel); the output and the final state
  // are identical for every level. Long runs use process-wide scratch, so
  // conversions must not overlap (the band buffers already demand that).
  static void Convert(const unsigned char* source, unsigned char* destination, std::int32_t pixels,
                      std::int32_t rows, std::int32_t channels, std::uint32_t& state);

  // The plain per-pixel loop: the reference every faster level must match.
  static void ConvertScalar(const unsigned char* source, unsigned char* destination,
                            std::int32_t pixels, std::int32_t rows, std::int32_t channels,
                            std::uint32_t& state);

  // The dither state: 0 at creation and again at every page.
  std::uint32_t state = 0;
};

// Generator step: state = state * kDitherMultiplier + kDitherIncrement (mod 2^32).
inline constexpr std::uint32_t kDitherMultiplier = 48828125u;  // 5^11
inline constexpr std::uint32_t kDitherIncrement = 1u;

// The state `steps` generator steps after `state`, in logarithmic time.
std::uint32_t DitherJumpAhead(std::uint32_t state, std::uint64_t steps);

// Instruction sets the conversion can use, in increasing order.
enum class SimdLevel : int { kScalar = 0, kSse2 = 1, kAvx2 = 2 };

// The best level this build and this CPU offer.
SimdLevel DetectSimdLevel();
// The level Convert uses; starts at DetectSimdLevel().
SimdLevel ActiveSimdLevel();
// Pins Convert to `level` (tests and benchmarks compare levels this way).
// Returns false and changes nothing when the CPU or build lacks it.
bool SetSimdLevel(SimdLevel level);
const char* SimdLevelName(SimdLevel level);

// Converts one 16-bit band into the process-wide conversion buffers and
// returns the table of their addresses (one per buffer ever grown, in order;
// the first `channels` planes, or the first buffer for interleaved data, hold
// the band). Rows of the result are stride / 2 bytes apart. Buffers and table
// only grow, so steady-state bands allocate nothing; a later, larger band may
// move them. Throws std::length_error when rows x stride is negative or does
// not fit 32 bits, and std::invalid_argument for an unusable channel count or
// a missing plane; nothing is converted then.
const std::vector<unsigned char*>& ConvertBand(Nch16to8& converter, const QXOL_BAND_DATA& band,
                                               std::int32_t rows, std::int32_t channels,
                                               bool planar);

}  // namespace tavik
