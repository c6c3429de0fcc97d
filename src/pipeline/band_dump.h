// Raw dumps of the bands a host sends, for diagnosis.
#pragma once

#include <string>

#include "qxol.h"

namespace tavik {

// "tvbanddata_left0_top0_right1000_bottom64_bpp1_4ch_planar.raw" and the like.
std::string BandDumpFileName(const QXOL_BAND_INFO& band, std::int32_t bpp, std::int32_t channels,
                             bool planar);

// Writes the band exactly as received into the diagnostic directory while the
// dump switch exists: planar bands plane after plane, rows x stride bytes each.
// A file that cannot be written is skipped; only a failing existence test of
// the switch throws.
void DumpBand(const QXOL_BAND_INFO& band, const QXOL_BAND_DATA& data, std::int32_t bpp,
              std::int32_t channels, bool planar);

}  // namespace tavik
