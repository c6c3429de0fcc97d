#include "halftone.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

namespace dorva_ref {
namespace {

TEST(ThresholdMatrix, RanksAreAPermutationForEverySize) {
  for (int size : {4, 8, 16, 64}) {
    SCOPED_TRACE(size);
    const ThresholdMatrix m(size, 1234u);
    std::set<int> seen(m.ranks().begin(), m.ranks().end());
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(size * size));
    EXPECT_EQ(*seen.begin(), 0);
    EXPECT_EQ(*seen.rbegin(), size * size - 1);
  }
}

// Over one tile, amount v sets exactly ceil(v * cells / 255) dots.
TEST(ThresholdMatrix, OneTileGivesTheExactToneForEveryAmount) {
  const ThresholdMatrix& m = ThresholdMatrix::Default();
  const int s = m.size();
  const int cells = s * s;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(s));
  std::vector<std::uint8_t> bits(PackedRowBytes(s));
  for (int v = 0; v <= 255; ++v) {
    std::fill(row.begin(), row.end(), static_cast<std::uint8_t>(v));
    std::int64_t dots = 0;
    for (int y = 0; y < s; ++y) dots += DitherRowOrdered(row.data(), s, y, m, {0, 0}, bits.data());
    EXPECT_EQ(dots, (static_cast<std::int64_t>(v) * cells + 254) / 255) << "amount " << v;
  }
}

// Blue noise spreads sparse dots apart; white noise would put many side by side.
TEST(ThresholdMatrix, FirstDotsHaveNoNeighbours) {
  const ThresholdMatrix& m = ThresholdMatrix::Default();
  const int s = m.size();
  const int first = s * s / 16;
  std::vector<bool> on(static_cast<std::size_t>(s * s), false);
  for (int i = 0; i < s * s; ++i)
    on[static_cast<std::size_t>(i)] = m.ranks()[static_cast<std::size_t>(i)] < first;
  int touching = 0;
  for (int y = 0; y < s; ++y) {
    for (int x = 0; x < s; ++x) {
      if (!on[static_cast<std::size_t>(y * s + x)]) continue;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          if (dx == 0 && dy == 0) continue;
          const int nx = (x + dx + s) % s;
          const int ny = (y + dy + s) % s;
          if (on[static_cast<std::size_t>(ny * s + nx)]) ++touching;
        }
    }
  }
  EXPECT_EQ(touching, 0);
}

TEST(DitherRowOrdered, PacksMostSignificantBitFirstAndClearsPadding) {
  const ThresholdMatrix& m = ThresholdMatrix::Default();
  const std::vector<std::uint8_t> full(11, 255);
  std::vector<std::uint8_t> bits(2, 0xAA);
  EXPECT_EQ(DitherRowOrdered(full.data(), 11, 0, m, {0, 0}, bits.data()), 11);
  EXPECT_EQ(bits[0], 0xFF);
  EXPECT_EQ(bits[1], 0xE0);
  const std::vector<std::uint8_t> empty(11, 0);
  EXPECT_EQ(DitherRowOrdered(empty.data(), 11, 5, m, {3, 7}, bits.data()), 0);
  EXPECT_EQ(bits[0], 0);
  EXPECT_EQ(bits[1], 0);
}

TEST(DitherRowOrdered, InkOffsetsKeepInksOffEachOther) {
  const ThresholdMatrix& m = ThresholdMatrix::Default();
  const int s = m.size();
  // At a quarter tone two inks on the same matrix would coincide entirely.
  std::vector<std::uint8_t> row(static_cast<std::size_t>(s), 64);
  std::vector<std::uint8_t> a(PackedRowBytes(s)), b(PackedRowBytes(s));
  std::int64_t both = 0, dots_a = 0;
  for (int y = 0; y < s; ++y) {
    dots_a += DitherRowOrdered(row.data(), s, y, m, InkMatrixOffset(m, 0), a.data());
    DitherRowOrdered(row.data(), s, y, m, InkMatrixOffset(m, 1), b.data());
    for (std::size_t i = 0; i < a.size(); ++i) both += __builtin_popcount(a[i] & b[i]);
  }
  EXPECT_LT(both, dots_a / 2);
}

struct DiffusionCase {
  int amount;
};

class ErrorDiffusionTone : public ::testing::TestWithParam<DiffusionCase> {};

TEST_P(ErrorDiffusionTone, CoverageMatchesTheAmount) {
  const int width = 200, height = 200;
  ErrorDiffuser ed(width);
  std::vector<std::uint8_t> row(width, static_cast<std::uint8_t>(GetParam().amount));
  std::vector<std::uint8_t> bits(PackedRowBytes(width));
  std::int64_t dots = 0;
  for (int y = 0; y < height; ++y) dots += ed.Row(row.data(), y, bits.data());
  const double coverage = static_cast<double>(dots) / (width * height);
  EXPECT_NEAR(coverage, GetParam().amount / 255.0, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Amounts, ErrorDiffusionTone,
                         ::testing::Values(DiffusionCase{0}, DiffusionCase{1}, DiffusionCase{32},
                                           DiffusionCase{128}, DiffusionCase{200},
                                           DiffusionCase{254}, DiffusionCase{255}));

TEST(ErrorDiffuser, ExtremesPrintNothingAndEverything) {
  const int width = 37;
  ErrorDiffuser ed(width);
  std::vector<std::uint8_t> bits(PackedRowBytes(width));
  const std::vector<std::uint8_t> zero(width, 0), full(width, 255);
  for (int y = 0; y < 5; ++y) EXPECT_EQ(ed.Row(zero.data(), y, bits.data()), 0);
  for (int y = 5; y < 10; ++y) EXPECT_EQ(ed.Row(full.data(), y, bits.data()), width);
  EXPECT_EQ(bits.back() & 0x07, 0);  // padding bits stay clear
}

// Serpentine: a lone mid-grey row is scanned from the right on odd rows, so
// its first dot lands at the other end than on even rows.
TEST(ErrorDiffuser, OddRowsRunRightToLeft) {
  const int width = 16;
  const std::vector<std::uint8_t> row(width, 128);
  std::vector<std::uint8_t> even(PackedRowBytes(width)), odd(PackedRowBytes(width));
  ErrorDiffuser a(width), b(width);
  a.Row(row.data(), 0, even.data());
  b.Row(row.data(), 1, odd.data());
  EXPECT_NE(even[0] & 0x80, 0);  // first pixel scanned is set
  EXPECT_NE(odd[1] & 0x01, 0);
  EXPECT_EQ(odd[0] & 0x80, 0);
}

struct CurveCase {
  const char* name;
  std::int32_t gamma;
  std::int32_t ratio;
  int in;
  int expected;
};

class ToneCurves : public ::testing::TestWithParam<CurveCase> {};

TEST_P(ToneCurves, MapAmounts) {
  const CurveCase& c = GetParam();
  ToneCurve curve = IdentityCurve();
  ApplyGamma(curve, c.gamma);
  ApplyDensityRatio(curve, c.ratio);
  EXPECT_EQ(curve[static_cast<std::size_t>(c.in)], c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ToneCurves,
                         ::testing::Values(CurveCase{"identity", 0, 1024, 77, 77},
                                           CurveCase{"gamma_100_is_linear", 100, 1024, 77, 77},
                                           CurveCase{"gamma_keeps_white", 220, 1024, 0, 0},
                                           CurveCase{"gamma_keeps_full", 220, 1024, 255, 255},
                                           CurveCase{"gamma_200_squares", 200, 1024, 128,
                                                     64},  // 255*(128/255)^2 = 64.25
                                           CurveCase{"half_density", 0, 512, 200, 100},
                                           CurveCase{"double_density_clamps", 0, 2048, 200, 255},
                                           CurveCase{"negative_ratio_is_no_ink", 0, -5, 200, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dorva_ref
