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

TAVIK_TARGET_AVX2 TAVIK_ALWAYS_INLINE __m256i Dither16(__m256i lo, __m256i hi, const LaneTable& t,
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
  const __m256i sum_hi = _mm256_sub_epi16(_mm256_add_epi16(prod_hi, add_hi), carry);
  return _mm256_srli_epi16(sum_hi, 8);
}

TAVIK_TARGET_AVX2 TAVIK_ALWAYS_INLINE __m256i Scale16(__m256i s, __m256i d) {
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_sub_epi16(s, _mm256_srli_epi16(s, 8)), d), 8);
}

template <bool kStream>
TAVIK_TARGET_AVX2 TAVIK_ALWAYS_INLINE void Step32(const unsigned char* src, unsigned char* dst,
                                                  __m256i lo, __m256i hi, const LaneTable& t,
                                                  std::size_t i) {
  const __m256i s0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
  const __m256i s1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 32));
  const __m256i out0 = Scale16(s0, Dither16(lo, hi, t, i));
  const __m256i out1 = Scale16(s1, Dither16(lo, hi, t, i + 16));
  // The pack works per 128-bit half; the permute restores sample order.
  const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(out0, out1), 0xD8);
  if constexpr (kStream) {
    _mm256_stream_si256(reinterpret_cast<__m256i*>(dst), packed);
  } else {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), packed);
  }
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
}  // namespace

TAVIK_TARGET_AVX2 void ConvertAvx2(const unsigned char* source, unsigned char* destination,
                                   std::size_t samples, std::uint32_t state,
                                   const LaneTable& table) {
  if (StreamOutput(destination, samples, 32)) {
    RunAvx2<true>(source, destination, samples, state, table);
  } else {
    RunAvx2<false>(source, destination, samples, state, table);
  }
}

}  // namespace tavik::lanes

#endif  // TAVIK_X86_SIMD
