#include "calib/member_archive.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <string>
#include <system_error>

#include "config/log.h"

namespace tavik {
namespace {

namespace fs = std::filesystem;

// Text-to-integer in the manner of std::stoi, but bounded by the view and
// independent of the width of `long`: leading white space, an optional sign,
// then digits up to the first non-digit.
std::int32_t ParseDecimal(std::string_view text) {
  std::size_t i = 0;
  auto is_space = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  };
  while (i < text.size() && is_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t first_digit = i;
  std::int64_t value = 0;
  bool overflow = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (!overflow) {
      value = value * 10 + (text[i] - '0');
      if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) overflow = true;
    }
  }
  if (i == first_digit) throw std::invalid_argument("no decimal number in archive field");
  if (negative) value = -value;
  if (overflow || value > std::numeric_limits<std::int32_t>::max() ||
      value < std::numeric_limits<std::int32_t>::min()) {
    throw std::out_of_range("archive field number out of range");
  }
  return static_cast<std::int32_t>(value);
}

// Left-aligned, cut to the field, padded with spaces.
void PutField(ArchiveMember& member, std::size_t offset, std::size_t size, std::string_view text) {
  const std::size_t n = std::min(size, text.size());
  std::memcpy(member.header.data() + offset, text.data(), n);
  std::fill(member.header.begin() + static_cast<std::ptrdiff_t>(offset + n),
            member.header.begin() + static_cast<std::ptrdiff_t>(offset + size), ' ');
}

// The name goes into a log line; control bytes would garble it.
std::string Printable(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = '?';
  }
  return out;
}

// A member name must stay a plain file name inside the target directory.
bool IsContainedFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (c == '/' || c == '\\' || c == '\0') return false;
#ifdef _WIN32
    // A drive prefix ("C:name") would make the join leave the directory.
    if (c == ':') return false;
#endif
  }
  return !fs::path(std::string(name)).has_root_path();
}

}  // namespace

std::optional<ArchiveMember> MakeMember(const fs::path& path, std::int32_t uid, std::int32_t gid,
                                        std::int32_t mode) {
  const fs::file_status status = fs::status(path);
  if (!fs::exists(status) || !fs::is_regular_file(status)) return std::nullopt;

  ArchiveMember member;
  const std::string name = path.filename().string();
  std::string name_text;
  if (name.size() > kMemberShortNameMax) {
    member.data.assign(name.begin(), name.end());
    name_text = "#1/" + std::to_string(name.size());
  } else {
    name_text = name;
  }

  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw fs::filesystem_error("cannot open file for archiving", path,
                               std::error_code(errno, std::generic_category()));
  }
  const std::size_t content_start = member.data.size();
  char chunk[16384];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    member.data.insert(member.data.end(), chunk, chunk + in.gcount());
  }
  if (in.bad()) {
    throw fs::filesystem_error("cannot read file for archiving", path,
                               std::error_code(EIO, std::generic_category()));
  }
  // The size written is the size read, so a file that changes while it is
  // archived still yields a consistent member.
  const std::size_t content_size = member.data.size() - content_start;

  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  PutField(member, kMemberNameOffset, kMemberNameSize, name_text);
  PutField(member, kMemberDateOffset, kMemberDateSize, std::to_string(now));
  PutField(member, kMemberUidOffset, kMemberUidSize, std::to_string(uid));
  PutField(member, kMemberGidOffset, kMemberGidSize, std::to_string(gid));
  PutField(member, kMemberModeOffset, kMemberModeSize, std::to_string(mode));
  PutField(member, kMemberSizeOffset, kMemberSizeSize, std::to_string(content_size));
  member.header[kMemberTerminatorOffset] = 0x60;
  member.header[kMemberTerminatorOffset + 1] = 0x0A;
  return member;
}

std::vector<unsigned char> WriteArchive(const ArchiveMemberList& members) {
  std::size_t total = kArchiveSignature.size();
  for (const ArchiveMember& m : members) {
    total += kMemberHeaderSize + m.data.size() + (m.data.size() & 1);
  }
  std::vector<unsigned char> out(total);
  unsigned char* p = out.data();
  auto put = [&p](const void* bytes, std::size_t n) {
    if (n != 0) std::memcpy(p, bytes, n);
    p += n;
  };
  put(kArchiveSignature.data(), kArchiveSignature.size());
  for (const ArchiveMember& m : members) {
    put(m.header.data(), m.header.size());
    put(m.data.data(), m.data.size());
    if (m.data.size() & 1) *p++ = 0x0A;
  }
  return out;
}

std::int32_t ParseMemberName(std::string_view name_field) {
  name_field = name_field.substr(0, kMemberNameSize);
  const std::string_view text = name_field.substr(0, name_field.find(' '));
  if (text.starts_with("#1/")) return ParseDecimal(text.substr(3));
  return static_cast<std::int32_t>(text.size());
}

bool ReadArchive(std::span<const unsigned char> bytes, ArchiveMemberList& members) {
  members.clear();
  if (bytes.size() < kArchiveSignature.size() ||
      std::memcmp(bytes.data(), kArchiveSignature.data(), kArchiveSignature.size()) != 0) {
    return false;
  }
  std::size_t pos = kArchiveSignature.size();
  while (pos < bytes.size()) {
    try {
      ArchiveMember member;
      const std::size_t header_bytes = std::min(kMemberHeaderSize, bytes.size() - pos);
      std::memcpy(member.header.data(), bytes.data() + pos, header_bytes);
      pos += header_bytes;

      const std::int32_t name_length = ParseMemberName(member.NameField());
      const std::int32_t size =
          ParseDecimal(std::string_view(member.header.data() + kMemberSizeOffset, kMemberSizeSize));
      const std::int64_t data_length =
          std::int64_t{size} + (name_length >= 16 ? std::int64_t{name_length} : 0);
      // Lengths no allocation could hold end reading, as a damaged header does.
      if (data_length < 0 || data_length > std::numeric_limits<std::int32_t>::max()) break;

      const auto length = static_cast<std::size_t>(data_length);
      const std::size_t present = std::min(length, bytes.size() - pos);
      // A short tail is made up with zeros; a size field that claims far more
      // than the archive holds is damage, not truncation, and would have a few
      // header bytes allocate (and expand to disk) gigabytes.
      if (length - present > kMaxMissingMemberBytes) break;
      member.data.assign(length, 0);
      if (present != 0) std::memcpy(member.data.data(), bytes.data() + pos, present);
      pos += present;
      if (length & 1) pos = std::min(pos + 1, bytes.size());
      members.push_back(std::move(member));
    } catch (const std::exception&) {
      break;
    }
  }
  return true;
}

bool ExpandArchive(const ArchiveMemberList& members, const fs::path& directory) {
  const fs::file_status status = fs::status(directory);
  if (!fs::exists(status) || !fs::is_directory(status)) return false;

  for (const ArchiveMember& m : members) {
    std::int32_t name_length = -1;
    try {
      name_length = ParseMemberName(m.NameField());
    } catch (const std::exception&) {
      name_length = -1;
    }
    std::string_view name;
    std::span<const unsigned char> content;
    if (name_length >= 16 && static_cast<std::size_t>(name_length) <= m.data.size()) {
      const auto n = static_cast<std::size_t>(name_length);
      name = std::string_view(reinterpret_cast<const char*>(m.data.data()), n);
      content = std::span<const unsigned char>(m.data).subspan(n);
    } else if (name_length >= 0 && name_length < 16) {
      name = m.NameField().substr(0, static_cast<std::size_t>(name_length));
      content = m.data;
    } else {
      name = m.NameField();
      name_length = -1;
    }
    if (name_length < 0 || !IsContainedFileName(name)) {
      Log(kError, "calib data member not expanded, unsafe name: {}", Printable(name));
      continue;
    }
    std::ofstream out(directory / fs::path(std::string(name)), std::ios::binary | std::ios::trunc);
    if (!out) continue;
    out.write(reinterpret_cast<const char*>(content.data()),
              static_cast<std::streamsize>(content.size()));
  }
  return true;
}

}  // namespace tavik
