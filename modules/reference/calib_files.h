// The calibration files the reference module writes on request and reads back
// from the records of a job. Contents are deterministic: the same printer
// type and name always give the same bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "halftone.h"

namespace dorva_ref {

inline constexpr int kCalibInks = 16;
inline constexpr char kCalibStem[] = "REFCAL";

// ".HC1": per-ink tone curves. Layout: "DRHC1\0\0\0", u32 total length,
// u32 ink count (16), u32 printer type, 16 x 256 curve bytes.
std::vector<std::uint8_t> MakeHc1(std::int32_t printer_type);
// ".CA1": per-ink density in 1/1024: "DRCA1\0\0\0", u32 length, u32 printer
// type, 16 x i32.
std::vector<std::uint8_t> MakeCa1(std::int32_t printer_type);
// ".BZ1": banding table: "DRBZ1\0\0\0", u32 length, u32 printer type,
// u32 name length, name bytes, 64 table bytes.
std::vector<std::uint8_t> MakeBz1(std::int32_t printer_type, const std::string& printer_name);

// Reads the tone curves of an ".HC1" image that comes without a length: the
// header is read first and says how long the rest is. Nothing when the bytes
// are not such a file.
std::optional<std::vector<ToneCurve>> ReadHc1(const std::uint8_t* bytes);

// Writes the three files into `dir`; false when a file cannot be written.
bool WriteCalibFiles(const std::string& dir, std::int32_t printer_type,
                     const std::string& printer_name);

}  // namespace dorva_ref
