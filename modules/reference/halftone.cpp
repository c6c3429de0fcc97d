#include "halftone.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace dorva_ref {

namespace {

// Deterministic pseudo-random numbers for the initial pattern; the same on
// every platform, unlike std:: distributions.
class Lcg {
 public:
  explicit Lcg(std::uint32_t seed) : state_(seed) {}
  std::uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }

 private:
  std::uint32_t state_;
};

// Toroidal Gaussian energy field over a size x size tile. Energies are
// integers so that the whole generation is exact and build-independent.
class EnergyField {
 public:
  explicit EnergyField(int size)
      : size_(size),
        kernel_(static_cast<std::size_t>(size) * static_cast<std::size_t>(size)),
        energy_(kernel_.size(), 0) {
    const double sigma = 1.5;
    for (int dy = 0; dy < size; ++dy) {
      for (int dx = 0; dx < size; ++dx) {
        const int ty = std::min(dy, size - dy);
        const int tx = std::min(dx, size - dx);
        const double e = std::exp(-(tx * tx + ty * ty) / (2.0 * sigma * sigma));
        kernel_[static_cast<std::size_t>(dy * size + dx)] =
            static_cast<std::int64_t>(std::lround(e * 65536.0));
      }
    }
  }

  // Adds (sign +1) or removes (sign -1) the influence of a dot at `cell`.
  void Apply(int cell, int sign) {
    const int py = cell / size_;
    const int px = cell % size_;
    for (int dy = 0; dy < size_; ++dy) {
      const int qy = (py + dy) % size_;
      const std::int64_t* k = &kernel_[static_cast<std::size_t>(dy * size_)];
      std::int64_t* row = &energy_[static_cast<std::size_t>(qy * size_)];
      const int split = size_ - px;  // columns px..size-1 first, then 0..px-1
      for (int dx = 0; dx < split; ++dx) row[px + dx] += sign * k[dx];
      for (int dx = split; dx < size_; ++dx) row[px + dx - size_] += sign * k[dx];
    }
  }

  // Tightest cluster: the set cell with the highest energy (lowest index on ties).
  int TightestCluster(const std::vector<std::uint8_t>& pattern) const {
    int best = -1;
    std::int64_t best_energy = std::numeric_limits<std::int64_t>::min();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
      if (pattern[i] != 0 && energy_[i] > best_energy) {
        best_energy = energy_[i];
        best = static_cast<int>(i);
      }
    }
    return best;
  }

  // Largest void: the empty cell with the lowest energy (lowest index on ties).
  int LargestVoid(const std::vector<std::uint8_t>& pattern) const {
    int best = -1;
    std::int64_t best_energy = std::numeric_limits<std::int64_t>::max();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
      if (pattern[i] == 0 && energy_[i] < best_energy) {
        best_energy = energy_[i];
        best = static_cast<int>(i);
      }
    }
    return best;
  }

 private:
  int size_;
  std::vector<std::int64_t> kernel_;
  std::vector<std::int64_t> energy_;
};

}  // namespace

ThresholdMatrix::ThresholdMatrix(int size, std::uint32_t seed) : size_(size) {
  if (size < 2 || size > 256) throw std::invalid_argument("threshold matrix size out of range");
  const int cells = size * size;
  std::vector<std::uint8_t> pattern(static_cast<std::size_t>(cells), 0);
  EnergyField field(size);

  // Initial pattern: about a tenth of the cells, at random.
  const int initial = std::max(1, cells / 10);
  Lcg random(seed);
  for (int placed = 0; placed < initial;) {
    const int cell = static_cast<int>(random.Next() % static_cast<std::uint32_t>(cells));
    if (pattern[static_cast<std::size_t>(cell)] != 0) continue;
    pattern[static_cast<std::size_t>(cell)] = 1;
    field.Apply(cell, +1);
    ++placed;
  }
  // Move dots from the tightest cluster to the largest void until stable.
  for (int step = 0; step < cells; ++step) {
    const int cluster = field.TightestCluster(pattern);
    pattern[static_cast<std::size_t>(cluster)] = 0;
    field.Apply(cluster, -1);
    const int hole = field.LargestVoid(pattern);
    pattern[static_cast<std::size_t>(hole)] = 1;
    field.Apply(hole, +1);
    if (hole == cluster) break;
  }

  ranks_.assign(static_cast<std::size_t>(cells), 0);
  // Ranks below the initial count: take dots away, tightest cluster first.
  {
    std::vector<std::uint8_t> p = pattern;
    EnergyField f = field;
    for (int rank = initial - 1; rank >= 0; --rank) {
      const int cluster = f.TightestCluster(p);
      p[static_cast<std::size_t>(cluster)] = 0;
      f.Apply(cluster, -1);
      ranks_[static_cast<std::size_t>(cluster)] = static_cast<std::uint16_t>(rank);
    }
  }
  // Ranks from the initial count up: fill the largest void first.
  for (int rank = initial; rank < cells; ++rank) {
    const int hole = field.LargestVoid(pattern);
    pattern[static_cast<std::size_t>(hole)] = 1;
    field.Apply(hole, +1);
    ranks_[static_cast<std::size_t>(hole)] = static_cast<std::uint16_t>(rank);
  }

  thresholds_.resize(ranks_.size());
  for (std::size_t i = 0; i < ranks_.size(); ++i) {
    thresholds_[i] = static_cast<std::uint8_t>((static_cast<std::uint32_t>(ranks_[i]) * 255u) /
                                               static_cast<std::uint32_t>(cells));
  }
}

const ThresholdMatrix& ThresholdMatrix::Default() {
  static const ThresholdMatrix matrix(64, 0x7A51C0DEu);
  return matrix;
}

MatrixOffset InkMatrixOffset(const ThresholdMatrix& matrix, int ink) {
  const int s = matrix.size();
  // Coprime-ish steps spread the inks over the tile.
  return MatrixOffset{(ink * 23) % s, (ink * 41) % s};
}

std::int64_t DitherRowOrdered(const std::uint8_t* amounts, std::int32_t width, std::int32_t page_y,
                              const ThresholdMatrix& matrix, MatrixOffset offset,
                              std::uint8_t* bits) {
  const std::size_t bytes = PackedRowBytes(width);
  if (bytes == 0) return 0;
  std::memset(bits, 0, bytes);
  const int s = matrix.size();
  const int row_index = static_cast<int>((static_cast<std::int64_t>(page_y) + offset.y) % s);
  const std::uint8_t* thresholds = matrix.Row(row_index < 0 ? row_index + s : row_index);
  int column = offset.x % s;
  std::int64_t dots = 0;
  std::uint8_t acc = 0;
  for (std::int32_t x = 0; x < width; ++x) {
    const std::uint8_t on = amounts[x] > thresholds[column] ? 1 : 0;
    acc = static_cast<std::uint8_t>((acc << 1) | on);
    dots += on;
    if (++column == s) column = 0;
    if ((x & 7) == 7) {
      bits[x >> 3] = acc;
      acc = 0;
    }
  }
  if ((width & 7) != 0) bits[bytes - 1] = static_cast<std::uint8_t>(acc << (8 - (width & 7)));
  return dots;
}

ErrorDiffuser::ErrorDiffuser(std::int32_t width)
    : width_(std::max<std::int32_t>(width, 0)),
      current_(static_cast<std::size_t>(width_) + 2, 0),
      next_(static_cast<std::size_t>(width_) + 2, 0) {}

void ErrorDiffuser::Reset() {
  std::fill(current_.begin(), current_.end(), 0);
  std::fill(next_.begin(), next_.end(), 0);
}

std::int64_t ErrorDiffuser::Row(const std::uint8_t* amounts, std::int32_t page_y,
                                std::uint8_t* bits) {
  const std::size_t bytes = PackedRowBytes(width_);
  if (bytes == 0) return 0;
  std::memset(bits, 0, bytes);
  std::fill(next_.begin(), next_.end(), 0);
  const bool left_to_right = (page_y & 1) == 0;
  const int dir = left_to_right ? 1 : -1;
  std::int64_t dots = 0;
  for (std::int32_t i = 0; i < width_; ++i) {
    const std::int32_t x = left_to_right ? i : width_ - 1 - i;
    const std::size_t at = static_cast<std::size_t>(x) + 1;
    const std::int32_t acc = static_cast<std::int32_t>(amounts[x]) * 16 + current_[at];
    const bool dot = acc >= 2040;  // half of full ink, in sixteenths
    if (dot) {
      bits[x >> 3] = static_cast<std::uint8_t>(bits[x >> 3] | (0x80u >> (x & 7)));
      ++dots;
    }
    const std::int32_t q = acc - (dot ? 4080 : 0);
    // Split the error exactly: the remainder of the truncated shares goes to
    // the last neighbour so no tone is lost.
    const std::int32_t d7 = q * 7 / 16;
    const std::int32_t d3 = q * 3 / 16;
    const std::int32_t d5 = q * 5 / 16;
    const std::int32_t d1 = q - d7 - d3 - d5;
    current_[at + dir] += d7;
    next_[at - dir] += d3;
    next_[at] += d5;
    next_[at + dir] += d1;
  }
  current_.swap(next_);
  return dots;
}

std::int64_t CountDots(const std::uint8_t* bits, std::size_t bytes) {
  std::int64_t dots = 0;
  for (std::size_t i = 0; i < bytes; ++i) dots += __builtin_popcount(bits[i]);
  return dots;
}

ToneCurve IdentityCurve() {
  ToneCurve curve(256);
  for (int i = 0; i < 256; ++i) curve[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  return curve;
}

void ApplyGamma(ToneCurve& curve, std::int32_t gamma_percent) {
  if (gamma_percent <= 0 || gamma_percent == 100) return;
  const double exponent = gamma_percent / 100.0;
  for (auto& v : curve) {
    const double x = v / 255.0;
    v = static_cast<std::uint8_t>(std::lround(std::pow(x, exponent) * 255.0));
  }
}

void ApplyDensityRatio(ToneCurve& curve, std::int32_t ratio_1024) {
  if (ratio_1024 == 1024) return;
  const std::int64_t ratio = std::max<std::int32_t>(ratio_1024, 0);
  for (auto& v : curve) {
    const std::int64_t scaled = (static_cast<std::int64_t>(v) * ratio + 512) / 1024;
    v = static_cast<std::uint8_t>(std::min<std::int64_t>(scaled, 255));
  }
}

ToneCurve Compose(const ToneCurve& inner, const ToneCurve& outer) {
  ToneCurve out(256);
  for (std::size_t i = 0; i < 256; ++i) out[i] = outer[inner[i]];
  return out;
}

}  // namespace dorva_ref
