// SSE2 and AVX2 kernels of the 16-to-8 conversion. Each function carries its
// own target attribute so the library needs no global instruction-set flags;
// the caller picks one after checking the CPU.
#include "pipeline/nch16to8_lanes.h"

#if TAVIK_X86_SIMD

#include <immintrin.h>

#include <algorithm>
#include <cstring>

#define TAVIK_TARGET_SSE2 __attribute__((target("sse2")))
#define TAVIK_TARGET_AVX2 __attribute__((target("avx2")))
#define TAVIK_ALWAYS_INLINE inline __attribute__((always_inline))

namespace tavik::lanes {
namespace {

// Top byte of A^p * s + c_p for eight lanes; lo and hi are the halves of s.
TAVIK_TARGET_SSE2 TAVIK_ALWAYS_INLINE __m128i Dither8(__m128i lo, __m128i hi, const LaneTable& t,
                                                      std::size_t i) {
  const __m128i mul_lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.mul_lo.data() + i));
  const __m128i mul_hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.mul_hi.data() + i));
  const __m128i add_lo_biased =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.add_lo_biased.data() + i));
  const __m128i add_hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.add_hi.data() + i));
  const __m128i prod_lo = _mm_mullo_epi16(lo, mul_lo);
  const __m128i prod_hi =
      _mm_add_epi16(_mm_add_epi16(_mm_mulhi_epu16(lo, mul_lo), _mm_mullo_epi16(hi, mul_lo)),
                    _mm_mullo_epi16(lo, mul_hi));
  // Biased sum of the low halves; the carry is all ones when it wrapped.
  const __m128i sum_lo_biased = _mm_add_epi16(prod_lo, add_lo_biased);
  const __m128i carry = _mm_cmpgt_epi16(add_lo_biased, sum_lo_biased);
  const __m128i sum_hi = _mm_sub_epi16(_mm_add_epi16(prod_hi, add_hi), carry);
  return _mm_srli_epi16(sum_hi, 8);
}

// ((s - (s >> 8)) + d) >> 8 stays within 16 bits, so no widening is needed.
TAVIK_TARGET_SSE2 TAVIK_ALWAYS_INLINE __m128i Scale8(__m128i s, __m128i d) {
  return _mm_srli_epi16(_mm_add_epi16(_mm_sub_epi16(s, _mm_srli_epi16(s, 8)), d), 8);
}

template <bool kStream>
TAVIK_TARGET_SSE2 TAVIK_ALWAYS_INLINE void Step16(const unsigned char* src, unsigned char* dst,
                                                  __m128i lo, __m128i hi, const LaneTable& t,
                                                  std::size_t i) {
  const __m128i s0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
  const __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
  const __m128i out0 = Scale8(s0, Dither8(lo, hi, t, i));
  const __m128i out1 = Scale8(s1, Dither8(lo, hi, t, i + 8));
  const __m128i packed = _mm_packus_epi16(out0, out1);
  if constexpr (kStream) {
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst), packed);
  } else {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), packed);
  }
}

// Top 16 bits of A^p * s + c_p for sixteen lanes.
TAVIK_TARGET_AVX2 TAVIK_ALWAYS_INLINE __m256i Top16(__m256i lo, __m256i hi, const LaneTable& t,
                                                    std::size_t i) {
  const __m256i mul_lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.mul_lo.data() + i));
  const __m256i mul_hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.mul_hi.data() + i));
  const __m256i add_lo_biased =
      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.add_lo_biased.data() + i));
  const __m256i add_hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.add_hi.data() + i));
  const __m256i prod_lo = _mm256_mullo_epi16(lo, mul_lo);
  const __m256i prod_hi = _mm256_add_epi16(
      _mm256_add_epi16(_mm256_mulhi_epu16(lo, mul_lo), _mm256_mullo_epi16(hi, mul_lo)),
      _mm256_mullo_epi16(lo, mul_hi));
  const __m256i sum_lo_biased = _mm256_add_epi16(prod_lo, add_lo_biased);
  const __m256i carry = _mm256_cmpgt_epi16(add_lo_biased, sum_lo_biased);
  return _mm256_sub_epi16(_mm256_add_epi16(prod_hi, add_hi), carry);
}

TAVIK_TARGET_AVX2 TAVIK_ALWAYS_INLINE __m256i Dither16(__m256i lo, __m256i hi, const LaneTable& t,
                                                       std::size_t i) {
  return _mm256_srli_epi16(Top16(lo, hi, t, i), 8);
}

TAVIK_TARGET_AVX2 TAVIK_ALWAYS_INLINE __m256i Scale16(__m256i s, __m256i d) {
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_sub_epi16(s, _mm256_srli_epi16(s, 8)), d), 8);
}

template <bool kStream>
TAVIK_TARGET_AVX2 TAVIK_ALWAYS_INLINE void StoreScaled(const unsigned char* src, unsigned char* dst,
                                                       __m256i d0, __m256i d1) {
  const __m256i s0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
  const __m256i s1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 32));
  // The pack works per 128-bit half; the permute restores sample order.
  const __m256i packed =
      _mm256_permute4x64_epi64(_mm256_packus_epi16(Scale16(s0, d0), Scale16(s1, d1)), 0xD8);
  if constexpr (kStream) {
    _mm256_stream_si256(reinterpret_cast<__m256i*>(dst), packed);
  } else {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), packed);
  }
}

template <bool kStream>
TAVIK_TARGET_AVX2 TAVIK_ALWAYS_INLINE void Step32(const unsigned char* src, unsigned char* dst,
                                                  __m256i lo, __m256i hi, const LaneTable& t,
                                                  std::size_t i) {
  StoreScaled<kStream>(src, dst, Dither16(lo, hi, t, i), Dither16(lo, hi, t, i + 16));
}

// Long runs bypass the cache with streaming stores: the output is larger than
// the cache anyway, and skipping the read-for-ownership of every destination
// line saves a third of the memory traffic. Short runs stay cached for the
// module, which reads them next.
constexpr std::size_t kStreamingMinBytes = std::size_t{1} << 20;

bool StreamOutput(const unsigned char* destination, std::size_t bytes, std::size_t alignment) {
  return bytes >= kStreamingMinBytes &&
         reinterpret_cast<std::uintptr_t>(destination) % alignment == 0;
}

template <bool kStream>
TAVIK_TARGET_SSE2 void RunSse2(const unsigned char* source, unsigned char* destination,
                               std::size_t samples, std::uint32_t state, const LaneTable& table) {
  constexpr std::size_t kStep = 16;
  std::size_t done = 0;
  while (done < samples) {
    const std::size_t block = std::min(table.block_samples, samples - done);
    const __m128i lo = _mm_set1_epi16(static_cast<short>(state & 0xFFFFu));
    const __m128i hi = _mm_set1_epi16(static_cast<short>(state >> 16));
    const unsigned char* src = source + 2 * done;
    unsigned char* dst = destination + done;
    std::size_t i = 0;
    for (; i + kStep <= block; i += kStep) {
      Step16<kStream>(src + 2 * i, dst + i, lo, hi, table, i);
    }
    if (i < block) {
      // Only the last block has a tail; run it through a padded copy.
      alignas(16) unsigned char in[2 * kStep] = {};
      alignas(16) unsigned char out[kStep];
      std::memcpy(in, src + 2 * i, 2 * (block - i));
      Step16<false>(in, out, lo, hi, table, i);
      std::memcpy(dst + i, out, block - i);
    }
    done += block;
    state = state * table.block_multiplier + table.block_increment;
  }
  if constexpr (kStream) _mm_sfence();
}
}  // namespace

TAVIK_TARGET_SSE2 void ConvertSse2(const unsigned char* source, unsigned char* destination,
                                   std::size_t samples, std::uint32_t state,
                                   const LaneTable& table) {
  if (StreamOutput(destination, samples, 16)) {
    RunSse2<true>(source, destination, samples, state, table);
  } else {
    RunSse2<false>(source, destination, samples, state, table);
  }
}

namespace {
template <bool kStream>
TAVIK_TARGET_AVX2 void RunAvx2(const unsigned char* source, unsigned char* destination,
                               std::size_t samples, std::uint32_t state, const LaneTable& table) {
  constexpr std::size_t kStep = 32;
  std::size_t done = 0;
  while (done < samples) {
    const std::size_t block = std::min(table.block_samples, samples - done);
    const __m256i lo = _mm256_set1_epi16(static_cast<short>(state & 0xFFFFu));
    const __m256i hi = _mm256_set1_epi16(static_cast<short>(state >> 16));
    const unsigned char* src = source + 2 * done;
    unsigned char* dst = destination + done;
    std::size_t i = 0;
    for (; i + kStep <= block; i += kStep) {
      Step32<kStream>(src + 2 * i, dst + i, lo, hi, table, i);
    }
    if (i < block) {
      alignas(32) unsigned char in[2 * kStep] = {};
      alignas(32) unsigned char out[kStep];
      std::memcpy(in, src + 2 * i, 2 * (block - i));
      Step32<false>(in, out, lo, hi, table, i);
      std::memcpy(dst + i, out, block - i);
    }
    done += block;
    state = state * table.block_multiplier + table.block_increment;
  }
  if constexpr (kStream) _mm_sfence();
}
// Long AVX2 runs compute one dither value per pixel rather than per sample,
// a chunk of pixels at a time, and then spread it over the samples.
//
// The low 16 bits of the generator return to their value every 65536 steps,
// so within a run the top half of the state at pixel p of a 64-pixel block
// with base state s is U(p, low half of s) + (A^p mod 2^16) * (s >> 16), and
// U repeats every 1024 blocks. The first 1024 blocks of a run fill a window
// with U; later blocks need one 16-bit multiply per pixel instead of four.
constexpr std::size_t kBlockPixels = 64;
constexpr std::size_t kWindowBlocks = 1024;
constexpr std::size_t kChunkPixels = 4096;

// Process-wide scratch of long runs.
alignas(64) std::uint16_t window_top[kWindowBlocks * kBlockPixels];
alignas(64) std::uint16_t chunk_dither[kChunkPixels + 32];

// The top halves of the states of the 64 pixels of block `block` of a run,
// whose base state is `state`.
TAVIK_TARGET_AVX2 TAVIK_ALWAYS_INLINE void BlockTop(std::uint32_t state, std::size_t block,
                                                    const LaneTable& pixel_table,
                                                    const __m256i (&mul_lo)[4], __m256i (&top)[4]) {
  const __m256i hi = _mm256_set1_epi16(static_cast<short>(state >> 16));
  std::uint16_t* window = window_top + (block % kWindowBlocks) * kBlockPixels;
  if (block < kWindowBlocks) {
    const __m256i lo = _mm256_set1_epi16(static_cast<short>(state & 0xFFFFu));
    for (int q = 0; q < 4; ++q) {
      top[q] = Top16(lo, hi, pixel_table, 16 * static_cast<std::size_t>(q));
      _mm256_store_si256(reinterpret_cast<__m256i*>(window + 16 * q),
                         _mm256_sub_epi16(top[q], _mm256_mullo_epi16(mul_lo[q], hi)));
    }
  } else {
    for (int q = 0; q < 4; ++q) {
      const __m256i u = _mm256_load_si256(reinterpret_cast<const __m256i*>(window + 16 * q));
      top[q] = _mm256_add_epi16(u, _mm256_mullo_epi16(mul_lo[q], hi));
    }
  }
}

// The dither of 16 samples: eight values from `dither` spread by `shuffle`.
TAVIK_TARGET_AVX2 TAVIK_ALWAYS_INLINE __m256i SpreadDither(const std::uint16_t* dither,
                                                           const std::uint8_t* shuffle) {
  const __m256i words =
      _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(dither)));
  return _mm256_shuffle_epi8(words, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(shuffle)));
}

template <bool kStream, bool kSingleChannel>
TAVIK_TARGET_AVX2 std::uint32_t RunAvx2Chunks(const unsigned char* source,
                                              unsigned char* destination, std::size_t chunks,
                                              std::uint32_t state, const LaneTable& table) {
  const LaneTable& pixel_table = TableFor(1);
  __m256i mul_lo[4];
  for (int q = 0; q < 4; ++q) {
    mul_lo[q] =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixel_table.mul_lo.data() + 16 * q));
  }
  const std::size_t chunk_samples = kChunkPixels * static_cast<std::size_t>(table.channels);
  std::size_t block = 0;
  for (std::size_t c = 0; c < chunks; ++c) {
    const unsigned char* src = source + 2 * c * chunk_samples;
    unsigned char* dst = destination + c * chunk_samples;
    for (std::size_t k = 0; k < kChunkPixels / kBlockPixels; ++k, ++block) {
      __m256i top[4];
      BlockTop(state, block, pixel_table, mul_lo, top);
      state = state * pixel_table.block_multiplier + pixel_table.block_increment;
      if constexpr (kSingleChannel) {
        // One sample per pixel: the dither goes straight to the samples.
        const std::size_t i = k * kBlockPixels;
        StoreScaled<kStream>(src + 2 * i, dst + i, _mm256_srli_epi16(top[0], 8),
                             _mm256_srli_epi16(top[1], 8));
        StoreScaled<kStream>(src + 2 * (i + 32), dst + i + 32, _mm256_srli_epi16(top[2], 8),
                             _mm256_srli_epi16(top[3], 8));
      } else {
        for (int q = 0; q < 4; ++q) {
          _mm256_store_si256(reinterpret_cast<__m256i*>(chunk_dither + k * kBlockPixels + 16 * q),
                             _mm256_srli_epi16(top[q], 8));
        }
      }
    }
    if constexpr (!kSingleChannel) {
      // Table fields in locals: the stores below could alias them otherwise.
      const std::size_t period = table.spread_samples;
      const std::size_t period_pixels = table.spread_pixels;
      const std::uint32_t* first_pixel = table.spread_first_pixel.data();
      const std::uint8_t* shuffle = table.spread_shuffle.data();
      const std::uint16_t* dither = chunk_dither;
      for (std::size_t p = 0; p < chunk_samples; p += period, dither += period_pixels) {
        for (std::size_t i = 0, g = 0; i < period; i += 32, g += 2) {
          const __m256i d0 = SpreadDither(dither + first_pixel[g], shuffle + 32 * g);
          const __m256i d1 = SpreadDither(dither + first_pixel[g + 1], shuffle + 32 * (g + 1));
          StoreScaled<kStream>(src + 2 * (p + i), dst + p + i, d0, d1);
        }
      }
    }
  }
  if constexpr (kStream) _mm_sfence();
  return state;
}

}  // namespace

TAVIK_TARGET_AVX2 void ConvertAvx2(const unsigned char* source, unsigned char* destination,
                                   std::size_t samples, std::uint32_t state,
                                   const LaneTable& table) {
  const bool stream = StreamOutput(destination, samples, 32);
  const std::size_t chunks = samples / static_cast<std::size_t>(table.channels) / kChunkPixels;
  if (chunks > 0) {
    const bool single = table.channels == 1;
    if (stream) {
      state = single ? RunAvx2Chunks<true, true>(source, destination, chunks, state, table)
                     : RunAvx2Chunks<true, false>(source, destination, chunks, state, table);
    } else {
      state = single ? RunAvx2Chunks<false, true>(source, destination, chunks, state, table)
                     : RunAvx2Chunks<false, false>(source, destination, chunks, state, table);
    }
    const std::size_t done = chunks * kChunkPixels * static_cast<std::size_t>(table.channels);
    source += 2 * done;
    destination += done;
    samples -= done;
  }
  if (samples == 0) return;
  if (StreamOutput(destination, samples, 32)) {
    RunAvx2<true>(source, destination, samples, state, table);
  } else {
    RunAvx2<false>(source, destination, samples, state, table);
  }
}

}  // namespace tavik::lanes

#endif  // TAVIK_X86_SIMD
