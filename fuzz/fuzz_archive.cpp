// The calibration archive as the host hands it back: read it, check that
// writing the members out again reads back the same, expand it into a fresh
// directory and check that nothing appeared anywhere else.
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "calib/member_archive.h"
#include "fuzz_support.h"

namespace {

namespace fs = std::filesystem;
using tavik::fuzz::Fail;

// Where an absolute member name could lead: the name field up to its first
// blank, or the leading bytes of a member's data for a name stored in front
// of the content. Every prefix counts, since the stored length is the
// archive's to choose.
std::vector<fs::path> AbsoluteCandidates(const tavik::ArchiveMemberList& members) {
  std::vector<fs::path> candidates;
  auto add_prefixes = [&candidates](std::string_view text) {
    if (text.empty() || text[0] != '/') return;
    for (std::size_t n = 2; n <= text.size(); ++n) {
      if (text[n - 1] == '\0') break;
      candidates.emplace_back(std::string(text.substr(0, n)));
    }
  };
  for (const tavik::ArchiveMember& member : members) {
    const std::string_view field = member.NameField();
    add_prefixes(field.substr(0, field.find(' ')));
    const std::size_t head = std::min<std::size_t>(member.data.size(), 256);
    add_prefixes(std::string_view(reinterpret_cast<const char*>(member.data.data()), head));
  }
  return candidates;
}

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
}

bool SameMembers(const tavik::ArchiveMemberList& a, const tavik::ArchiveMemberList& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].header != b[i].header || a[i].data != b[i].data) return false;
  }
  return true;
}

struct Sandbox {
  Sandbox() {
    root = tavik::fuzz::ScratchDirectory() / "sandbox";
    cwd = root / "cwd";
    target = root / "target";
    fs::create_directories(cwd);
    // Relative names that escaped the join would land here.
    if (chdir(cwd.c_str()) != 0) Fail("cannot enter " + cwd.string());
  }
  fs::path root;
  fs::path cwd;
  fs::path target;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tavik::fuzz::QuietLogs();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Sandbox sandbox;

  tavik::ArchiveMemberList members;
  if (!tavik::ReadArchive(std::span<const unsigned char>(data, size), members)) {
    if (size >= tavik::kArchiveSignature.size() &&
        std::memcmp(data, tavik::kArchiveSignature.data(), tavik::kArchiveSignature.size()) == 0) {
      Fail("an archive with the signature was refused");
    }
    return 0;
  }

  // What was read, written and read again, is the same.
  const std::vector<unsigned char> written = tavik::WriteArchive(members);
  tavik::ArchiveMemberList again;
  if (!tavik::ReadArchive(written, again) || !SameMembers(members, again)) {
    Fail("members do not survive a write and a read");
  }

  const std::vector<fs::path> candidates = AbsoluteCandidates(members);
  std::vector<bool> existed;
  for (const fs::path& candidate : candidates) existed.push_back(Exists(candidate));

  fs::create_directory(sandbox.target);
  try {
    if (!tavik::ExpandArchive(members, sandbox.target)) Fail("expansion refused its directory");
  } catch (const fs::filesystem_error&) {
    // A member the file system cannot take is the library's to report.
  }

  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (!existed[i] && Exists(candidates[i])) {
      std::error_code ec;
      fs::remove(candidates[i], ec);
      Fail("a member was written to " + candidates[i].string());
    }
  }
  if (const std::string listing = tavik::fuzz::ListDirectory(sandbox.root);
      listing != "cwd, target") {
    Fail("entries appeared beside the target directory: " + listing);
  }
  if (!fs::is_empty(sandbox.cwd)) {
    Fail("entries appeared in the working directory: " + tavik::fuzz::ListDirectory(sandbox.cwd));
  }
  std::size_t files = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(sandbox.target)) {
    if (!entry.is_regular_file() || entry.is_symlink()) {
      Fail("expansion made something other than a file: " + entry.path().string());
    }
    ++files;
  }
  if (files > members.size()) Fail("more files than members");
  fs::remove_all(sandbox.target);
  return 0;
}
