#include "calib_files.h"

#include <cstring>
#include <fstream>

namespace dorva_ref {

namespace {

constexpr std::size_t kHeadBytes = 12;  // magic and total length
constexpr std::size_t kHc1Bytes = kHeadBytes + 8 + kCalibInks * 256;

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::vector<std::uint8_t> Begin(const char (&magic)[6]) {
  std::vector<std::uint8_t> out(8, 0);
  std::memcpy(out.data(), magic, 5);
  PutU32(out, 0);  // total length, patched by Finish
  return out;
}

void Finish(std::vector<std::uint8_t>& out) {
  const auto n = static_cast<std::uint32_t>(out.size());
  for (int i = 0; i < 4; ++i)
    out[8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n >> (8 * i));
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) return false;
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  f.close();
  return !f.fail();
}

}  // namespace

std::vector<std::uint8_t> MakeHc1(std::int32_t printer_type) {
  std::vector<std::uint8_t> out = Begin("DRHC1");
  PutU32(out, kCalibInks);
  PutU32(out, static_cast<std::uint32_t>(printer_type));
  for (int ink = 0; ink < kCalibInks; ++ink) {
    // A gentle lightening of the mid tones, different per ink and printer
    // type; ends stay fixed so paper white and full ink are kept.
    const std::uint32_t k =
        (static_cast<std::uint32_t>(printer_type) + static_cast<std::uint32_t>(ink)) % 4u;
    for (std::uint32_t v = 0; v < 256; ++v) {
      out.push_back(static_cast<std::uint8_t>(v - (v * (255u - v) * k) / (255u * 16u)));
    }
  }
  Finish(out);
  return out;
}

std::vector<std::uint8_t> MakeCa1(std::int32_t printer_type) {
  std::vector<std::uint8_t> out = Begin("DRCA1");
  PutU32(out, static_cast<std::uint32_t>(printer_type));
  for (int ink = 0; ink < kCalibInks; ++ink) {
    PutU32(out, 1024u - static_cast<std::uint32_t>((printer_type + ink) % 8) * 4u);
  }
  Finish(out);
  return out;
}

std::vector<std::uint8_t> MakeBz1(std::int32_t printer_type, const std::string& printer_name) {
  std::vector<std::uint8_t> out = Begin("DRBZ1");
  PutU32(out, static_cast<std::uint32_t>(printer_type));
  PutU32(out, static_cast<std::uint32_t>(printer_name.size()));
  out.insert(out.end(), printer_name.begin(), printer_name.end());
  std::uint32_t h = 2166136261u ^ static_cast<std::uint32_t>(printer_type);
  for (char c : printer_name) h = (h ^ static_cast<std::uint8_t>(c)) * 16777619u;
  for (int i = 0; i < 64; ++i) {
    h = h * 1664525u + 1013904223u;
    out.push_back(static_cast<std::uint8_t>(h >> 24));
  }
  Finish(out);
  return out;
}

std::optional<std::vector<ToneCurve>> ReadHc1(const std::uint8_t* bytes) {
  if (bytes == nullptr) return std::nullopt;
  if (std::memcmp(bytes, "DRHC1\0\0\0", 8) != 0) return std::nullopt;
  if (GetU32(bytes + 8) != kHc1Bytes) return std::nullopt;
  if (GetU32(bytes + 12) != kCalibInks) return std::nullopt;
  std::vector<ToneCurve> curves(kCalibInks);
  const std::uint8_t* p = bytes + kHeadBytes + 8;
  for (int ink = 0; ink < kCalibInks; ++ink, p += 256)
    curves[static_cast<std::size_t>(ink)].assign(p, p + 256);
  return curves;
}

bool WriteCalibFiles(const std::string& dir, std::int32_t printer_type,
                     const std::string& printer_name) {
  const std::string stem = dir + "/" + kCalibStem;
  return WriteFile(stem + ".HC1", MakeHc1(printer_type)) &&
         WriteFile(stem + ".CA1", MakeCa1(printer_type)) &&
         WriteFile(stem + ".BZ1", MakeBz1(printer_type, printer_name));
}

}  // namespace dorva_ref
