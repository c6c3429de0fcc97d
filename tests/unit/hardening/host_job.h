// A host that prints a small two-page job through the exported functions and
// gives up on the job the way a driver does when a call fails; plus scoped
// changes of the process environment the library reads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "doubles/dorva_double.h"
#include "qxol.h"
#include "support/end_to_end.h"

namespace tavik::test {

// One host call and its result, named "StartJob", "StartPage 1", "Band 1.2"
// (page 1, second band), "EndPage 1", "EndJob", and "abandon EndPage" /
// "abandon EndJob" for the calls that close a failed job.
struct HostCall {
  std::string name;
  std::int32_t result = 0;
};

// CMYK, 8 bits, planar, 16 pixels wide; two pages of two bands each.
class HostJob {
 public:
  static constexpr int kPages = 2;
  static constexpr int kBandsPerPage = 2;
  static constexpr std::int32_t kWidth = 16;
  static constexpr std::int32_t kBandRows = 64;

  // Pages are kBandsPerPage bands of `band_rows` rows each.
  explicit HostJob(std::int32_t band_rows = kBandRows);

  // Runs StartJob, each page's StartPage, bands and EndPage(0), then EndJob.
  // After the first failing call the job is abandoned: EndPage(1) while a
  // page is started, then EndJob, each tried a second time if it fails.
  std::vector<HostCall> Run(QXOL_HANDLE instance);

  // What the module's calls of an uneventful run of this job are.
  static std::vector<tavik_double::Entry> ModuleSequence();

 private:
  std::int32_t band_rows_;
  std::vector<std::vector<unsigned char>> planes_;
};

// The names of the calls of an uneventful run, in order.
std::vector<std::string> HostCallNames();

// True when every call returned 0.
bool AllSucceeded(const std::vector<HostCall>& calls);

// Sets (or with nullopt, removes) an environment variable for the life of
// the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// Points the system's temporary area at a fresh private directory, so a test
// can see every temporary entry the library leaves behind.
class PrivateTempArea {
 public:
  PrivateTempArea();
  const std::filesystem::path& path() const { return dir_.path(); }
  // Entries inside, sorted and comma-separated; empty when there are none.
  std::string Listing() const;

 private:
  TempDir dir_;
  ScopedEnv tmpdir_;
};

// A directory in which nobody, root included, can create anything; it
// contains an entry named "3" while descriptor 3 is open (see KeepFd3Open).
std::string UnwritableDirectory();

// Makes sure descriptor 3 is open for the life of the object.
class KeepFd3Open {
 public:
  KeepFd3Open();
  ~KeepFd3Open();
  KeepFd3Open(const KeepFd3Open&) = delete;
  KeepFd3Open& operator=(const KeepFd3Open&) = delete;

 private:
  int opened_ = -1;
};

// A build of the recording double loaded from any path (DoubleModule takes
// only the names of the built ones), with its Control.
class DoubleAt {
 public:
  explicit DoubleAt(const std::string& path);  // throws std::runtime_error
  ~DoubleAt();
  DoubleAt(const DoubleAt&) = delete;
  DoubleAt& operator=(const DoubleAt&) = delete;

  tavik_double::Control& control() const { return *control_; }

 private:
  void* handle_ = nullptr;
  tavik_double::Control* control_ = nullptr;
};

// A calibration archive of the library's own format holding one ".CA1" file.
std::vector<unsigned char> CalibrationArchive(const std::vector<unsigned char>& ca1_bytes);

}  // namespace tavik::test
