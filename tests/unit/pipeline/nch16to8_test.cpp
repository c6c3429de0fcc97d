#include "pipeline/nch16to8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavik {
namespace {

using Samples = std::vector<std::uint16_t>;
using Bytes = std::vector<unsigned char>;

Bytes ToLittleEndian(const Samples& samples) {
  Bytes out(samples.size() * 2);
  std::memcpy(out.data(), samples.data(), out.size());
  return out;
}

Samples RandomSamples(std::size_t n, std::uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> any(0, 65535);
  std::uniform_int_distribution<int> pick(0, 7);
  Samples out(n);
  // Mix in the values where rounding and the dither matter most.
  const std::uint16_t special[] = {0, 65535, 128, 257, 255, 256, 32768, 65280};
  for (auto& s : out) {
    s = pick(gen) == 0 ? special[static_cast<std::size_t>(any(gen)) % 8]
                       : static_cast<std::uint16_t>(any(gen));
  }
  return out;
}

// Restores the detected level after a test forced one.
class LevelGuard {
 public:
  LevelGuard() : saved_(ActiveSimdLevel()) {}
  ~LevelGuard() { SetSimdLevel(saved_); }

 private:
  SimdLevel saved_;
};

std::uint32_t Step(std::uint32_t s) {
  return s * 48828125u + 1u;
}

TEST(DitherSequence, FirstValuesFromStateZero) {
  const int expected[] = {0, 0, 2, 134, 34, 99, 90, 12};
  std::uint32_t s = 0;
  for (std::uint64_t n = 0; n < 8; ++n) {
    EXPECT_EQ(static_cast<int>(s >> 24), expected[n]) << n;
    EXPECT_EQ(DitherJumpAhead(0, n), s) << n;
    s = Step(s);
  }
}

TEST(DitherSequence, JumpAheadMatchesSteppingFromAnyState) {
  const std::uint32_t starts[] = {0, 1, 0x7FFFFFFFu, 0xFFFFFFFFu, 0xDEADBEEFu};
  for (std::uint32_t start : starts) {
    std::uint32_t s = start;
    for (std::uint64_t n = 0; n <= 1000; ++n) {
      ASSERT_EQ(DitherJumpAhead(start, n), s) << start << " " << n;
      s = Step(s);
    }
  }
}

std::vector<SimdLevel> OfferedLevels() {
  std::vector<SimdLevel> levels;
  for (SimdLevel l : {SimdLevel::kScalar, SimdLevel::kSse2, SimdLevel::kAvx2}) {
    if (l <= DetectSimdLevel()) levels.push_back(l);
  }
  return levels;
}

class EachLevel : public ::testing::TestWithParam<SimdLevel> {
 protected:
  void SetUp() override { ASSERT_TRUE(SetSimdLevel(GetParam())); }
  LevelGuard guard_;
};

// A sample of 0 or 65535 ignores the dither; 257 always gives 1; 128 gives 1
// exactly when the pixel's dither value is 128 or more.
TEST_P(EachLevel, SampleValuesUnderEveryDither) {
  constexpr int kPixels = 300;
  struct Case {
    std::uint16_t sample;
    int below_128;  // output when the dither value is below 128, -1: same as above
    int from_128;
  };
  const Case cases[] = {{0, 0, 0}, {65535, 255, 255}, {257, 1, 1}, {128, 0, 1}, {32768, 127, 128}};
  for (const Case& c : cases) {
    for (std::int32_t channels : {1, 3, 4}) {
      SCOPED_TRACE(::testing::Message() << c.sample << " x" << channels);
      const Bytes src = ToLittleEndian(Samples(kPixels * channels, c.sample));
      Bytes dst(src.size() / 2);
      std::uint32_t state = 0;
      Nch16to8::Convert(src.data(), dst.data(), kPixels, 1, channels, state);
      std::uint32_t s = 0;
      for (int p = 0; p < kPixels; ++p) {
        const int want = (s >> 24) < 128 ? c.below_128 : c.from_128;
        for (int ch = 0; ch < channels; ++ch) {
          ASSERT_EQ(dst[static_cast<std::size_t>(p * channels + ch)], want) << p;
        }
        s = Step(s);
      }
      EXPECT_EQ(state, s);
    }
  }
}

TEST_P(EachLevel, HalfScaleSamplesWithTheFirstDitherValues) {
  const Bytes src = ToLittleEndian({32768, 32768, 32768, 32768});
  Bytes dst(4);
  std::uint32_t state = 0;
  Nch16to8::Convert(src.data(), dst.data(), 4, 1, 1, state);
  EXPECT_EQ(dst, (Bytes{127, 127, 127, 128}));
}

TEST_P(EachLevel, NothingForEmptyOrNegativeSizes) {
  const Bytes src(64, 0xFF);
  const struct { std::int32_t pixels, rows; } cases[] = {{0, 1}, {1, 0}, {-1, 5}, {5, -1}, {0, 0}};
  for (const auto& c : cases) {
    Bytes dst(32, 0xAB);
    std::uint32_t state = 12345;
    Nch16to8::Convert(src.data(), dst.data(), c.pixels, c.rows, 1, state);
    EXPECT_EQ(dst, Bytes(32, 0xAB));
    EXPECT_EQ(state, 12345u);
  }
}

// Every level must reproduce the reference bit for bit: output, the bytes
// around it, and the final state.
TEST_P(EachLevel, MatchesTheReference) {
  const std::int32_t channel_counts[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,
                                         10, 11, 12, 13, 14, 15, 16, 17, 24};
  // Pixel counts that put the sample count at and around 8, 16, 32 and 64
  // samples for single-channel data, plus long irregular runs.
  const std::int32_t pixel_counts[] = {1,  2,  3,  5,  7,  8,   9,   15,  16,  17,   31,
                                       32, 33, 63, 64, 65, 127, 128, 129, 191, 1001, 4097};
  const std::uint32_t states[] = {0, 1, 0x80000000u, 0xFFFFFFFFu, 0x9E3779B9u};
  const std::size_t kGuard = 40;
  std::uint32_t seed = 1;
  for (std::int32_t channels : channel_counts) {
    for (std::int32_t pixels : pixel_counts) {
      for (std::int32_t rows : {1, 3}) {
        const std::size_t n = static_cast<std::size_t>(pixels * rows * channels);
        // One byte of offset makes every sample load unaligned.
        Bytes src(1 + 2 * n);
        const Bytes packed = ToLittleEndian(RandomSamples(n, seed++));
        std::memcpy(src.data() + 1, packed.data(), packed.size());
        for (std::uint32_t start : states) {
          SCOPED_TRACE(::testing::Message() << "channels " << channels << " pixels " << pixels
                                            << " rows " << rows << " state " << start);
          Bytes want(n + 2 * kGuard, 0x5A);
          Bytes got(n + 2 * kGuard, 0x5A);
          std::uint32_t want_state = start;
          std::uint32_t got_state = start;
          Nch16to8::ConvertScalar(src.data() + 1, want.data() + kGuard, pixels, rows, channels,
                                  want_state);
          Nch16to8::Convert(src.data() + 1, got.data() + kGuard, pixels, rows, channels, got_state);
          ASSERT_EQ(got, want);
          ASSERT_EQ(got_state, want_state);
        }
      }
    }
  }
}

// Long runs take other paths: per-pixel dither in chunks of 4096 pixels,
// reuse of the generator's low half every 65536 pixels, and streaming stores
// from a megabyte of output on. Check them across chunk and window edges, on
// aligned and unaligned destinations.
TEST_P(EachLevel, LongRunsMatchTheReference) {
  struct Case {
    std::int32_t channels, pixels;
    std::uint32_t state;
  };
  const Case cases[] = {
      {1, 4096, 0},
      {1, 4097, 0xFFFFFFFFu},
      {1, 3 * 65536 + 8191, 0x9E3779B9u},
      {2, 2 * 65536 + 4096 + 1, 1},
      {3, 65536 + 4096 + 5, 0xC0FFEEu},
      {4, 2 * 65536 + 63, 0x80000000u},
      {4, 8191, 0x12345678u},
      {5, 65536 + 4096 * 3 + 17, 7},
      {6, 65536 + 4096, 0xDEADBEEFu},
      {7, 65537, 0xFFFFFFFFu},
      {8, 65536 + 100, 3},
      {12, 65536 + 4099, 0x55555555u},
      {16, 65536 + 4100, 0xAAAAAAAAu},  // over a megabyte of output
  };
  for (const Case& c : cases) {
    const std::size_t n = static_cast<std::size_t>(c.pixels) * static_cast<std::size_t>(c.channels);
    const Bytes src = ToLittleEndian(RandomSamples(n, c.state ^ 99u));
    Bytes want(n);
    std::uint32_t want_state = c.state;
    Nch16to8::ConvertScalar(src.data(), want.data(), c.pixels, 1, c.channels, want_state);
    Bytes storage(n + 128, 0x5A);
    const auto misalignment = reinterpret_cast<std::uintptr_t>(storage.data()) % 64;
    unsigned char* aligned = storage.data() + (64 - misalignment) % 64;
    for (unsigned char* dst : {aligned, aligned + 1}) {
      SCOPED_TRACE(::testing::Message() << "channels " << c.channels << " pixels " << c.pixels
                                        << " offset " << (dst - aligned));
      std::fill(storage.begin(), storage.end(), 0x5A);
      std::uint32_t state = c.state;
      Nch16to8::Convert(src.data(), dst, c.pixels, 1, c.channels, state);
      ASSERT_TRUE(std::equal(dst, dst + n, want.begin()));
      EXPECT_EQ(dst[n], 0x5A);
      EXPECT_EQ(state, want_state);
    }
  }
}

TEST_P(EachLevel, ZeroChannelsStillStepsThePixels) {
  Bytes dst(8, 0xAB);
  std::uint32_t state = 7;
  std::uint32_t want = 7;
  Nch16to8::ConvertScalar(nullptr, dst.data(), 5, 2, 0, want);
  Nch16to8::Convert(nullptr, dst.data(), 5, 2, 0, state);
  EXPECT_EQ(state, want);
  EXPECT_EQ(state, DitherJumpAhead(7, 10));
  EXPECT_EQ(dst, Bytes(8, 0xAB));
}

INSTANTIATE_TEST_SUITE_P(Levels, EachLevel, ::testing::ValuesIn(OfferedLevels()),
                         [](const auto& info) { return std::string(SimdLevelName(info.param)); });

TEST(SimdLevels, ForcingAnAbsentLevelChangesNothing) {
  LevelGuard guard;
  const SimdLevel before = ActiveSimdLevel();
  if (DetectSimdLevel() < SimdLevel::kAvx2) {
    EXPECT_FALSE(SetSimdLevel(SimdLevel::kAvx2));
    EXPECT_EQ(ActiveSimdLevel(), before);
  }
  EXPECT_FALSE(SetSimdLevel(static_cast<SimdLevel>(99)));
  EXPECT_EQ(ActiveSimdLevel(), before);
  EXPECT_TRUE(SetSimdLevel(SimdLevel::kScalar));
  EXPECT_EQ(ActiveSimdLevel(), SimdLevel::kScalar);
}

// ---- band conversion into the shared buffers -------------------------------

struct Band {
  std::vector<Bytes> planes;
  std::vector<unsigned char*> table;
  QXOL_BAND_DATA data{};

  Band(std::size_t plane_count, std::int32_t rows, std::int32_t stride, std::uint32_t seed) {
    for (std::size_t j = 0; j < plane_count; ++j) {
      const Samples s = RandomSamples(static_cast<std::size_t>(rows * stride), seed + j);
      planes.emplace_back(s.size());
      // Only the first rows * stride bytes form the band; random bytes are fine.
      for (std::size_t i = 0; i < s.size(); ++i)
        planes.back()[i] = static_cast<unsigned char>(s[i]);
    }
    for (Bytes& p : planes) table.push_back(p.data());
    data.planes = table.data();
    data.stride = stride;
  }
};

Bytes Out(const std::vector<unsigned char*>& buffers, std::size_t j, std::size_t n) {
  return Bytes(buffers.at(j), buffers.at(j) + n);
}

TEST(ConvertBand, PlanarRunsTheSequencePlaneAfterPlane) {
  LevelGuard guard;
  for (SimdLevel level : OfferedLevels()) {
    ASSERT_TRUE(SetSimdLevel(level));
    for (std::int32_t stride : {2, 34, 130, 2002}) {
      SCOPED_TRACE(::testing::Message() << SimdLevelName(level) << " stride " << stride);
      const std::int32_t rows = 5;
      const std::size_t out_bytes = static_cast<std::size_t>(rows * (stride / 2));
      Band band(3, rows, stride, 10);
      Nch16to8 converter;
      converter.state = 99;
      const auto& buffers = ConvertBand(converter, band.data, rows, 3, true);
      ASSERT_GE(buffers.size(), 3u);

      std::uint32_t s = 99;
      for (std::size_t j = 0; j < 3; ++j) {
        Bytes want(out_bytes);
        Nch16to8::ConvertScalar(band.planes[j].data(), want.data(), stride / 2, rows, 1, s);
        EXPECT_EQ(Out(buffers, j, out_bytes), want) << "plane " << j;
      }
      EXPECT_EQ(converter.state, s);
    }
  }
}

TEST(ConvertBand, StartOfAPlanarPage) {
  const Bytes plane = ToLittleEndian({32768, 32768, 32768, 32768});
  unsigned char* table[] = {const_cast<unsigned char*>(plane.data())};
  QXOL_BAND_DATA data{table, 8, 0};
  Nch16to8 converter;
  const auto& buffers = ConvertBand(converter, data, 1, 1, true);
  EXPECT_EQ(Out(buffers, 0, 4), (Bytes{127, 127, 127, 128}));
}

TEST(ConvertBand, InterleavedSharesOneDitherPerPixel) {
  LevelGuard guard;
  for (SimdLevel level : OfferedLevels()) {
    ASSERT_TRUE(SetSimdLevel(level));
    for (std::int32_t channels : {1, 3, 4, 6, 16}) {
      SCOPED_TRACE(::testing::Message() << SimdLevelName(level) << " channels " << channels);
      const std::int32_t pixels = 70;
      const std::int32_t rows = 3;
      const std::int32_t stride = pixels * channels * 2;
      const Bytes src =
          ToLittleEndian(Samples(static_cast<std::size_t>(rows * pixels * channels), 128));
      unsigned char* table[] = {const_cast<unsigned char*>(src.data())};
      QXOL_BAND_DATA data{table, stride, 0};
      Nch16to8 converter;
      const auto& buffers = ConvertBand(converter, data, rows, channels, false);
      std::uint32_t s = 0;
      for (std::int32_t p = 0; p < rows * pixels; ++p) {
        for (std::int32_t c = 0; c < channels; ++c) {
          ASSERT_EQ(buffers[0][p * channels + c], (s >> 24) >= 128 ? 1 : 0) << p;
        }
        s = Step(s);
      }
      EXPECT_EQ(converter.state, s);
    }
  }
}

// A row longer than its whole pixels (or an odd stride) leaves the extra
// samples unconverted; rows stay stride bytes apart in the source and
// stride / 2 bytes apart in the result.
TEST(ConvertBand, InterleavedRowsWithSpareSamples) {
  LevelGuard guard;
  struct Case {
    std::int32_t channels, stride;
  };
  const Case cases[] = {
      {4, 4 * 2 * 9 + 2}, {4, 4 * 2 * 9 + 7}, {3, 3 * 2 * 40 + 5}, {1, 33}, {16, 16 * 2 * 3 + 30}};
  for (SimdLevel level : OfferedLevels()) {
    ASSERT_TRUE(SetSimdLevel(level));
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message()
                   << SimdLevelName(level) << " channels " << c.channels << " stride " << c.stride);
      const std::int32_t rows = 4;
      const std::int32_t pixels = c.stride / (2 * c.channels);
      const std::int32_t out_stride = c.stride / 2;
      Band band(1, rows, c.stride, 77);
      Nch16to8 converter;
      converter.state = 0xABCDEF01u;
      // Size the buffers with a first conversion, then poison what the band
      // must not write; a band of the same size keeps the buffers in place.
      const auto& before = ConvertBand(converter, band.data, rows, c.channels, false);
      std::memset(before[0], 0xEE, static_cast<std::size_t>(rows * c.stride));
      converter.state = 0xABCDEF01u;
      const auto& buffers = ConvertBand(converter, band.data, rows, c.channels, false);

      std::uint32_t s = 0xABCDEF01u;
      for (std::int32_t r = 0; r < rows; ++r) {
        Bytes want(static_cast<std::size_t>(pixels * c.channels));
        Nch16to8::ConvertScalar(band.planes[0].data() + r * c.stride, want.data(), pixels, 1,
                                c.channels, s);
        const unsigned char* row = buffers[0] + r * out_stride;
        EXPECT_EQ(Bytes(row, row + want.size()), want) << "row " << r;
        for (std::int32_t i = pixels * c.channels; i < out_stride; ++i) {
          EXPECT_EQ(row[i], 0xEE) << "row " << r << " byte " << i;
        }
      }
      EXPECT_EQ(converter.state, s);
    }
  }
}

TEST(ConvertBand, InterleavedStateCarriesAcrossBands) {
  const std::int32_t channels = 4;
  const std::int32_t stride = 37 * channels * 2;
  Band band(1, 2, stride, 5);
  const std::size_t row_out = static_cast<std::size_t>(stride / 2);

  Nch16to8 whole;
  const Bytes one_band = Out(ConvertBand(whole, band.data, 2, channels, false), 0, 2 * row_out);

  Nch16to8 split;
  Bytes two_bands = Out(ConvertBand(split, band.data, 1, channels, false), 0, row_out);
  unsigned char* second_row[] = {band.planes[0].data() + stride};
  QXOL_BAND_DATA second{second_row, stride, 0};
  const Bytes tail = Out(ConvertBand(split, second, 1, channels, false), 0, row_out);
  two_bands.insert(two_bands.end(), tail.begin(), tail.end());

  EXPECT_EQ(one_band, two_bands);
  EXPECT_EQ(whole.state, split.state);
}

TEST(ConvertBand, BuffersAndTableOnlyGrow) {
  Band small(2, 2, 16, 1);
  Nch16to8 converter;
  const std::size_t planes_before = ConvertBand(converter, small.data, 2, 2, true).size();
  ASSERT_GE(planes_before, 2u);

  // A larger band: whatever the addresses now are, they hold its data.
  Band large(5, 64, 4096, 2);
  const auto& grown = ConvertBand(converter, large.data, 64, 5, true);
  ASSERT_GE(grown.size(), 5u);
  std::uint32_t s = 0;
  Nch16to8::ConvertScalar(small.planes[0].data(), Bytes(16).data(), 8, 2, 1, s);
  Nch16to8::ConvertScalar(small.planes[1].data(), Bytes(16).data(), 8, 2, 1, s);
  for (std::size_t j = 0; j < 5; ++j) {
    Bytes want(64 * 2048);
    Nch16to8::ConvertScalar(large.planes[j].data(), want.data(), 2048, 64, 1, s);
    EXPECT_EQ(Out(grown, j, want.size()), want) << j;
  }

  // A smaller band afterwards keeps every buffer: the table does not shrink.
  const auto& after = ConvertBand(converter, small.data, 2, 1, false);
  EXPECT_GE(after.size(), 5u);
  for (unsigned char* p : after) EXPECT_NE(p, nullptr);
}

TEST(ConvertBand, RefusesWhatCannotBeConverted) {
  Band band(2, 2, 16, 3);
  unsigned char* one_null[] = {band.planes[0].data(), nullptr};
  unsigned char** planes = band.table.data();
  struct Case {
    const char* label;
    QXOL_BAND_DATA data;
    std::int32_t rows, channels;
    bool planar;
    bool length_error;  // otherwise invalid_argument
  };
  const Case cases[] = {
      {"negative rows", {planes, 16, 0}, -1, 2, true, true},
      {"negative stride", {planes, -16, 0}, 2, 2, true, true},
      {"rows x stride wraps to zero", {planes, 65536, 0}, 65536, 2, true, true},
      {"rows x stride beyond 32 bits", {planes, 65536, 0}, 1 << 20, 2, false, true},
      {"no plane table", {nullptr, 16, 0}, 2, 2, true, false},
      {"a null plane", {one_null, 16, 0}, 2, 2, true, false},
      {"interleaved without channels", {planes, 16, 0}, 2, 0, false, false},
      {"negative channel count", {planes, 16, 0}, 2, -1, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Nch16to8 converter;
    converter.state = 42;
    if (c.length_error) {
      EXPECT_THROW(ConvertBand(converter, c.data, c.rows, c.channels, c.planar), std::length_error);
    } else {
      EXPECT_THROW(ConvertBand(converter, c.data, c.rows, c.channels, c.planar),
                   std::invalid_argument);
    }
    EXPECT_EQ(converter.state, 42u);
  }
}

TEST(ConvertBand, EmptyBandConvertsNothing) {
  QXOL_BAND_DATA data{nullptr, 64, 0};
  Nch16to8 converter;
  converter.state = 5;
  EXPECT_NO_THROW(ConvertBand(converter, data, 0, 4, true));
  EXPECT_EQ(converter.state, 5u);
}

}  // namespace
}  // namespace tavik
