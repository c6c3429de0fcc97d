// How a band is cut into pieces of at most 64 rows for the module.
#pragma once

#include <cstdint>

#include "dorva.h"
#include "qxol.h"

namespace tavik {

inline constexpr std::int32_t kPieceRows = 64;

// The band's valid area relative to its top-left corner; a negative field in
// the host record means the whole band.
DORVA_AREA BandValidArea(const QXOL_BAND_INFO& band);

// Number of pieces of a band of `rows` rows (none for rows <= 0).
std::int32_t PieceCount(std::int64_t rows);

// Rectangle of piece `index` in page coordinates.
DORVA_RECT PieceRect(const QXOL_BAND_INFO& band, std::int32_t index);

// The valid rows of piece `index`, counted from the piece top: the
// intersection of the band's valid rows with the piece, or (offset 0, count 0)
// when they do not meet. x and width are the band's.
DORVA_AREA PieceValidArea(const DORVA_AREA& band_area, const DORVA_RECT& piece,
                          std::int32_t band_top);

}  // namespace tavik
