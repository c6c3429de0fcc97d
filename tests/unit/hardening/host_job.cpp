#include "unit/hardening/host_job.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "calib/member_archive.h"

namespace tavik::test {

namespace fs = std::filesystem;
using tavik_double::Entry;

HostJob::HostJob(std::int32_t band_rows) : band_rows_(band_rows) {
  for (int j = 0; j < 4; ++j) {
    std::vector<unsigned char>& plane = planes_.emplace_back(kWidth * band_rows_);
    for (std::size_t i = 0; i < plane.size(); ++i) plane[i] = static_cast<unsigned char>(i + j);
  }
}

std::vector<HostCall> HostJob::Run(QXOL_HANDLE instance) {
  std::vector<HostCall> calls;
  bool page_started = false;
  // Records the call; true when it succeeded.
  auto call = [&calls](std::string name, std::int32_t result) {
    calls.push_back({std::move(name), result});
    return result == QXOL_OK;
  };
  auto abandon = [&] {
    if (page_started && !call("abandon EndPage", QXOL_EndPage(instance, 1))) {
      call("abandon EndPage", QXOL_EndPage(instance, 1));
    }
    if (!call("abandon EndJob", QXOL_EndJob(instance))) {
      call("abandon EndJob", QXOL_EndJob(instance));
    }
    return calls;
  };

  if (!call("StartJob", QXOL_StartJob(instance))) return abandon();
  for (int page = 1; page <= kPages; ++page) {
    const std::string p = std::to_string(page);
    QXOL_BASE_INFO base{0, kWidth, band_rows_ * kBandsPerPage, 0, nullptr, 0, nullptr};
    QXOL_IMAGE_INFO image{360, 360, kWidth, band_rows_ * kBandsPerPage, 2, 0, nullptr, 1};
    QXOL_CONVERT_INFO convert{};
    convert.intent = 4;
    if (!call("StartPage " + p, QXOL_StartPage(instance, &base, 1, &image, 1, &convert))) {
      return abandon();
    }
    page_started = true;
    for (int band = 1; band <= kBandsPerPage; ++band) {
      unsigned char* table[4] = {planes_[0].data(), planes_[1].data(), planes_[2].data(),
                                 planes_[3].data()};
      const std::int32_t top = (band - 1) * band_rows_;
      QXOL_BAND_INFO info{0, top, kWidth, top + band_rows_, -1, -1, -1, -1};
      QXOL_BAND_DATA data{table, kWidth, 0};
      if (!call("Band " + p + "." + std::to_string(band),
                QXOL_BandOut2(instance, 1, &info, 1, &data, 0))) {
        return abandon();
      }
    }
    if (!call("EndPage " + p, QXOL_EndPage(instance, 0))) return abandon();
    page_started = false;
  }
  if (!call("EndJob", QXOL_EndJob(instance))) return abandon();
  return calls;
}

std::vector<Entry> HostJob::ModuleSequence() {
  std::vector<Entry> sequence = {Entry::kInitJob};
  for (int page = 0; page < kPages; ++page) {
    sequence.push_back(Entry::kInitPage);
    for (int band = 0; band < kBandsPerPage; ++band) sequence.push_back(Entry::kBandOut);
    sequence.push_back(Entry::kTerminatePageEx);
  }
  sequence.push_back(Entry::kDestroyJob);
  return sequence;
}

std::vector<std::string> HostCallNames() {
  std::vector<std::string> names = {"StartJob"};
  for (int page = 1; page <= HostJob::kPages; ++page) {
    const std::string p = std::to_string(page);
    names.push_back("StartPage " + p);
    for (int band = 1; band <= HostJob::kBandsPerPage; ++band) {
      names.push_back("Band " + p + "." + std::to_string(band));
    }
    names.push_back("EndPage " + p);
  }
  names.push_back("EndJob");
  return names;
}

bool AllSucceeded(const std::vector<HostCall>& calls) {
  return std::all_of(calls.begin(), calls.end(),
                     [](const HostCall& c) { return c.result == QXOL_OK; });
}

ScopedEnv::ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
  if (const char* previous = std::getenv(name)) previous_ = previous;
  if (value) {
    setenv(name, value->c_str(), 1);
  } else {
    unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (previous_) {
    setenv(name_.c_str(), previous_->c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

PrivateTempArea::PrivateTempArea() : tmpdir_("TMPDIR", dir_.path().string()) {}

std::string PrivateTempArea::Listing() const {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir_.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

std::string UnwritableDirectory() {
  return "/proc/self/fd";
}

KeepFd3Open::KeepFd3Open() {
  if (fcntl(3, F_GETFD) != -1) return;
  const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (fd == 3) {
    opened_ = fd;
    return;
  }
  if (fd >= 0) {
    opened_ = dup2(fd, 3);
    close(fd);
  }
  if (opened_ != 3) throw std::runtime_error("cannot open descriptor 3");
}

KeepFd3Open::~KeepFd3Open() {
  if (opened_ >= 0) close(opened_);
}

DoubleAt::DoubleAt(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) throw std::runtime_error("cannot load " + path + ": " + dlerror());
  auto accessor = reinterpret_cast<DorvaDoubleControlFunc>(dlsym(handle_, "dorva_double_control"));
  if (accessor == nullptr) {
    dlclose(handle_);
    throw std::runtime_error(path + " has no dorva_double_control");
  }
  control_ = accessor();
  control_->Reset();
}

DoubleAt::~DoubleAt() {
  dlclose(handle_);
}

std::vector<unsigned char> CalibrationArchive(const std::vector<unsigned char>& ca1_bytes) {
  const TempDir dir;
  const std::string file =
      dir.Write("printer.CA1", std::string(ca1_bytes.begin(), ca1_bytes.end()));
  const std::optional<ArchiveMember> member = MakeMember(file, 0, 0, 10644);
  if (!member) throw std::runtime_error("cannot archive " + file);
  return WriteArchive({*member});
}

}  // namespace tavik::test
