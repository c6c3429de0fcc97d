#include "pipeline/band_dump.h"

#include <filesystem>
#include <fstream>
#include <limits>

#include "config/paths.h"

namespace tavik {

namespace fs = std::filesystem;

std::string BandDumpFileName(const QXOL_BAND_INFO& band, std::int32_t bpp, std::int32_t channels,
                             bool planar) {
  return "tvbanddata_left" + std::to_string(band.left) + "_top" + std::to_string(band.top) +
         "_right" + std::to_string(band.right) + "_bottom" + std::to_string(band.bottom) + "_bpp" +
         std::to_string(bpp) + "_" + std::to_string(channels) + "ch" +
         (planar ? "_planar" : "_interleave") + ".raw";
}

void DumpBand(const QXOL_BAND_INFO& band, const QXOL_BAND_DATA& data, std::int32_t bpp,
              std::int32_t channels, bool planar) {
  if (!fs::exists(BandDumpSwitchPath())) return;
  const fs::path file =
      fs::path(DiagnosticDirectory()) / BandDumpFileName(band, bpp, channels, planar);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) return;

  // Only what the record claims and the 32-bit interface can address is read.
  const std::int64_t rows = static_cast<std::int64_t>(band.bottom) - band.top;
  const std::int64_t bytes = rows * data.stride;
  if (rows <= 0 || bytes <= 0 || bytes > std::numeric_limits<std::int32_t>::max()) return;
  if (data.planes == nullptr) return;
  const std::int32_t planes = planar ? channels : 1;
  for (std::int32_t j = 0; j < planes; ++j) {
    if (data.planes[j] == nullptr) continue;
    out.write(reinterpret_cast<const char*>(data.planes[j]), static_cast<std::streamsize>(bytes));
  }
}

}  // namespace tavik
