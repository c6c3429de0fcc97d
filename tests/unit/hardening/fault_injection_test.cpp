// Faults injected at every module call of a two-page job, in the host's spool
// callback, in the module file, in the diagnostic directories and in the
// temporary area. After each: the specified result, no temporary entry left,
// and the next job (on the same instance, or on a new one when the instance
// could not be made) prints.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "config/log.h"
#include "support/log_capture.h"
#include "unit/hardening/host_job.h"

namespace tavik::test {
namespace {

namespace fs = std::filesystem;
using tavik_double::Entry;

const std::vector<unsigned char> kCa1Bytes = {'C', 'A', '1', 0, 1, 2, 3};
const std::vector<unsigned char> kSpoolBlock = {0x1B, 'P', 'D'};

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Every module call delivers a block, so printing is visible at the host.
    control().spools.push_back({Entry::kBandOut, 0, kSpoolBlock});
  }

  tavik_double::Control& control() { return double_.control(); }

  // Runs the job and checks the module and the host saw a whole, uneventful
  // job: every call in order, every band's block delivered, and the stored
  // calibration file handed to the module.
  void ExpectJobPrints(QXOL_HANDLE instance, bool with_calibration = true) {
    control().calls.clear();
    sink_.blocks.clear();
    const std::vector<HostCall> calls = HostJob().Run(instance);
    std::vector<std::string> names;
    for (const HostCall& c : calls) names.push_back(c.name);
    EXPECT_EQ(names, HostCallNames());
    EXPECT_TRUE(AllSucceeded(calls));
    EXPECT_EQ(control().Sequence(), HostJob::ModuleSequence());
    EXPECT_EQ(sink_.blocks.size(),
              static_cast<std::size_t>(HostJob::kPages * HostJob::kBandsPerPage));
    const tavik_double::Call* init_job = control().Last(Entry::kInitJob);
    ASSERT_NE(init_job, nullptr);
    if (with_calibration) {
      ASSERT_TRUE(init_job->prt && init_job->prt->brs_data);
      EXPECT_EQ(init_job->prt->brs_data->ca1_data, kCa1Bytes);
    }
  }

  std::int32_t StoreCalibration(QXOL_HANDLE instance) {
    const std::vector<unsigned char> archive = CalibrationArchive(kCa1Bytes);
    return QXOL_SetValue(instance, QXIDU08_TV_ISV_CALIB_DATA, archive.data(),
                         static_cast<std::int32_t>(archive.size()));
  }

  TempDir dir_;
  DoubleModule double_;
  SpoolSink sink_;
  LogCapture log_{kError};
  ScopedEnv no_diagnostics_{"TAVIK_DIAG_DIR", (dir_.path() / "no-diagnostics").string()};
  // Last, so that only the library's own entries can appear in it.
  PrivateTempArea temp_;
};

// --- a failing module call ----------------------------------------------------

struct ModuleFault {
  Entry entry;
  int n;                     // which call of the entry point fails
  const char* failing_call;  // the host call that receives the failure
  const char* log_text;
};

const ModuleFault kModuleFaults[] = {
    {Entry::kInitJob, 1, "Band 1.1", "error at HTM1 InitJob(): -7"},
    {Entry::kInitPage, 1, "Band 1.1", "error at HTM1 InitPage(): -7"},
    {Entry::kInitPage, 2, "Band 2.1", "error at HTM1 InitPage(): -7"},
    {Entry::kBandOut, 1, "Band 1.1", "error at HTM1 BandOutP(): -7"},
    {Entry::kBandOut, 2, "Band 1.2", "error at HTM1 BandOutP(): -7"},
    {Entry::kBandOut, 3, "Band 2.1", "error at HTM1 BandOutP(): -7"},
    {Entry::kBandOut, 4, "Band 2.2", "error at HTM1 BandOutP(): -7"},
    {Entry::kTerminatePageEx, 1, "EndPage 1", "error at HTM1 TerminatePageEx(): -7"},
    {Entry::kTerminatePageEx, 2, "EndPage 2", "error at HTM1 TerminatePageEx(): -7"},
    {Entry::kDestroyJob, 1, "EndJob", "error at HTM1 DestroyJob(): -7"},
};

TEST_F(FaultTest, EveryModuleCallOfAJobMayFailAndTheNextJobPrints) {
  const Instance instance(WriteIni(dir_), &SpoolSink::Func, &sink_);
  ASSERT_TRUE(instance.ok());
  ASSERT_EQ(StoreCalibration(instance.handle()), QXOL_OK);
  const std::vector<std::string> names = HostCallNames();

  for (const ModuleFault& fault : kModuleFaults) {
    SCOPED_TRACE(std::string(tavik_double::EntryName(fault.entry)) + " call " +
                 std::to_string(fault.n));
    control().Reset();
    control().spools.push_back({Entry::kBandOut, 0, kSpoolBlock});
    control().statuses.push_back({fault.entry, fault.n, -7});
    log_.Clear();

    const std::vector<HostCall> calls = HostJob().Run(instance.handle());

    // Every call up to the failing one succeeded; that one got the module
    // failure code; closing the abandoned job succeeded.
    std::size_t i = 0;
    for (; i < calls.size() && calls[i].name != fault.failing_call; ++i) {
      EXPECT_EQ(calls[i].name, names[i]);
      EXPECT_EQ(calls[i].result, QXOL_OK) << calls[i].name;
    }
    ASSERT_LT(i, calls.size()) << "no call failed";
    EXPECT_EQ(calls[i].result, QXOL_ERR_INTERNAL);
    for (++i; i < calls.size(); ++i) {
      EXPECT_EQ(calls[i].name.rfind("abandon ", 0), 0u) << calls[i].name;
      EXPECT_EQ(calls[i].result, QXOL_OK) << calls[i].name;
    }
    EXPECT_EQ(log_.Count(fault.log_text), 1);

    // The module is left with neither a page nor a job open.
    int open_pages = 0;
    int open_jobs = 0;
    for (const tavik_double::Call& call : control().calls) {
      const int delta = call.status == 0 ? 1 : 0;
      if (call.entry == Entry::kInitPage) open_pages += delta;
      if (call.entry == Entry::kTerminatePageEx) open_pages -= delta;
      if (call.entry == Entry::kInitJob) open_jobs += delta;
      if (call.entry == Entry::kDestroyJob) open_jobs -= delta;
    }
    EXPECT_EQ(open_pages, 0);
    EXPECT_EQ(open_jobs, 0);
    EXPECT_EQ(temp_.Listing(), "");

    control().statuses.clear();
    ExpectJobPrints(instance.handle());
    EXPECT_EQ(temp_.Listing(), "");
  }
}

TEST_F(FaultTest, SpoolRefusalReachesTheModuleAndTheNextJobPrints) {
  const Instance instance(WriteIni(dir_), &SpoolSink::Func, &sink_);
  ASSERT_TRUE(instance.ok());
  ASSERT_EQ(StoreCalibration(instance.handle()), QXOL_OK);

  sink_.answer = 0;
  const std::vector<HostCall> calls = HostJob().Run(instance.handle());
  // The module decides what a refused block means; this one carries on.
  EXPECT_TRUE(AllSucceeded(calls));
  int deliveries = 0;
  for (const tavik_double::Call& call : control().calls) {
    for (const tavik_double::SpoolDelivery& delivery : call.spool) {
      EXPECT_EQ(delivery.answer, 0);
      ++deliveries;
    }
  }
  EXPECT_EQ(deliveries, HostJob::kPages * HostJob::kBandsPerPage);

  sink_.answer = 1;
  ExpectJobPrints(instance.handle());
  for (const tavik_double::Call& call : control().calls) {
    for (const tavik_double::SpoolDelivery& delivery : call.spool) EXPECT_EQ(delivery.answer, 1);
  }
  EXPECT_EQ(temp_.Listing(), "");
}

// --- the module file ------------------------------------------------------------

TEST_F(FaultTest, ModuleThatCannotBeBoundFailsCreationAndTheNextInstancePrints) {
  fs::create_directory(dir_.path() / "a-directory.so");
  const struct {
    const char* name;
    std::string module;  // empty: no DV_MOD_HMM line at all
  } cases[] = {
      {"no module configured", ""},
      {"missing file", (dir_.path() / "absent.so").string()},
      {"a directory", (dir_.path() / "a-directory.so").string()},
      {"not a shared library", DoublePath("not_a_module")},
      {"an entry point missing", DoublePath("dorva_double_no_ink")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    IniSpec spec;
    spec.module = c.module;
    QXOL_HANDLE handle = nullptr;
    EXPECT_EQ(QXOL_CreateInstance(&handle, WriteIni(dir_, spec).c_str(), &SpoolSink::Func, &sink_),
              QXOL_ERR_INIT_FAILED);
    EXPECT_EQ(handle, nullptr);
    EXPECT_TRUE(log_.Has(kError, "couldn't laod dorva hmm module file."));
    log_.Clear();

    const Instance next(WriteIni(dir_), &SpoolSink::Func, &sink_);
    ASSERT_TRUE(next.ok());
    ExpectJobPrints(next.handle(), /*with_calibration=*/false);
  }
  EXPECT_EQ(temp_.Listing(), "");
}

TEST_F(FaultTest, ModuleFileThatVanishesAfterCreationStillPrints) {
  // A copy of its own, so that it is a module no one else holds open.
  const fs::path copy = dir_.path() / "vanishing.so";
  fs::copy_file(DoublePath("dorva_double"), copy);
  IniSpec spec;
  spec.module = copy.string();
  const std::string ini = WriteIni(dir_, spec);

  Instance instance(ini, &SpoolSink::Func, &sink_);
  ASSERT_TRUE(instance.ok());
  // The copy keeps its own script; reach it while its file is still there.
  std::optional<DoubleAt> vanishing(std::in_place, copy.string());
  vanishing->control().spools.push_back({Entry::kBandOut, 0, kSpoolBlock});
  fs::remove(copy);

  std::vector<HostCall> calls = HostJob().Run(instance.handle());
  EXPECT_TRUE(AllSucceeded(calls));
  EXPECT_EQ(vanishing->control().Sequence(), HostJob::ModuleSequence());
  EXPECT_EQ(sink_.blocks.size(),
            static_cast<std::size_t>(HostJob::kPages * HostJob::kBandsPerPage));

  // A new instance cannot load what is gone.
  QXOL_HANDLE handle = nullptr;
  EXPECT_EQ(QXOL_CreateInstance(&handle, ini.c_str(), &SpoolSink::Func, &sink_),
            QXOL_ERR_INIT_FAILED);

  vanishing.reset();
  EXPECT_EQ(instance.Delete(), QXOL_OK);
  EXPECT_FALSE(IsLoaded(copy.string()));
}

// --- diagnostics ----------------------------------------------------------------

TEST_F(FaultTest, UnwritableLogDirectoryFailsCreationAndTheNextInstancePrints) {
  {
    const ScopedEnv diagnostics("TAVIK_DIAG_DIR", UnwritableDirectory());
    QXOL_HANDLE handle = nullptr;
    EXPECT_EQ(QXOL_CreateInstance(&handle, WriteIni(dir_).c_str(), &SpoolSink::Func, &sink_),
              QXOL_ERR_INTERNAL);
    EXPECT_EQ(handle, nullptr);
  }
  const Instance next(WriteIni(dir_), &SpoolSink::Func, &sink_);
  ASSERT_TRUE(next.ok());
  ExpectJobPrints(next.handle(), /*with_calibration=*/false);
  EXPECT_EQ(temp_.Listing(), "");
}

TEST_F(FaultTest, DumpsThatCannotBeWrittenAreSkippedAndTheJobPrints) {
  const KeepFd3Open fd3;
  const Instance instance(WriteIni(dir_), &SpoolSink::Func, &sink_);
  ASSERT_TRUE(instance.ok());
  ASSERT_EQ(StoreCalibration(instance.handle()), QXOL_OK);

  // A diagnostic directory whose dump switch exists but whose dump files
  // cannot be made: every name already taken by a directory.
  const fs::path taken = dir_.path() / "diag-taken";
  fs::create_directories(taken / "3");
  for (int top = 0; top < HostJob::kBandsPerPage * HostJob::kBandRows; top += HostJob::kBandRows) {
    fs::create_directory(taken /
                         ("tvbanddata_left0_top" + std::to_string(top) + "_right" +
                          std::to_string(HostJob::kWidth) + "_bottom" +
                          std::to_string(top + HostJob::kBandRows) + "_bpp1_4ch_planar.raw"));
  }
  const struct {
    const char* name;
    std::string directory;
  } cases[] = {
      {"directory nobody can write", UnwritableDirectory()},
      {"dump names taken", taken.string()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(fs::exists(fs::path(c.directory) / "3"));
    const ScopedEnv diagnostics("TAVIK_DIAG_DIR", c.directory);
    ExpectJobPrints(instance.handle());
  }
  EXPECT_EQ(temp_.Listing(), "");
}

// --- the temporary area -----------------------------------------------------------

class TempAreaFaultTest : public FaultTest {
 protected:
  // Printer named and a tool configured, so the module is asked for its files.
  std::string CalibratingIni() {
    IniSpec spec;
    spec.lines = {{"DV_MOD_ISV", "isv-tool"}};
    return WriteIni(dir_, spec);
  }
  void NamePrinter(QXOL_HANDLE instance) {
    const std::int32_t type = 7;
    const char name[] = "plotter";
    ASSERT_EQ(QXOL_SetValue(instance, QXIDS32_TV_ISV_PRINTER_TYPE, &type, 1), QXOL_OK);
    ASSERT_EQ(QXOL_SetValue(instance, QXIDSTR_TV_ISV_PRINTER_NAME, name, 7), QXOL_OK);
    control().calib_files = {{"printer.CA1", kCa1Bytes}};
  }
};

struct BadTempArea {
  const char* name;
  std::string path;
};

std::vector<BadTempArea> BadTempAreas(const TempDir& dir) {
  const std::string file = dir.Write("a-file", "x");
  return {
      {"missing", (dir.path() / "missing").string()},
      {"a file", file},
      {"nobody can write", UnwritableDirectory()},
  };
}

TEST_F(TempAreaFaultTest, AcquisitionWithoutATemporaryDirectoryFailsAndSucceedsLater) {
  const Instance instance(CalibratingIni(), &SpoolSink::Func, &sink_);
  ASSERT_TRUE(instance.ok());
  NamePrinter(instance.handle());

  for (const BadTempArea& area : BadTempAreas(dir_)) {
    SCOPED_TRACE(area.name);
    {
      const ScopedEnv tmpdir("TMPDIR", area.path);
      std::int32_t count = 0;
      EXPECT_EQ(QXOL_GetValue(instance.handle(), QXIDU08_TV_ISV_CALIB_DATA, nullptr, &count),
                QXOL_ERR_INTERNAL);
      EXPECT_EQ(control().Count(Entry::kGetCalibData), 0);
    }
    // Nothing was stored: the job runs without calibration data.
    ExpectJobPrints(instance.handle(), /*with_calibration=*/false);
    const tavik_double::Call* init_job = control().Last(Entry::kInitJob);
    ASSERT_TRUE(init_job != nullptr && init_job->prt && init_job->prt->brs_data);
    EXPECT_FALSE(init_job->prt->brs_data->ca1_data);
  }

  std::int32_t count = 0;
  EXPECT_EQ(QXOL_GetValue(instance.handle(), QXIDU08_TV_ISV_CALIB_DATA, nullptr, &count),
            QXOL_ERR_BUFFER_TOO_SMALL);
  EXPECT_GT(count, 7);
  ExpectJobPrints(instance.handle());
  EXPECT_EQ(temp_.Listing(), "");
}

TEST_F(TempAreaFaultTest, ExpansionWithoutATemporaryDirectoryDropsTheRecordAndRecovers) {
  const Instance instance(CalibratingIni(), &SpoolSink::Func, &sink_);
  ASSERT_TRUE(instance.ok());
  ASSERT_EQ(StoreCalibration(instance.handle()), QXOL_OK);

  for (const BadTempArea& area : BadTempAreas(dir_)) {
    SCOPED_TRACE(area.name);
    {
      const ScopedEnv tmpdir("TMPDIR", area.path);
      control().calls.clear();
      EXPECT_TRUE(AllSucceeded(HostJob().Run(instance.handle())));
      const tavik_double::Call* init_job = control().Last(Entry::kInitJob);
      ASSERT_NE(init_job, nullptr);
      EXPECT_FALSE(init_job->prt->brs_data) << "the record is dropped, not sent half-filled";
    }
    ExpectJobPrints(instance.handle());
  }
  EXPECT_EQ(temp_.Listing(), "");
}

}  // namespace
}  // namespace tavik::test
