// The printer-data stream of the reference module (docs/printer-data-stream.md):
// record encoding for the module, and a checking decoder for the tools and tests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <vector>

namespace dorva_ref {

// ---- Building blocks ---------------------------------------------------------

// CRC-32 as used by zip and PNG; start with crc = 0 and feed pieces in order.
std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size);

// Appends the PackBits code of `size` bytes to `out`.
void PackBitsEncode(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out);

// Decodes exactly `out_size` bytes; false when the code is malformed, runs
// past either end, or does not produce exactly `out_size` bytes.
bool PackBitsDecode(const std::uint8_t* code, std::size_t code_size, std::uint8_t* out,
                    std::size_t out_size);

// ---- Records -----------------------------------------------------------------

using Tag = std::array<char, 4>;
inline constexpr Tag kJobHeaderTag{'D', 'R', 'J', 'H'};
inline constexpr Tag kPageHeaderTag{'D', 'R', 'P', 'H'};
inline constexpr Tag kRowTag{'D', 'R', 'R', 'W'};
inline constexpr Tag kPageTrailerTag{'D', 'R', 'P', 'T'};
inline constexpr Tag kJobTrailerTag{'D', 'R', 'J', 'T'};
inline constexpr std::uint32_t kStreamVersion = 1;
inline constexpr std::uint32_t kMaxInks = 16;
// Payloads above this are refused by the decoder: no valid record comes near it.
inline constexpr std::uint32_t kMaxPayload = 64u * 1024u * 1024u;

struct JobHeader {
  std::uint32_t version = kStreamVersion;
  std::int32_t input_format = 0;
  std::int32_t image_res_x = 0;
  std::int32_t image_res_y = 0;
  std::int32_t printer_res_x = 0;
  std::int32_t printer_res_y = 0;
  std::int32_t paper_width = 0;
  std::int32_t paper_length = 0;
  std::int32_t media_type = 0;
  std::int32_t ink_count = 0;
};

struct Ink {
  std::array<char, 4> name{};  // ASCII, NUL padded
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  std::string Name() const;
};

struct PageHeader {
  std::uint32_t page = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t res_x = 0;
  std::int32_t res_y = 0;
  std::int32_t halftone_type = 0;
  std::int32_t intent = 0;
  std::vector<Ink> inks;
};

// Rows come in increasing order; rows never sent are blank.
struct PageTrailer {
  std::uint32_t page = 0;
  std::uint32_t rows = 0;   // row records sent for the page
  std::uint32_t flags = 0;  // bit 0: the page ended normally
  std::uint32_t crc = 0;    // CRC-32 of the unpacked rows sent, row by row, ink by ink
  std::vector<std::uint64_t> dots;
};
inline constexpr std::uint32_t kPageNormalEnd = 1;

struct JobTrailer {
  std::uint32_t pages = 0;
};

// The ink set the module prints for a channel count and input kind.
std::vector<Ink> DefaultInks(int channels, bool from_rgb);

// Appending encoders: each adds one complete record to `out`.
void AppendJobHeader(const JobHeader& header, std::vector<std::uint8_t>& out);
void AppendPageHeader(const PageHeader& header, std::vector<std::uint8_t>& out);
// `packed` holds one PackBits code per ink, in ink order.
void AppendRow(std::uint32_t y, const std::vector<std::vector<std::uint8_t>>& packed,
               std::vector<std::uint8_t>& out);
void AppendPageTrailer(const PageTrailer& trailer, std::vector<std::uint8_t>& out);
void AppendJobTrailer(const JobTrailer& trailer, std::vector<std::uint8_t>& out);

// ---- Decoder -----------------------------------------------------------------

// Reads a stream record by record, checks its structure, decompresses every
// row and verifies each page's dot counts and checksum against its trailer.
// Memory is bounded by one row of the page.
class StreamDecoder {
 public:
  struct Handlers {
    std::function<void(const JobHeader&)> job;
    std::function<void(const PageHeader&)> page;
    // One unpacked row per ink, PackedRowBytes(width) bytes each.
    std::function<void(std::uint32_t y, const std::vector<std::vector<std::uint8_t>>& inks)> row;
    std::function<void(const PageTrailer&)> page_end;
    std::function<void(const JobTrailer&)> job_end;
  };

  explicit StreamDecoder(Handlers handlers);

  // Decodes the whole stream. False with a message naming the byte offset
  // when the stream is malformed or a check fails.
  bool Decode(std::istream& in);
  const std::string& error() const { return error_; }
  std::uint64_t bytes_read() const { return offset_; }

 private:
  bool Fail(const std::string& what);
  bool OnRecord(const Tag& tag, const std::vector<std::uint8_t>& payload);

  Handlers handlers_;
  std::string error_;
  std::uint64_t offset_ = 0;
  std::uint64_t record_offset_ = 0;
  enum class State { kStart, kInJob, kInPage, kDone } state_ = State::kStart;
  JobHeader job_;
  PageHeader page_;
  std::uint32_t pages_ = 0;
  std::uint32_t next_row_ = 0;  // lowest row index still allowed
  std::uint32_t rows_seen_ = 0;
  std::uint32_t crc_ = 0;
  std::vector<std::uint64_t> dots_;
  std::vector<std::vector<std::uint8_t>> rows_;
};

}  // namespace dorva_ref
