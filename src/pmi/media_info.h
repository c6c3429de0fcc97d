// What the library reads from an MPK media control file: the driver media
// IDs, the printer media ID and one entry per print mode.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace tavik {

struct ModeInfo {
  std::int32_t ResolutionH = 0;
  std::int32_t ResolutionV = 0;
  std::int32_t PMI = 0;
  // Already reduced from the file's list to the one intent that is compared.
  std::optional<std::int32_t> Intent;
  std::optional<std::int32_t> DrvDefaultIntent;
  std::optional<std::int32_t> DrvLevel;
  std::optional<std::int32_t> DrvBitPerColor;
  std::optional<std::int32_t> DrvMW;
  std::optional<std::int32_t> DrvMWSP;
  std::optional<std::int32_t> DrvProofingMode;
  std::optional<std::int32_t> DrvHTType;
  std::optional<std::int32_t> DrvOutputType;
};

struct MediaInfo {
  std::optional<std::int32_t> WinDrvMediaID;
  std::optional<std::int32_t> MacDrvMediaID;
  std::optional<std::int32_t> PrinterMediaID;
  std::vector<ModeInfo> modes;  // document order
};

// Parses a NUL-terminated control file text. Empty when the text is no
// well-formed document or any value read from it is not a 32-bit number;
// there is never a partial result.
std::optional<MediaInfo> LoadMediaInfo(const char* content);

// The intent a file's intent list stands for: 4 when the list is empty or
// holds 4, else its first entry, with 11 read as 90. Commas separate like
// white space; the list ends at the first entry that is not a number.
std::int32_t ReduceIntentList(const char* text);

}  // namespace tavik
