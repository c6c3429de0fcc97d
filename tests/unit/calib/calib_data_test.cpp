// Calibration data through the exported functions: acquisition from the
// module into the archive the host keeps, and expansion into every job.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "calib/member_archive.h"
#include "config/log.h"
#include "qxol.h"
#include "support/end_to_end.h"
#include "support/log_capture.h"

namespace tavik::test {
namespace {

using tavik_double::Entry;
using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;

Bytes B(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// Points the system temporary directory at a private, initially empty one, so
// a test sees every directory the library creates there and whether it stays.
class ScopedTmpDir {
 public:
  explicit ScopedTmpDir(const fs::path& path) : path_(path) {
    fs::create_directories(path_);
    if (const char* old = getenv("TMPDIR")) saved_ = old;
    setenv("TMPDIR", path_.c_str(), 1);
  }
  ~ScopedTmpDir() {
    if (saved_) {
      setenv("TMPDIR", saved_->c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().string());
    return names;
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
  std::optional<std::string> saved_;
};

struct Printer {  // what the instance is given about the printer
  bool tool_path = true;
  bool printer_type = true;
  bool printer_name = true;
};

class CalibData : public ::testing::Test {
 protected:
  void Create(const Printer& setup = {}) {
    IniSpec spec;
    if (setup.tool_path) spec.lines.emplace_back("DV_MOD_ISV", "tools/isv");
    instance_ = std::make_unique<Instance>(WriteIni(dir_, spec));
    ASSERT_TRUE(instance_->ok()) << instance_->result();
    if (setup.printer_type) {
      const std::int32_t type = 7;
      ASSERT_EQ(QXOL_SetValue(h(), QXIDS32_TV_ISV_PRINTER_TYPE, &type, 1), QXOL_OK);
    }
    if (setup.printer_name) {
      const std::string name = "Wide 64";
      ASSERT_EQ(QXOL_SetValue(h(), QXIDSTR_TV_ISV_PRINTER_NAME, name.data(),
                              static_cast<std::int32_t>(name.size())),
                QXOL_OK);
    }
  }
  void TearDown() override { instance_.reset(); }

  QXOL_HANDLE h() const { return instance_->handle(); }
  tavik_double::Control& control() { return double_.control(); }

  // GetValue of the archive with a buffer large enough for any test.
  std::int32_t GetArchive(Bytes& out) {
    out.assign(1 << 16, 0);
    std::int32_t num = static_cast<std::int32_t>(out.size());
    const std::int32_t result = QXOL_GetValue(h(), QXIDU08_TV_ISV_CALIB_DATA, out.data(), &num);
    out.resize(result == QXOL_OK ? static_cast<std::size_t>(num) : 0);
    return result;
  }

  void SetArchive(const Bytes& archive) {
    ASSERT_EQ(QXOL_SetValue(h(), QXIDU08_TV_ISV_CALIB_DATA, archive.data(),
                            static_cast<std::int32_t>(archive.size())),
              QXOL_OK);
  }

  // One job of one page with one band: the module gets its printer structure
  // at InitJob and its halftone structure at InitPage.
  void RunJob() {
    ASSERT_EQ(QXOL_StartJob(h()), QXOL_OK);
    QXOL_BASE_INFO base{0, 16, 16, 0, nullptr, 0, nullptr};
    QXOL_IMAGE_INFO image{360, 360, 16, 16, 2, 0, nullptr, 1};
    QXOL_CONVERT_INFO convert{};
    ASSERT_EQ(QXOL_StartPage(h(), &base, 1, &image, 1, &convert), QXOL_OK);
    std::vector<Bytes> planes(4, Bytes(16 * 16, 0x80));
    std::vector<unsigned char*> table;
    for (auto& p : planes) table.push_back(p.data());
    QXOL_BAND_INFO band{0, 0, 16, 16, -1, -1, -1, -1};
    QXOL_BAND_DATA data{table.data(), 16, 0};
    ASSERT_EQ(QXOL_BandOut2(h(), 1, &band, 1, &data, 0), QXOL_OK);
    ASSERT_EQ(QXOL_EndPage(h(), 0), QXOL_OK);
    ASSERT_EQ(QXOL_EndJob(h()), QXOL_OK);
  }

  static std::map<std::string, Bytes> Members(const Bytes& archive) {
    ArchiveMemberList members;
    EXPECT_TRUE(ReadArchive(archive, members));
    std::map<std::string, Bytes> out;
    for (const ArchiveMember& m : members) {
      const std::int32_t length = ParseMemberName(m.NameField());
      const auto n = static_cast<std::size_t>(length);
      if (length >= 16) {
        out[std::string(m.data.begin(), m.data.begin() + static_cast<std::ptrdiff_t>(n))] =
            Bytes(m.data.begin() + static_cast<std::ptrdiff_t>(n), m.data.end());
      } else {
        out[std::string(m.NameField().substr(0, n))] = m.data;
      }
    }
    return out;
  }

  // An archive of the given files, made the way the library makes them.
  Bytes ArchiveOf(const std::map<std::string, std::string>& files) {
    TempDir src;
    ArchiveMemberList members;
    for (const auto& [name, content] : files) {
      const auto member = MakeMember(src.Write(name, content), 0, 0, 10644);
      EXPECT_TRUE(member.has_value());
      members.push_back(*member);
    }
    return WriteArchive(members);
  }

  TempDir dir_;
  ScopedTmpDir tmp_{dir_.path() / "tmp"};
  DoubleModule double_;
  std::unique_ptr<Instance> instance_;
};

TEST_F(CalibData, AcquisitionArchivesTheModulesFilesOnce) {
  Create();
  control().calib_files = {{"printer.HC1", B("halftone calibration")},
                           {"printer_long_name.CA1", B("odd")}};
  Bytes first;
  ASSERT_EQ(GetArchive(first), QXOL_OK);

  ASSERT_EQ(control().Count(Entry::kGetCalibData), 1);
  const auto& request = *control().Last(Entry::kGetCalibData)->calib_request;
  EXPECT_EQ(request.record.Version, 1);
  EXPECT_EQ(request.record.PrinterType, 7);
  EXPECT_EQ(request.printer_name, "Wide 64");
  ASSERT_TRUE(request.tool_path.has_value());
  EXPECT_TRUE(fs::path(*request.tool_path).is_absolute());
  EXPECT_EQ(fs::path(*request.tool_path).filename(), "isv");
  ASSERT_TRUE(request.work_dir.has_value());
  EXPECT_EQ(fs::path(*request.work_dir).parent_path(), tmp_.path());
  EXPECT_TRUE(fs::path(*request.work_dir).filename().string().starts_with("tavik-"));

  const std::map<std::string, Bytes> expected = {{"printer.HC1", B("halftone calibration")},
                                                 {"printer_long_name.CA1", B("odd")}};
  EXPECT_EQ(Members(first), expected);
  EXPECT_TRUE(tmp_.Entries().empty());

  Bytes second;
  ASSERT_EQ(GetArchive(second), QXOL_OK);
  EXPECT_EQ(second, first);
  EXPECT_EQ(control().Count(Entry::kGetCalibData), 1);
}

TEST_F(CalibData, WithoutToolPathTheArchiveIsEmptyAndTheModuleIsNotCalled) {
  Create({.tool_path = false});
  control().calib_files = {{"printer.HC1", B("never written")}};
  LogCapture log;
  Bytes archive;
  ASSERT_EQ(GetArchive(archive), QXOL_OK);
  EXPECT_EQ(archive, B("!<arch>"));
  EXPECT_EQ(control().Count(Entry::kGetCalibData), 0);
  EXPECT_TRUE(log.Has(kInfo, "ISVTool path is not set."));
  EXPECT_TRUE(tmp_.Entries().empty());
}

TEST_F(CalibData, UnnamedPrinterIsNotSupported) {
  struct Case {
    Printer setup;
    int level;
    const char* message;
  };
  const Case cases[] = {
      {{.printer_type = false}, kInfo, "Printer type is not set"},
      {{.printer_name = false}, kError, "Printer name is not set."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    control().Reset();
    Create(c.setup);
    LogCapture log;
    Bytes archive;
    EXPECT_EQ(GetArchive(archive), QXOL_ERR_NOT_SUPPORTED);
    EXPECT_TRUE(log.Has(c.level, c.message));
    EXPECT_EQ(control().Count(Entry::kGetCalibData), 0);
    EXPECT_TRUE(tmp_.Entries().empty());
  }
}

TEST_F(CalibData, ModuleRefusalsMapToTheirCodesAndStoreNothing) {
  struct Case {
    std::int32_t status;
    std::int32_t result;
  };
  const Case cases[] = {{-10001, QXOL_ERR_CALIB_MODULE_1},
                        {-10003, QXOL_ERR_CALIB_MODULE_2},
                        {-10002, QXOL_ERR_INTERNAL},
                        {1, QXOL_ERR_INTERNAL}};
  Create();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    control().Reset();
    control().statuses = {{Entry::kGetCalibData, 0, c.status}};
    control().calib_files = {{"printer.HC1", B("partial")}};
    LogCapture log;
    Bytes archive;
    EXPECT_EQ(GetArchive(archive), c.result);
    EXPECT_TRUE(log.Has(kError, "error at HTM1 GetCalibData(): " + std::to_string(c.status)));
    // The work directory goes even though the module failed.
    EXPECT_TRUE(tmp_.Entries().empty());
  }
  // Nothing was stored: the next read asks the module again.
  control().Reset();
  Bytes archive;
  ASSERT_EQ(GetArchive(archive), QXOL_OK);
  EXPECT_EQ(control().Count(Entry::kGetCalibData), 1);
}

TEST_F(CalibData, SubdirectoryInTheWorkDirectoryFailsTheAcquisition) {
  Create();
  control().calib_files = {{"printer.HC1", B("x")}, {"nested", {}, true}};
  LogCapture log;
  Bytes archive;
  EXPECT_EQ(GetArchive(archive), QXOL_ERR_INTERNAL);
  EXPECT_TRUE(log.Has(kError, "failed to archive calib data."));
  EXPECT_TRUE(tmp_.Entries().empty());
}

TEST_F(CalibData, ArchiveSetBackReachesEveryJob) {
  Create();
  control().calib_files = {{"printer.HC1", B("HC1 bytes")}, {"printer.CA1", B("CA1 bytes!")}};
  Bytes archive;
  ASSERT_EQ(GetArchive(archive), QXOL_OK);

  // The host keeps the bytes and gives them to a new instance.
  instance_.reset();
  control().Reset();
  Create();
  SetArchive(archive);
  control().ht_calib_length = 9;
  RunJob();

  const auto& prt = *control().Last(Entry::kInitJob)->prt;
  ASSERT_TRUE(prt.brs_data.has_value());
  EXPECT_EQ(prt.brs_data->ca1_data, B("CA1 bytes!"));
  EXPECT_EQ(prt.brs_data->record.CA1DataSize, 10);
  EXPECT_FALSE(prt.brs_data->bz1_data.has_value());
  EXPECT_EQ(prt.brs_data->record.BZ1DataSize, 0);
  const auto& ht = *control().Last(Entry::kInitPage)->ht;
  EXPECT_EQ(ht.calib_data, B("HC1 bytes"));
  EXPECT_EQ(control().Count(Entry::kGetCalibData), 0);
  EXPECT_TRUE(tmp_.Entries().empty());

  // A later archive without a halftone file leaves the last one in use.
  SetArchive(ArchiveOf({{"next.BZ1", "BZ1"}}));
  RunJob();
  const auto& prt2 = *control().Last(Entry::kInitJob)->prt;
  ASSERT_TRUE(prt2.brs_data.has_value());
  EXPECT_EQ(prt2.brs_data->bz1_data, B("BZ1"));
  EXPECT_FALSE(prt2.brs_data->ca1_data.has_value());
  EXPECT_EQ(control().Last(Entry::kInitPage)->ht->calib_data, B("HC1 bytes"));
}

TEST_F(CalibData, UnknownFilesAreLoggedAndTheRestIsUsed) {
  Create();
  SetArchive(ArchiveOf({{"a.CA1", "first"}, {"notes.txt", "ignored"}, {"b.BZ1", "bz"}}));
  LogCapture log;
  RunJob();
  int unknown = 0;
  for (const LogRecord& r : log.records()) {
    if (r.level == kError && r.text.starts_with("unknown foarmt calib data file. ")) {
      ++unknown;
      EXPECT_EQ(fs::path(r.text.substr(32)).filename(), "notes.txt") << r.text;
    }
  }
  EXPECT_EQ(unknown, 1);
  const auto& prt = *control().Last(Entry::kInitJob)->prt;
  ASSERT_TRUE(prt.brs_data.has_value());
  EXPECT_EQ(prt.brs_data->ca1_data, B("first"));
  EXPECT_EQ(prt.brs_data->bz1_data, B("bz"));
  EXPECT_TRUE(tmp_.Entries().empty());
}

TEST_F(CalibData, UnreadableArchiveDropsTheBrsRecord) {
  Create();
  SetArchive(B("!<arc> not an archive"));
  LogCapture log;
  RunJob();
  EXPECT_TRUE(log.Has(kError, "couldn't load calib data"));
  const auto& prt = *control().Last(Entry::kInitJob)->prt;
  EXPECT_FALSE(prt.brs_data.has_value());
  EXPECT_EQ(prt.record.lpBRSData, nullptr);
  // The job still runs, and no directory is left behind.
  EXPECT_EQ(control().Count(Entry::kInitPage), 1);
  EXPECT_TRUE(tmp_.Entries().empty());
}

TEST_F(CalibData, HostileArchiveWritesNothingOutsideItsDirectory) {
  Create();
  const std::string header_tail = std::string(12, ' ').replace(0, 1, "0") + "0     0     10644   ";
  auto member = [&](const std::string& name_field, const std::string& data) {
    std::string name = name_field;
    name.resize(15, ' ');
    std::string size = std::to_string(data.size());
    size.resize(10, ' ');
    std::string out = name + header_tail + size + "`\n" + data;
    if (data.size() % 2) out += "\n";
    return out;
  };
  const std::string archive = "!<arch>" + member("../escape.CA1", "evil") +
                              member("/tmp/abs.BZ1", "evil") + member("good.CA1", "good");
  SetArchive(B(archive));
  LogCapture log;
  RunJob();
  const auto& prt = *control().Last(Entry::kInitJob)->prt;
  ASSERT_TRUE(prt.brs_data.has_value());
  EXPECT_EQ(prt.brs_data->ca1_data, B("good"));
  EXPECT_FALSE(prt.brs_data->bz1_data.has_value());
  EXPECT_FALSE(fs::exists(tmp_.path() / "escape.CA1"));
  EXPECT_FALSE(fs::exists("/tmp/abs.BZ1"));
  EXPECT_TRUE(tmp_.Entries().empty());
}

}  // namespace
}  // namespace tavik::test
