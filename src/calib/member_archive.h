// The "!<arch>" member archive in which calibration files travel to the host
// and back. This is the library's own variant: a 7-byte signature with no line
// end and 59-byte member headers with a 15-byte name field. Only archives
// written by this code are meant to be read by it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tavik {

inline constexpr std::string_view kArchiveSignature = "!<arch>";

// Field sizes of a member header, in archive order.
inline constexpr std::size_t kMemberNameSize = 15;
inline constexpr std::size_t kMemberDateSize = 12;
inline constexpr std::size_t kMemberUidSize = 6;
inline constexpr std::size_t kMemberGidSize = 6;
inline constexpr std::size_t kMemberModeSize = 8;
inline constexpr std::size_t kMemberSizeSize = 10;
inline constexpr std::size_t kMemberTerminatorSize = 2;
inline constexpr std::size_t kMemberHeaderSize = kMemberNameSize + kMemberDateSize +
                                                 kMemberUidSize + kMemberGidSize + kMemberModeSize +
                                                 kMemberSizeSize + kMemberTerminatorSize;
static_assert(kMemberHeaderSize == 59);

inline constexpr std::size_t kMemberNameOffset = 0;
inline constexpr std::size_t kMemberDateOffset = 15;
inline constexpr std::size_t kMemberUidOffset = 27;
inline constexpr std::size_t kMemberGidOffset = 33;
inline constexpr std::size_t kMemberModeOffset = 39;
inline constexpr std::size_t kMemberSizeOffset = 47;
inline constexpr std::size_t kMemberTerminatorOffset = 57;

// Names longer than this are stored in front of the content ("#1/<length>").
inline constexpr std::size_t kMemberShortNameMax = 15;

struct ArchiveMember {
  // The header exactly as it stands in the archive.
  std::array<char, kMemberHeaderSize> header{};
  // For long names, the name bytes followed by the content; otherwise the content.
  std::vector<unsigned char> data;

  std::string_view NameField() const {
    return {header.data() + kMemberNameOffset, kMemberNameSize};
  }
};

using ArchiveMemberList = std::vector<ArchiveMember>;

// A member made from the regular file at `path`, or nothing when the path does
// not exist or is not a regular file. Other file-system failures throw
// std::filesystem::filesystem_error.
std::optional<ArchiveMember> MakeMember(const std::filesystem::path& path, std::int32_t uid,
                                        std::int32_t gid, std::int32_t mode);

std::vector<unsigned char> WriteArchive(const ArchiveMemberList& members);

// Most bytes a member cut short by the end of the input may lack; a member
// lacking more ends reading like a damaged header.
inline constexpr std::size_t kMaxMissingMemberBytes = std::size_t{16} << 20;

// Fills `members` and returns true, or returns false when the signature is
// missing. A damaged header ends reading with what was read so far; a member
// cut short by the end of input is kept with a zero-filled tail (of at most
// kMaxMissingMemberBytes).
bool ReadArchive(std::span<const unsigned char> bytes, ArchiveMemberList& members);

// The name length that tells the two name forms apart: 16 or more means the
// name is stored at the start of the data. Throws std::invalid_argument when a
// "#1/" field holds no number and std::out_of_range when the number does not
// fit 32 bits.
std::int32_t ParseMemberName(std::string_view name_field);

// Writes each member as a file into `directory`. Members whose names could
// land outside the directory are not written (one error line each). Returns
// false when the directory is missing or is not a directory; other
// file-system failures throw std::filesystem::filesystem_error.
bool ExpandArchive(const ArchiveMemberList& members, const std::filesystem::path& directory);

}  // namespace tavik
