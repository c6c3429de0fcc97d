// Halftoning core of the reference module: plain functions over rows of ink
// amounts (0 = no ink, 255 = full ink) producing one bit per dot, packed
// most significant bit first. Nothing here knows about module records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dorva_ref {

// Dots of one ink: `width` dots packed MSB first, (width + 7) / 8 bytes.
inline std::size_t PackedRowBytes(std::int32_t width) {
  return width <= 0 ? 0 : (static_cast<std::size_t>(width) + 7) / 8;
}

// A square, tileable threshold matrix with blue-noise-like rank order.
// A dot is set where amount > threshold; thresholds run 0..254 so that an
// amount of 0 never prints and 255 always prints, and over one tile the
// number of dots for amount v is ceil(v * cells / 255).
class ThresholdMatrix {
 public:
  // Generates the matrix with the void-and-cluster method. Integer energies
  // and index-ordered tie breaks make the result identical on every build.
  ThresholdMatrix(int size, std::uint32_t seed);

  // The matrix every page uses: 64 x 64, generated once per process.
  static const ThresholdMatrix& Default();

  int size() const { return size_; }
  // Rank of each cell, 0 .. size*size-1: the order in which cells turn on.
  const std::vector<std::uint16_t>& ranks() const { return ranks_; }
  const std::uint8_t* Row(int y) const {
    return thresholds_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(size_);
  }

 private:
  int size_;
  std::vector<std::uint16_t> ranks_;
  std::vector<std::uint8_t> thresholds_;
};

// Each ink reads the matrix at its own offset so that inks of equal amount
// do not land dot on dot.
struct MatrixOffset {
  int x;
  int y;
};
MatrixOffset InkMatrixOffset(const ThresholdMatrix& matrix, int ink);

// Ordered dither of one page row. `amounts` holds `width` values for page
// columns 0..width-1; `page_y` is the page row. Writes PackedRowBytes(width)
// bytes to `bits`; padding bits of the last byte are 0. Returns the dots set.
std::int64_t DitherRowOrdered(const std::uint8_t* amounts, std::int32_t width, std::int32_t page_y,
                              const ThresholdMatrix& matrix, MatrixOffset offset,
                              std::uint8_t* bits);

// Serpentine Floyd-Steinberg error diffusion over a page, one row at a time.
// The error of a row is carried to the next call, so a page cut into pieces
// of any height gives the same dots as the page in one piece. Rows must be
// fed in page order; the direction follows the parity of the page row.
class ErrorDiffuser {
 public:
  explicit ErrorDiffuser(std::int32_t width);

  std::int64_t Row(const std::uint8_t* amounts, std::int32_t page_y, std::uint8_t* bits);
  void Reset();
  std::int32_t width() const { return width_; }

 private:
  std::int32_t width_;
  // Errors in sixteenths of a level, one pixel of padding on either side.
  std::vector<std::int32_t> current_;
  std::vector<std::int32_t> next_;
};

// Dots set in a packed row.
std::int64_t CountDots(const std::uint8_t* bits, std::size_t bytes);

// An amount transfer curve per ink: out = curve[in]. Built from calibration,
// gamma and density ratio; identity when none applies.
using ToneCurve = std::vector<std::uint8_t>;
ToneCurve IdentityCurve();
// gamma_percent: 100 = linear; <= 0 leaves the curve unchanged.
void ApplyGamma(ToneCurve& curve, std::int32_t gamma_percent);
// ratio_1024: ink density in units of 1/1024 (1024 = unchanged), clamped at full ink.
void ApplyDensityRatio(ToneCurve& curve, std::int32_t ratio_1024);
// out = outer[inner[i]].
ToneCurve Compose(const ToneCurve& inner, const ToneCurve& outer);

}  // namespace dorva_ref
