// A spooler process lives for days: a thousand instances, each printing a
// small job with calibration data and then deleted, must leave no descriptor,
// no mapped library, no temporary entry and (under the leak checker) no
// memory behind.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "config/log.h"
#include "support/log_capture.h"
#include "unit/hardening/host_job.h"

#if defined(__SANITIZE_ADDRESS__)
#define TAVIK_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVIK_LEAK_CHECK 1
#endif
#endif
#ifdef TAVIK_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace tavik::test {
namespace {

namespace fs = std::filesystem;

constexpr int kCycles = 1000;
// Small bands keep the module's share of each cycle small.
constexpr std::int32_t kBandRows = 4;

std::size_t OpenDescriptors() {
  std::size_t count = 0;
  for ([[maybe_unused]] const fs::directory_entry& entry :
       fs::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

// The files mapped into the process: the libraries and whatever else is
// mapped from a path. Anonymous memory comes and goes with the allocator.
std::set<std::string> MappedFiles() {
  std::set<std::string> files;
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    const std::size_t slash = line.find('/');
    if (slash != std::string::npos) files.insert(line.substr(slash));
  }
  return files;
}

// Scripts the double the instance has just loaded to spool a block for every
// band, without holding it loaded any longer than the instance does.
bool ScriptSpooling(const std::string& module) {
  void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  auto accessor = reinterpret_cast<DorvaDoubleControlFunc>(dlsym(handle, "dorva_double_control"));
  if (accessor != nullptr) accessor()->spools.push_back({tavik_double::Entry::kBandOut, 0, {1}});
  dlclose(handle);
  return accessor != nullptr;
}

TEST(EnduranceTest, ThousandInstancesPrintingAJobEachLeaveNothingBehind) {
  const TempDir dir;
  const std::string module = DoublePath("dorva_double");
  IniSpec spec;
  spec.module = module;
  const std::string ini = WriteIni(dir, spec);
  const std::vector<unsigned char> archive = CalibrationArchive({'C', 'A', '1'});
  const LogCapture quiet(kCritical);
  const PrivateTempArea temp;
  LoadCounter counter;
  ASSERT_FALSE(IsLoaded(module)) << "held by an earlier test";

  int failed_cycles = 0;
  int silent_cycles = 0;
  auto cycle = [&] {
    SpoolSink sink;
    QXOL_HANDLE handle = nullptr;
    bool ok = QXOL_CreateInstance(&handle, ini.c_str(), &SpoolSink::Func, &sink) == QXOL_OK;
    ok = ok && ScriptSpooling(module);
    ok = ok && QXOL_SetValue(handle, QXIDU08_TV_ISV_CALIB_DATA, archive.data(),
                             static_cast<std::int32_t>(archive.size())) == QXOL_OK;
    ok = ok && AllSucceeded(HostJob(kBandRows).Run(handle));
    if (handle != nullptr) ok = QXOL_DeleteInstance(handle) == QXOL_OK && ok;
    failed_cycles += ok ? 0 : 1;
    silent_cycles += sink.blocks.size() == HostJob::kPages * HostJob::kBandsPerPage ? 0 : 1;
  };

  // The first cycle sizes the process-wide working storage.
  cycle();
  const std::size_t descriptors = OpenDescriptors();
  const std::set<std::string> files = MappedFiles();
  counter.Reset();
  for (int i = 1; i < kCycles; ++i) cycle();

  EXPECT_EQ(failed_cycles, 0);
  EXPECT_EQ(silent_cycles, 0) << "every job prints";
  EXPECT_EQ(counter.loads(), kCycles - 1);
  EXPECT_EQ(counter.unloads(), kCycles - 1);
  EXPECT_FALSE(IsLoaded(module));
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_EQ(MappedFiles(), files);
  EXPECT_EQ(temp.Listing(), "");
#ifdef TAVIK_LEAK_CHECK
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "see the leak report above";
#endif
}

}  // namespace
}  // namespace tavik::test
