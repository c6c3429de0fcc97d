// Calibration data: the module writes its calibration files into a private
// temporary directory, the library keeps them as one member archive in the
// parameter store, and every printer structure gets them back from it.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "api/tavik_api.h"
#include "calib/member_archive.h"
#include "calib/temp_directory.h"
#include "config/log.h"

namespace tavik {
namespace {

namespace fs = std::filesystem;

// The owner, group and mode numbers written into every calibration member.
constexpr std::int32_t kMemberUid = 0;
constexpr std::int32_t kMemberGid = 0;
constexpr std::int32_t kMemberMode = 10644;

std::vector<unsigned char> ReadWholeFile(const fs::path& path) {
  const std::uintmax_t size = fs::file_size(path);
  std::vector<unsigned char> content(static_cast<std::size_t>(size));
  std::ifstream in(path, std::ios::binary);
  if (!in || !in.read(reinterpret_cast<char*>(content.data()),
                      static_cast<std::streamsize>(content.size()))) {
    throw fs::filesystem_error("cannot read calibration file", path,
                               std::make_error_code(std::errc::io_error));
  }
  return content;
}

std::int32_t CalibStatusResult(std::int32_t status) {
  switch (status) {
    case -10001:
      return QXOL_ERR_CALIB_MODULE_1;
    case -10003:
      return QXOL_ERR_CALIB_MODULE_2;
    default:
      return QXOL_ERR_INTERNAL;
  }
}

}  // namespace

std::int32_t TavikApi::AcquireCalibData() {
  dorva::CalibDataReq request;
  if (const std::int32_t result = CreateCalibDataReq(request); result != QXOL_OK) return result;

  // Removed on every way out, failures and exceptions included.
  std::optional<TempDirectory> work_dir = TempDirectory::Create();
  if (!work_dir) return QXOL_ERR_INTERNAL;
  request.SetWorkDir(work_dir->path().string());

  if (request.has_tool_path()) {
    request.UpdatePointers();
    const std::int32_t status = module_->GetCalibData(request.Get());
    if (status != 0) {
      Log(kError, "error at HTM1 GetCalibData(): {}", status);
      return CalibStatusResult(status);
    }
  }

  ArchiveMemberList members;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(work_dir->path())) {
    std::optional<ArchiveMember> member =
        MakeMember(entry.path(), kMemberUid, kMemberGid, kMemberMode);
    if (!member) {
      Log(kError, "failed to archive calib data.");
      return QXOL_ERR_INTERNAL;
    }
    members.push_back(std::move(*member));
  }
  const std::vector<unsigned char> archive = WriteArchive(members);
  options_.SetParams(QXIDU08_TV_ISV_CALIB_DATA, static_cast<const void*>(archive.data()),
                     archive.size());
  return QXOL_OK;
}

bool TavikApi::ExpandCalibArchiveInto(dorva::BRSData& brs_data) {
  const std::optional<std::vector<unsigned char>> archive =
      options_.GetParams<unsigned char>(QXIDU08_TV_ISV_CALIB_DATA);
  if (!archive) return true;

  try {
    std::optional<TempDirectory> dir = TempDirectory::Create();
    if (!dir) return false;
    ArchiveMemberList members;
    if (!ReadArchive(*archive, members)) {
      Log(kError, "couldn't load calib data");
      return false;
    }
    if (!ExpandArchive(members, dir->path())) {
      Log(kError, "couldn't expand calib data");
      return false;
    }
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir->path())) {
      const fs::path& path = entry.path();
      const std::string extension = path.extension().string();
      if (extension == ".HC1") {
        calibration_buffer_ = ReadWholeFile(path);
      } else if (extension == ".CA1") {
        brs_data.SetCA1Data(ReadWholeFile(path));
      } else if (extension == ".BZ1") {
        brs_data.SetBZ1Data(ReadWholeFile(path));
      } else {
        Log(kError, "unknown foarmt calib data file. {}", path.string());
      }
    }
    return true;
  } catch (const fs::filesystem_error& e) {
    Log(kError, "couldn't expand calib data: {}", e.what());
    return false;
  }
}

}  // namespace tavik
