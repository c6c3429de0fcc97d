#include "stream_format.h"

#include <cstring>

#include "halftone.h"

namespace dorva_ref {

namespace {

std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutI32(std::vector<std::uint8_t>& out, std::int32_t v) {
  PutU32(out, static_cast<std::uint32_t>(v));
}
void PutU64(std::vector<std::uint8_t>& out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Writes the record head with a placeholder length; returns where the payload starts.
std::size_t BeginRecord(const Tag& tag, std::vector<std::uint8_t>& out) {
  out.insert(out.end(), tag.begin(), tag.end());
  PutU32(out, 0);
  return out.size();
}
void EndRecord(std::size_t payload_start, std::vector<std::uint8_t>& out) {
  const auto length = static_cast<std::uint32_t>(out.size() - payload_start);
  for (int i = 0; i < 4; ++i) {
    out[payload_start - 4 + static_cast<std::size_t>(i)] =
        static_cast<std::uint8_t>(length >> (8 * i));
  }
}

// Bounds-checked little-endian reads from a payload.
class Cursor {
 public:
  explicit Cursor(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  bool U32(std::uint32_t& v) {
    if (bytes_.size() - pos_ < 4) return false;
    v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(bytes_[pos_ + i]) << (8 * i);
    pos_ += 4;
    return true;
  }
  bool I32(std::int32_t& v) {
    std::uint32_t u = 0;
    if (!U32(u)) return false;
    v = static_cast<std::int32_t>(u);
    return true;
  }
  bool U64(std::uint64_t& v) {
    if (bytes_.size() - pos_ < 8) return false;
    v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(bytes_[pos_ + i]) << (8 * i);
    pos_ += 8;
    return true;
  }
  bool Bytes(std::size_t n, const std::uint8_t*& p) {
    if (bytes_.size() - pos_ < n) return false;
    p = bytes_.data() + pos_;
    pos_ += n;
    return true;
  }
  bool AtEnd() const { return pos_ == bytes_.size(); }

 private:
  const std::vector<std::uint8_t>& bytes_;
  std::size_t pos_ = 0;
};

std::string TagText(const Tag& tag) {
  std::string s;
  for (char c : tag) s += (c >= 0x20 && c < 0x7F) ? c : '?';
  return s;
}

}  // namespace

std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
  static const std::array<std::uint32_t, 256> table = MakeCrcTable();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
  return ~crc;
}

void PackBitsEncode(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out) {
  std::size_t i = 0;
  while (i < size) {
    // Length of the run starting at i, at most 128.
    std::size_t run = 1;
    while (i + run < size && run < 128 && data[i + run] == data[i]) ++run;
    if (run >= 3) {
      out.push_back(static_cast<std::uint8_t>(257 - run));  // -(run - 1) as a byte
      out.push_back(data[i]);
      i += run;
      continue;
    }
    // Literal: up to the next run of three or 128 bytes.
    std::size_t start = i;
    std::size_t count = 0;
    while (i < size && count < 128) {
      if (i + 2 < size && data[i] == data[i + 1] && data[i] == data[i + 2]) break;
      ++i;
      ++count;
    }
    out.push_back(static_cast<std::uint8_t>(count - 1));
    out.insert(out.end(), data + start, data + start + count);
  }
}

bool PackBitsDecode(const std::uint8_t* code, std::size_t code_size, std::uint8_t* out,
                    std::size_t out_size) {
  std::size_t in = 0;
  std::size_t produced = 0;
  while (in < code_size) {
    const auto header = static_cast<std::int8_t>(code[in++]);
    if (header >= 0) {
      const std::size_t n = static_cast<std::size_t>(header) + 1;
      if (code_size - in < n || out_size - produced < n) return false;
      std::memcpy(out + produced, code + in, n);
      in += n;
      produced += n;
    } else if (header != -128) {
      const std::size_t n = static_cast<std::size_t>(1 - header);
      if (in >= code_size || out_size - produced < n) return false;
      std::memset(out + produced, code[in++], n);
      produced += n;
    }
  }
  return produced == out_size;
}

std::string Ink::Name() const {
  std::string s;
  for (char c : name) {
    if (c == '\0') break;
    s += c;
  }
  return s;
}

std::vector<Ink> DefaultInks(int channels, bool from_rgb) {
  struct Known {
    const char* name;
    std::uint8_t r, g, b;
  };
  static const Known kSequence[] = {
      {"C", 0, 174, 239},    {"M", 236, 0, 140},    {"Y", 255, 236, 0},  {"K", 35, 31, 32},
      {"Or", 247, 148, 29},  {"Gr", 0, 166, 81},    {"V", 102, 45, 145}, {"Lc", 130, 210, 245},
      {"Lm", 245, 160, 205}, {"Gy", 150, 150, 150}, {"R", 230, 40, 40},  {"B", 40, 60, 200},
      {"Lk", 110, 110, 110}, {"W", 235, 235, 235},  {"Mt", 20, 20, 20},  {"X", 200, 120, 60}};
  std::vector<Ink> inks;
  if (channels <= 0) return inks;
  const int count = channels > static_cast<int>(kMaxInks) ? static_cast<int>(kMaxInks) : channels;
  for (int i = 0; i < count; ++i) {
    // A single channel (not from RGB) is black ink.
    const Known& k = (count == 1 && !from_rgb) ? kSequence[3] : kSequence[i];
    Ink ink;
    std::strncpy(ink.name.data(), k.name, ink.name.size());
    ink.r = k.r;
    ink.g = k.g;
    ink.b = k.b;
    inks.push_back(ink);
  }
  return inks;
}

void AppendJobHeader(const JobHeader& h, std::vector<std::uint8_t>& out) {
  const std::size_t at = BeginRecord(kJobHeaderTag, out);
  PutU32(out, h.version);
  PutI32(out, h.input_format);
  PutI32(out, h.image_res_x);
  PutI32(out, h.image_res_y);
  PutI32(out, h.printer_res_x);
  PutI32(out, h.printer_res_y);
  PutI32(out, h.paper_width);
  PutI32(out, h.paper_length);
  PutI32(out, h.media_type);
  PutI32(out, h.ink_count);
  EndRecord(at, out);
}

void AppendPageHeader(const PageHeader& h, std::vector<std::uint8_t>& out) {
  const std::size_t at = BeginRecord(kPageHeaderTag, out);
  PutU32(out, h.page);
  PutI32(out, h.width);
  PutI32(out, h.height);
  PutI32(out, h.res_x);
  PutI32(out, h.res_y);
  PutI32(out, h.halftone_type);
  PutI32(out, h.intent);
  PutU32(out, static_cast<std::uint32_t>(h.inks.size()));
  for (const Ink& ink : h.inks) {
    out.insert(out.end(), ink.name.begin(), ink.name.end());
    out.push_back(ink.r);
    out.push_back(ink.g);
    out.push_back(ink.b);
    out.push_back(0);
  }
  EndRecord(at, out);
}

void AppendRow(std::uint32_t y, const std::vector<std::vector<std::uint8_t>>& packed,
               std::vector<std::uint8_t>& out) {
  const std::size_t at = BeginRecord(kRowTag, out);
  PutU32(out, y);
  for (const auto& code : packed) {
    PutU32(out, static_cast<std::uint32_t>(code.size()));
    out.insert(out.end(), code.begin(), code.end());
  }
  EndRecord(at, out);
}

void AppendPageTrailer(const PageTrailer& t, std::vector<std::uint8_t>& out) {
  const std::size_t at = BeginRecord(kPageTrailerTag, out);
  PutU32(out, t.page);
  PutU32(out, t.rows);
  PutU32(out, t.flags);
  PutU32(out, t.crc);
  PutU32(out, static_cast<std::uint32_t>(t.dots.size()));
  for (std::uint64_t d : t.dots) PutU64(out, d);
  EndRecord(at, out);
}

void AppendJobTrailer(const JobTrailer& t, std::vector<std::uint8_t>& out) {
  const std::size_t at = BeginRecord(kJobTrailerTag, out);
  PutU32(out, t.pages);
  EndRecord(at, out);
}

// ---- Decoder -------------------------------------------------------------------

StreamDecoder::StreamDecoder(Handlers handlers) : handlers_(std::move(handlers)) {}

bool StreamDecoder::Fail(const std::string& what) {
  error_ = what + " (record at byte " + std::to_string(record_offset_) + ")";
  return false;
}

bool StreamDecoder::Decode(std::istream& in) {
  std::vector<std::uint8_t> payload;
  for (;;) {
    record_offset_ = offset_;
    std::uint8_t head[8];
    in.read(reinterpret_cast<char*>(head), sizeof head);
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got == 0) break;
    if (got < sizeof head) return Fail("stream cut inside a record head");
    offset_ += sizeof head;
    Tag tag{static_cast<char>(head[0]), static_cast<char>(head[1]), static_cast<char>(head[2]),
            static_cast<char>(head[3])};
    const std::uint32_t length =
        static_cast<std::uint32_t>(head[4]) | (static_cast<std::uint32_t>(head[5]) << 8) |
        (static_cast<std::uint32_t>(head[6]) << 16) | (static_cast<std::uint32_t>(head[7]) << 24);
    if (length > kMaxPayload) return Fail("record " + TagText(tag) + " is too long");
    payload.resize(length);
    if (length > 0) {
      in.read(reinterpret_cast<char*>(payload.data()), length);
      if (static_cast<std::size_t>(in.gcount()) != length) {
        return Fail("stream cut inside record " + TagText(tag));
      }
    }
    offset_ += length;
    if (!OnRecord(tag, payload)) return false;
  }
  if (state_ == State::kStart) return Fail("no job in the stream");
  if (state_ != State::kDone) return Fail("stream ends before the job trailer");
  return true;
}

bool StreamDecoder::OnRecord(const Tag& tag, const std::vector<std::uint8_t>& payload) {
  Cursor c(payload);
  if (tag == kJobHeaderTag) {
    if (state_ != State::kStart && state_ != State::kDone) return Fail("job header inside a job");
    JobHeader h;
    if (!c.U32(h.version) || !c.I32(h.input_format) || !c.I32(h.image_res_x) ||
        !c.I32(h.image_res_y) || !c.I32(h.printer_res_x) || !c.I32(h.printer_res_y) ||
        !c.I32(h.paper_width) || !c.I32(h.paper_length) || !c.I32(h.media_type) ||
        !c.I32(h.ink_count) || !c.AtEnd()) {
      return Fail("malformed job header");
    }
    if (h.version != kStreamVersion) {
      return Fail("unsupported stream version " + std::to_string(h.version));
    }
    job_ = h;
    pages_ = 0;
    state_ = State::kInJob;
    if (handlers_.job) handlers_.job(job_);
    return true;
  }
  if (tag == kPageHeaderTag) {
    if (state_ != State::kInJob) return Fail("page header outside a job or inside a page");
    PageHeader h;
    std::uint32_t inks = 0;
    if (!c.U32(h.page) || !c.I32(h.width) || !c.I32(h.height) || !c.I32(h.res_x) ||
        !c.I32(h.res_y) || !c.I32(h.halftone_type) || !c.I32(h.intent) || !c.U32(inks)) {
      return Fail("malformed page header");
    }
    if (inks == 0 || inks > kMaxInks)
      return Fail("page header with " + std::to_string(inks) + " inks");
    for (std::uint32_t i = 0; i < inks; ++i) {
      const std::uint8_t* p = nullptr;
      if (!c.Bytes(8, p)) return Fail("malformed page header");
      Ink ink;
      std::memcpy(ink.name.data(), p, 4);
      ink.r = p[4];
      ink.g = p[5];
      ink.b = p[6];
      h.inks.push_back(ink);
    }
    if (!c.AtEnd()) return Fail("malformed page header");
    if (h.width <= 0 || h.height <= 0 || PackedRowBytes(h.width) > kMaxPayload / kMaxInks) {
      return Fail("page size " + std::to_string(h.width) + " x " + std::to_string(h.height) +
                  " out of range");
    }
    if (h.page != pages_) return Fail("page " + std::to_string(h.page) + " out of order");
    page_ = h;
    next_row_ = 0;
    rows_seen_ = 0;
    crc_ = 0;
    dots_.assign(inks, 0);
    rows_.assign(inks, std::vector<std::uint8_t>(PackedRowBytes(h.width)));
    state_ = State::kInPage;
    if (handlers_.page) handlers_.page(page_);
    return true;
  }
  if (tag == kRowTag) {
    if (state_ != State::kInPage) return Fail("row outside a page");
    std::uint32_t y = 0;
    if (!c.U32(y)) return Fail("malformed row");
    if (y < next_row_) {
      return Fail("row " + std::to_string(y) + " after row " + std::to_string(next_row_ - 1));
    }
    if (y >= static_cast<std::uint32_t>(page_.height)) return Fail("row below the page");
    const std::size_t row_bytes = PackedRowBytes(page_.width);
    const unsigned pad =
        static_cast<unsigned>(row_bytes * 8 - static_cast<std::size_t>(page_.width));
    for (std::size_t ink = 0; ink < rows_.size(); ++ink) {
      std::uint32_t n = 0;
      const std::uint8_t* code = nullptr;
      if (!c.U32(n) || !c.Bytes(n, code)) return Fail("malformed row");
      if (!PackBitsDecode(code, n, rows_[ink].data(), row_bytes)) {
        return Fail("row " + std::to_string(y) + " of ink " + std::to_string(ink) +
                    " does not decompress to one row");
      }
      if (pad != 0 && (rows_[ink][row_bytes - 1] & ((1u << pad) - 1)) != 0) {
        return Fail("row " + std::to_string(y) + " sets dots beyond the page width");
      }
      crc_ = Crc32(crc_, rows_[ink].data(), row_bytes);
      dots_[ink] += static_cast<std::uint64_t>(CountDots(rows_[ink].data(), row_bytes));
    }
    if (!c.AtEnd()) return Fail("malformed row");
    next_row_ = y + 1;
    ++rows_seen_;
    if (handlers_.row) handlers_.row(y, rows_);
    return true;
  }
  if (tag == kPageTrailerTag) {
    if (state_ != State::kInPage) return Fail("page trailer outside a page");
    PageTrailer t;
    std::uint32_t inks = 0;
    if (!c.U32(t.page) || !c.U32(t.rows) || !c.U32(t.flags) || !c.U32(t.crc) || !c.U32(inks)) {
      return Fail("malformed page trailer");
    }
    if (inks != dots_.size()) return Fail("page trailer ink count differs from the page header");
    for (std::uint32_t i = 0; i < inks; ++i) {
      std::uint64_t d = 0;
      if (!c.U64(d)) return Fail("malformed page trailer");
      t.dots.push_back(d);
    }
    if (!c.AtEnd()) return Fail("malformed page trailer");
    if (t.page != page_.page) return Fail("page trailer of another page");
    if (t.rows != rows_seen_) {
      return Fail("page " + std::to_string(page_.page) + " has " + std::to_string(rows_seen_) +
                  " rows, its trailer counts " + std::to_string(t.rows));
    }
    if (t.crc != crc_) return Fail("checksum mismatch on page " + std::to_string(page_.page));
    for (std::size_t i = 0; i < dots_.size(); ++i) {
      if (t.dots[i] != dots_[i]) {
        return Fail("dot count mismatch on page " + std::to_string(page_.page) + ", ink " +
                    std::to_string(i));
      }
    }
    ++pages_;
    state_ = State::kInJob;
    if (handlers_.page_end) handlers_.page_end(t);
    return true;
  }
  if (tag == kJobTrailerTag) {
    if (state_ != State::kInJob) return Fail("job trailer outside a job or inside a page");
    JobTrailer t;
    if (!c.U32(t.pages) || !c.AtEnd()) return Fail("malformed job trailer");
    if (t.pages != pages_)
      return Fail("job trailer counts " + std::to_string(t.pages) + " pages, the stream holds " +
                  std::to_string(pages_));
    state_ = State::kDone;
    if (handlers_.job_end) handlers_.job_end(t);
    return true;
  }
  return Fail("unknown record " + TagText(tag));
}

}  // namespace dorva_ref
