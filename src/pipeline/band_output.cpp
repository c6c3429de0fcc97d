// The band path: every band the host sends goes to the module in pieces of at
// most 64 rows, 8-bit data by reference, 16-bit data converted once per band.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/tavik_api.h"
#include "config/log.h"
#include "legacy/aux_records.h"
#include "pipeline/band_dump.h"
#include "pipeline/band_pieces.h"

namespace tavik {

namespace {

enum BandLayout : std::uint32_t { kLayoutUnset = 0, kLayoutInterleaved = 1, kLayoutPlanar = 2 };

// The module gets a table of per-piece plane pointers; it is reused from band
// to band and only grows, so steady-state bands allocate nothing.
std::vector<unsigned char*>& PiecePlaneTable() {
  static std::vector<unsigned char*> table;
  return table;
}

// The host's record must describe a band the 32-bit interface can address.
void CheckBandBytes(std::int64_t rows, std::int32_t stride) {
  const std::int64_t bytes = rows * stride;
  if (bytes < 0 || bytes > std::numeric_limits<std::int32_t>::max()) {
    throw std::length_error("band of " + std::to_string(rows) + " rows x " +
                            std::to_string(stride) + " bytes does not fit the interface");
  }
}

}  // namespace

std::int32_t TavikApi::BandOut2(std::int32_t band_info_num, const QXOL_BAND_INFO* p_band_info,
                                std::int32_t band_data_num, const QXOL_BAND_DATA* p_band_data,
                                std::int32_t) {
  if (p_band_info == nullptr || p_band_data == nullptr) return QXOL_ERR_INVALID_ARGUMENT;
  if (band_info_num != 1 || band_data_num != band_info_num) return QXOL_ERR_INVALID_COUNT;
  const QXOL_BAND_INFO& band = *p_band_info;
  const QXOL_BAND_DATA& data = *p_band_data;

  // A band before any page start sees an all-zero page, which no job accepts.
  if (!page_) ResetPageDescription(page_);
  const orlen::ImageInfo& image = page_->image;
  const std::int32_t channels = image.GetChannelNum();
  const std::int32_t bytes_per_sample = image.GetBytesPerSample();
  const bool planar = image.IsPlanar();

  DumpBand(band, data, image.record().bpp, channels, planar);

  if (job_state_ == 0) {
    if (const std::int32_t result = OpenJob(planar); result != QXOL_OK) return result;
  }
  if (page_state_ == 0) {
    if (const std::int32_t result = OpenPage(); result != QXOL_OK) return result;
  }

  if (band_layout_ == kLayoutUnset) band_layout_ = planar ? kLayoutPlanar : kLayoutInterleaved;
  if ((band_layout_ == kLayoutPlanar) != planar) return QXOL_ERR_NOT_SUPPORTED;

  const std::int64_t rows = static_cast<std::int64_t>(band.bottom) - band.top;
  if (channels < 0 || bytes_per_sample < 0) {
    throw std::invalid_argument("unknown pixel format of the page");
  }
  // More rows than a 32-bit count holds: the record lies, and its pieces
  // could not even be addressed from the band's top.
  if (rows > std::numeric_limits<std::int32_t>::max()) {
    throw std::length_error("band of " + std::to_string(rows) + " rows does not fit the interface");
  }
  const std::int32_t plane_count = planar ? channels : 1;

  const std::vector<unsigned char*>* source = nullptr;
  std::int32_t stride = 0;
  if (bytes_per_sample == 2) {
    // Bottom above top stays a negative row count, however far apart they are.
    const auto rows32 = static_cast<std::int32_t>(std::max<std::int64_t>(rows, -1));
    source = &ConvertBand(converter_, data, rows32, channels, planar);
    stride = data.stride / 2;
  } else {
    if (rows <= 0) return QXOL_OK;
    CheckBandBytes(rows, data.stride);
    if (data.planes == nullptr) throw std::invalid_argument("band without planes");
    for (std::int32_t j = 0; j < plane_count; ++j) {
      if (data.planes[j] == nullptr) throw std::invalid_argument("band plane is null");
    }
    stride = data.stride;
  }

  std::vector<unsigned char*>& pieces = PiecePlaneTable();
  if (pieces.size() < static_cast<std::size_t>(plane_count)) pieces.resize(plane_count);
  // Entries past this band's planes would still point into an earlier band's
  // buffers, which the host may have freed: a module that reads more planes
  // than the page has (the job's, say) gets nulls instead.
  std::fill(pieces.begin() + plane_count, pieces.end(), nullptr);

  const DORVA_AREA band_area = BandValidArea(band);
  dorva::OSDep os_dep = CreateOSDep();
  const std::int32_t piece_count = PieceCount(rows);
  for (std::int32_t k = 0; k < piece_count; ++k) {
    DORVA_RECT rect = PieceRect(band, k);
    DORVA_AREA area = PieceValidArea(band_area, rect, band.top);
    const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(rect.top - band.top) * stride;
    for (std::int32_t j = 0; j < plane_count; ++j) {
      unsigned char* plane = bytes_per_sample == 2 ? (*source)[j] : data.planes[j];
      pieces[j] = plane + offset;
    }
    DORVA_BAND_DATA piece{};
    piece.stride = stride;
    piece.data = planar ? nullptr : pieces[0];
    piece.planes = planar ? pieces.data() : nullptr;
    os_dep.UpdatePointers();
    const std::int32_t status =
        module_->BandOut(module_->job, &area, &piece, nullptr, &rect, os_dep.Get());
    if (status != 0) {
      Log(kError, "error at HTM1 BandOutP(): {}", status);
      return QXOL_ERR_INTERNAL;
    }
  }
  return QXOL_OK;
}

std::int32_t TavikApi::BandOut(std::int32_t band_info_num, const QXOL_BAND_INFO* p_band_info,
                               std::int32_t band_data_num, const QXOL_BAND_DATA* p_band_data) {
  if (band_info_num <= 0 || band_data_num <= 0) return QXOL_ERR_INVALID_COUNT;
  if (p_band_info == nullptr || p_band_data == nullptr) return QXOL_ERR_INVALID_ARGUMENT;
  if (!page_) ResetPageDescription(page_);
  const std::int32_t channels = page_->image.GetChannelNum();
  if (channels < 0) throw std::invalid_argument("unknown pixel format of the page");
  const std::int32_t bpp = page_->image.record().bpp;

  // Only one record of each kind is accepted further on, so only the first is
  // expanded: a count that lies about the array is never read past.
  const auto buffer = reinterpret_cast<std::uintptr_t>(p_band_data[0].planes);
  std::vector<unsigned char*> table(static_cast<std::size_t>(channels));
  for (std::int32_t j = 0; j < channels; ++j) {
    // No buffer gives no planes at all, rather than addresses counted up from
    // zero that the band dump would write from.
    if (buffer == 0) continue;
    // Address arithmetic as the host's pointer-sized integers, so a wild bpp
    // gives wild (unused) entries rather than undefined behaviour.
    table[j] = reinterpret_cast<unsigned char*>(
        buffer + static_cast<std::uintptr_t>(j) *
                     static_cast<std::uintptr_t>(static_cast<std::intptr_t>(bpp)));
  }
  QXOL_BAND_DATA record{table.data(), p_band_data[0].stride, p_band_data[0].reserved};
  return static_cast<orlen::OrlenApi*>(this)->BandOut2(band_info_num, p_band_info, band_data_num,
                                                       &record, 0);
}

}  // namespace tavik
