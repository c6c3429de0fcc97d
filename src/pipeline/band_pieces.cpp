#include "pipeline/band_pieces.h"

#include <algorithm>

namespace tavik {

DORVA_AREA BandValidArea(const QXOL_BAND_INFO& band) {
  if (band.area_x < 0 || band.area_y < 0 || band.area_width < 0 || band.area_height < 0) {
    // Wrap-around like the 32-bit interface, without signed overflow.
    const auto width = static_cast<std::int32_t>(static_cast<std::uint32_t>(band.right) -
                                                 static_cast<std::uint32_t>(band.left));
    const auto height = static_cast<std::int32_t>(static_cast<std::uint32_t>(band.bottom) -
                                                  static_cast<std::uint32_t>(band.top));
    return {0, 0, width, height};
  }
  return {band.area_x, band.area_y, band.area_width, band.area_height};
}

std::int32_t PieceCount(std::int64_t rows) {
  return rows <= 0 ? 0 : static_cast<std::int32_t>((rows + kPieceRows - 1) / kPieceRows);
}

DORVA_RECT PieceRect(const QXOL_BAND_INFO& band, std::int32_t index) {
  const std::int64_t top = static_cast<std::int64_t>(band.top) + std::int64_t{kPieceRows} * index;
  const std::int64_t bottom = top + std::min<std::int64_t>(band.bottom - top, kPieceRows);
  return {band.left, static_cast<std::int32_t>(top), band.right, static_cast<std::int32_t>(bottom)};
}

DORVA_AREA PieceValidArea(const DORVA_AREA& band_area, const DORVA_RECT& piece,
                          std::int32_t band_top) {
  const std::int64_t piece_top = static_cast<std::int64_t>(piece.top) - band_top;
  const std::int64_t piece_bottom = static_cast<std::int64_t>(piece.bottom) - band_top;
  const std::int64_t valid_top = std::max<std::int64_t>(band_area.y, piece_top);
  const std::int64_t valid_bottom = std::min<std::int64_t>(
      static_cast<std::int64_t>(band_area.y) + band_area.height, piece_bottom);
  if (valid_bottom <= valid_top) return {band_area.x, 0, band_area.width, 0};
  return {band_area.x, static_cast<std::int32_t>(valid_top - piece_top), band_area.width,
          static_cast<std::int32_t>(valid_bottom - valid_top)};
}

}  // namespace tavik
