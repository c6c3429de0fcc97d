// Creation, deletion and the common frame of the exported functions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <string>

#include "config/log.h"
#include "config/paths.h"
#include "qxol.h"
#include "support/end_to_end.h"
#include "support/log_capture.h"

namespace tavik::test {
namespace {

namespace fs = std::filesystem;

int sentinel_storage;
QXOL_HANDLE const kSentinel = &sentinel_storage;

struct CreationCase {
  const char* name;
  std::function<std::string(const TempDir&)> ini;  // returns the path handed over; "" means null
  std::int32_t spool_type;
  std::int32_t expected;
  const char* message;  // error record expected, or nullptr
};

std::string NullPath(const TempDir&) {
  return {};
}

IniSpec Module(const std::string& path) {
  IniSpec spec;
  spec.module = path;
  return spec;
}

const CreationCase kCreationCases[] = {
    {"null path", NullPath, 0, QXOL_ERR_INIT_FAILED, "tavik ini file path is null"},
    {"missing ini", [](const TempDir& d) { return (d.path() / "nope.ini").string(); }, 0,
     QXOL_ERR_INIT_FAILED, nullptr},
    {"empty ini", [](const TempDir& d) { return d.Write("empty.ini", ""); }, 0,
     QXOL_ERR_INIT_FAILED, "couldn't laod dorva hmm module file."},
    {"module path missing",
     [](const TempDir& d) { return WriteIni(d, Module((d.path() / "none.so").string())); }, 0,
     QXOL_ERR_INIT_FAILED, "couldn't laod dorva hmm module file."},
    {"module path is a directory",
     [](const TempDir& d) { return WriteIni(d, Module(d.path().string())); }, 0,
     QXOL_ERR_INIT_FAILED, "couldn't laod dorva hmm module file."},
    {"module not loadable",
     [](const TempDir& d) { return WriteIni(d, Module(DoublePath("not_a_module"))); }, 0,
     QXOL_ERR_INIT_FAILED, "couldn't laod dorva hmm module file."},
    {"module without GetInkAmount",
     [](const TempDir& d) { return WriteIni(d, Module(DoublePath("dorva_double_no_ink"))); }, 0,
     QXOL_ERR_INIT_FAILED, "couldn't laod dorva hmm module file."},
    {"spool type 1", [](const TempDir& d) { return WriteIni(d); }, 1, QXOL_ERR_INVALID_ARGUMENT,
     "not support function type: 1"},
    {"spool type -1", [](const TempDir& d) { return WriteIni(d); }, -1, QXOL_ERR_INVALID_ARGUMENT,
     "not support function type: -1"},
    {"spool type 0", [](const TempDir& d) { return WriteIni(d); }, 0, QXOL_OK, nullptr},
    {"spool type 5", [](const TempDir& d) { return WriteIni(d); }, 5, QXOL_OK, nullptr},
    {"module without IDF entry points",
     [](const TempDir& d) { return WriteIni(d, Module(DoublePath("dorva_double_no_idf"))); }, 0,
     QXOL_OK, nullptr},
};

TEST(Creation, EveryOutcomeOfInitialisation) {
  for (const auto& c : kCreationCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = c.ini(dir);
    LogCapture log;
    QXOL_HANDLE handle = kSentinel;
    const std::int32_t result = QXOL_CreateInstance2(&handle, path.empty() ? nullptr : path.c_str(),
                                                     c.spool_type, nullptr, nullptr);
    EXPECT_EQ(result, c.expected);
    if (c.message != nullptr) {
      EXPECT_TRUE(log.Has(kError, c.message));
    }
    if (c.expected == QXOL_OK) {
      ASSERT_NE(handle, kSentinel);
      ASSERT_NE(handle, nullptr);
      EXPECT_EQ(QXOL_DeleteInstance(handle), QXOL_OK);
    } else {
      EXPECT_EQ(handle, kSentinel) << "a failed creation must leave the handle alone";
    }
  }
}

TEST(Creation, UnreadableIniNamesThePathAsGiven) {
  LogCapture log;
  QXOL_HANDLE handle = kSentinel;
  EXPECT_EQ(QXOL_CreateInstance(&handle, "no/such/tavik.ini", nullptr, nullptr),
            QXOL_ERR_INIT_FAILED);
  EXPECT_TRUE(log.Has(kError, "couldn't laod tavik ini file: no/such/tavik.ini"));
  EXPECT_EQ(handle, kSentinel);
}

TEST(Creation, NullOutParameterCreatesNothing) {
  LoadCounter counter;
  TempDir dir;
  const std::string ini = WriteIni(dir);
  EXPECT_EQ(QXOL_CreateInstance(nullptr, ini.c_str(), nullptr, nullptr), QXOL_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(QXOL_CreateInstance2(nullptr, ini.c_str(), 0, nullptr, nullptr),
            QXOL_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(counter.loads(), 0);
}

TEST(Creation, ModuleIsUnloadedExactlyOnce) {
  LoadCounter counter;
  TempDir dir;
  {
    Instance instance(WriteIni(dir));
    ASSERT_TRUE(instance.ok());
    EXPECT_EQ(counter.loads(), 1);
    EXPECT_EQ(counter.unloads(), 0);
    EXPECT_EQ(instance.Delete(), QXOL_OK);
  }
  EXPECT_EQ(counter.unloads(), 1);

  counter.Reset();
  QXOL_HANDLE handle = kSentinel;
  const std::string no_ink = WriteIni(dir, Module(DoublePath("dorva_double_no_ink")));
  EXPECT_EQ(QXOL_CreateInstance(&handle, no_ink.c_str(), nullptr, nullptr), QXOL_ERR_INIT_FAILED);
  EXPECT_EQ(counter.loads(), 1);
  EXPECT_EQ(counter.unloads(), 1);
}

TEST(Creation, RelativeModulePathIsTakenFromTheLibraryDirectory) {
  // Pretend the library file sits beside the doubles: a bare file name then
  // names the double, and an absolute path stays as it is.
  TempDir dir;
  const fs::path module = DoublePath("dorva_double");
  SetLibraryFilePath((module.parent_path() / "QXTV64_RN07.so").string());
  EXPECT_EQ(ResolvePath("dorva_double.so"), (module.parent_path() / "dorva_double.so").string());
  EXPECT_EQ(ResolvePath("/abs/x.so"), "/abs/x.so");
  Instance instance(WriteIni(dir, Module(module.filename().string())));
  SetLibraryFilePath("");
  EXPECT_EQ(instance.result(), QXOL_OK);
}

using HandleCall = std::function<std::int32_t()>;

TEST(ExportFrame, NullHandleIsRefusedByEveryFunction) {
  QXOL_BASE_INFO base{};
  QXOL_IMAGE_INFO image{};
  QXOL_CONVERT_INFO convert{};
  QXOL_BAND_INFO band{};
  QXOL_BAND_DATA data{};
  QXOL_IDF_DATA idf{};
  std::int32_t n = 1, v = 0;
  const std::pair<const char*, HandleCall> calls[] = {
      {"DeleteInstance", [] { return QXOL_DeleteInstance(nullptr); }},
      {"StartJob", [] { return QXOL_StartJob(nullptr); }},
      {"EndJob", [] { return QXOL_EndJob(nullptr); }},
      {"StartPage", [&] { return QXOL_StartPage(nullptr, &base, 1, &image, 1, &convert); }},
      {"EndPage", [] { return QXOL_EndPage(nullptr, 0); }},
      {"StartRepeatMode", [] { return QXOL_StartRepeatMode(nullptr); }},
      {"DoRepeat", [] { return QXOL_DoRepeat(nullptr); }},
      {"EndRepeatMode", [] { return QXOL_EndRepeatMode(nullptr); }},
      {"BandOut", [&] { return QXOL_BandOut(nullptr, 1, &band, 1, &data); }},
      {"BandOut2", [&] { return QXOL_BandOut2(nullptr, 1, &band, 1, &data, 0); }},
      {"SetValue", [&] { return QXOL_SetValue(nullptr, QXIDS32_H_HALFTONE_TYPE, &v, 1); }},
      {"GetValue", [&] { return QXOL_GetValue(nullptr, QXIDS32_H_HALFTONE_TYPE, &v, &n); }},
      {"EnumPmIndex", [&] { return QXOL_EnumPmIndex(nullptr, &v, &n); }},
      {"EnumPmInfoID", [&] { return QXOL_EnumPmInfoID(nullptr, &v, &n); }},
      {"GetPmInfoValue",
       [&] { return QXOL_GetPmInfoValue(nullptr, 0, QXIDS32_H_HALFTONE_TYPE, &v, &n); }},
      {"PrvGetIDFData1", [&] { return QXOL_PrvGetIDFData1(nullptr, &idf, &idf); }},
      {"PrvGetIDFData2", [&] { return QXOL_PrvGetIDFData2(nullptr, &v, &v, &v, &v); }},
      {"CalcPrivatePMI", [] { return QXTV_CalcPrivatePMI(nullptr, 3, "<Model/>"); }},
  };
  for (const auto& [name, call] : calls) {
    SCOPED_TRACE(name);
    EXPECT_EQ(call(), QXOL_ERR_INVALID_ARGUMENT);
  }
}

TEST(ExportFrame, EntryMessagesAreTracedBeforeTheHandleCheck) {
  LogCapture log(0);
  std::int32_t v = 0;
  QXOL_StartJob(nullptr);
  QXOL_EndPage(nullptr, 7);
  QXOL_SetValue(nullptr, 600, &v, 2);
  QXOL_GetValue(nullptr, 600, &v, nullptr);
  QXTV_CalcPrivatePMI(nullptr, 4, "secret");
  const auto records = log.records();
  ASSERT_EQ(records.size(), 5u);
  for (const auto& r : records) EXPECT_EQ(r.level, kTrace);
  EXPECT_EQ(records[0].text, "[QXOL_StartJob] instance = 0x0 ");
  EXPECT_EQ(records[1].text, "[QXOL_EndPage] instance = 0x0 terminate = 7 ");
  EXPECT_EQ(records[2].text, "[QXOL_SetValue] instance = 0x0 param_id = 600 value_num = 2 ");
  EXPECT_EQ(records[3].text, "[QXOL_GetValue] instance = 0x0 param_id = 600 p_value_num = -1 ");
  EXPECT_EQ(records[4].text,
            "[QXTV_CalcPrivatePMI] pmi_on_mpk = 4 mpk_control_file_content = "
            "(control file content)");
}

TEST(ExportFrame, TraceOffCostsNoRecord) {
  LogCapture log(2);
  QXOL_StartJob(nullptr);
  EXPECT_TRUE(log.records().empty());
}

class WithInstance : public ::testing::Test {
 protected:
  TempDir dir_;
  DoubleModule double_;
  SpoolSink sink_;
};

TEST_F(WithInstance, UnsupportedOperationsAnswerNotSupported) {
  Instance instance(WriteIni(dir_));
  ASSERT_TRUE(instance.ok());
  LogCapture log;
  QXOL_HANDLE h = instance.handle();
  EXPECT_EQ(QXOL_StartRepeatMode(h), QXOL_ERR_NOT_SUPPORTED);
  EXPECT_EQ(QXOL_DoRepeat(h), QXOL_ERR_NOT_SUPPORTED);
  EXPECT_EQ(QXOL_EndRepeatMode(h), QXOL_ERR_NOT_SUPPORTED);
  EXPECT_EQ(QXOL_EnumPmInfoID(h, nullptr, nullptr), QXOL_ERR_NOT_SUPPORTED);
  EXPECT_EQ(log.Count("no plans to support"), 4);
  EXPECT_TRUE(log.Has(kCritical, "no plans to support"));
}

TEST_F(WithInstance, ExceptionInAnOperationBecomesInternalError) {
  // A band for a page whose pixel format is unknown throws inside the band
  // path once the job is open; the frame must turn it into a result code.
  Instance instance(WriteIni(dir_));
  ASSERT_TRUE(instance.ok());
  QXOL_BASE_INFO base{};
  base.paper_width = 100;
  base.paper_height = 100;
  std::int32_t channels[1] = {0};
  QXOL_IMAGE_INFO image{360, 360, 10, 10, 1, 1, channels, 3};
  QXOL_CONVERT_INFO convert{};
  ASSERT_EQ(QXOL_StartPage(instance.handle(), &base, 1, &image, 1, &convert), QXOL_OK);
  std::vector<unsigned char> pixels(30 * 2);
  unsigned char* planes[1] = {pixels.data()};
  QXOL_BAND_INFO band{0, 0, 10, 2, -1, -1, -1, -1};
  QXOL_BAND_DATA data{planes, 30, 0};
  ASSERT_EQ(QXOL_BandOut2(instance.handle(), 1, &band, 1, &data, 0), QXOL_OK);
  // Same job, but the page now claims data_type 9.
  QXOL_IMAGE_INFO unknown = image;
  unknown.data_type = 9;
  ASSERT_EQ(QXOL_StartPage(instance.handle(), &base, 1, &unknown, 1, &convert), QXOL_OK);
  LogCapture log;
  // The page must open (InitPage) before the format check refuses the band.
  EXPECT_EQ(QXOL_BandOut2(instance.handle(), 1, &band, 1, &data, 0), QXOL_ERR_INTERNAL);
  EXPECT_TRUE(log.Has(kError, "std::exception caught: unknown pixel format of the page"));
}

TEST_F(WithInstance, SpoolRelayReachesTheHostOrSwallowsData) {
  using tavik_double::Entry;
  const std::vector<unsigned char> bytes = {1, 2, 3, 0xff};
  double_.control().spools.push_back({Entry::kInitPage, 0, bytes});

  struct Case {
    const char* name;
    bool callback;
    std::int32_t host_answer;
    std::int32_t relay_answer;
  } cases[] = {
      {"no callback", false, 0, 1}, {"host takes it", true, 7, 1}, {"host refuses", true, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    double_.control().calls.clear();
    SpoolSink sink;
    sink.answer = c.host_answer;
    Instance instance(WriteIni(dir_), c.callback ? &SpoolSink::Func : nullptr, &sink);
    ASSERT_TRUE(instance.ok());
    QXOL_BASE_INFO base{0, 100, 100, 0, nullptr, 0, nullptr};
    QXOL_IMAGE_INFO image{360, 360, 10, 10, 2, 0, nullptr, 1};
    QXOL_CONVERT_INFO convert{};
    ASSERT_EQ(QXOL_StartPage(instance.handle(), &base, 1, &image, 1, &convert), QXOL_OK);
    std::vector<unsigned char> plane(10);
    unsigned char* planes[4] = {plane.data(), plane.data(), plane.data(), plane.data()};
    QXOL_BAND_INFO band{0, 0, 10, 1, -1, -1, -1, -1};
    QXOL_BAND_DATA data{planes, 10, 0};
    ASSERT_EQ(QXOL_BandOut2(instance.handle(), 1, &band, 1, &data, 0), QXOL_OK);
    const auto* init_page = double_.control().Last(Entry::kInitPage);
    ASSERT_NE(init_page, nullptr);
    ASSERT_EQ(init_page->spool.size(), 1u);
    EXPECT_EQ(init_page->spool[0].answer, c.relay_answer);
    if (c.callback) {
      ASSERT_EQ(sink.blocks.size(), 1u);
      EXPECT_EQ(std::vector<unsigned char>(sink.blocks[0].begin(), sink.blocks[0].end()), bytes);
      EXPECT_EQ(sink.contexts[0], &sink);
    } else {
      EXPECT_TRUE(sink.blocks.empty());
    }
  }
}

class DiagnosticDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TAVIK_DIAG_DIR");
    if (old != nullptr) old_ = old;
    setenv("TAVIK_DIAG_DIR", diag_.path().c_str(), 1);
  }
  void TearDown() override {
    if (old_.empty()) {
      unsetenv("TAVIK_DIAG_DIR");
    } else {
      setenv("TAVIK_DIAG_DIR", old_.c_str(), 1);
    }
    RestoreConsoleLogger();
  }
  TempDir diag_;
  TempDir dir_;
  DoubleModule double_;
  std::string old_;
};

TEST_F(DiagnosticDirectory, FileLogIsNamedByTheTimeAndEndsLinesWithCrLf) {
  {
    Instance first(WriteIni(dir_));
    ASSERT_TRUE(first.ok());
    spdlog::default_logger()->error("first line");
    // A second creation replaces the file logger instead of failing on its name.
    Instance second(WriteIni(dir_));
    ASSERT_EQ(second.result(), QXOL_OK);
    spdlog::default_logger()->error("second line");
    spdlog::default_logger()->flush();
  }
  std::vector<fs::path> logs;
  for (const auto& entry : fs::directory_iterator(diag_.path())) logs.push_back(entry.path());
  ASSERT_FALSE(logs.empty());
  std::string all;
  for (const auto& file : logs) {
    EXPECT_TRUE(
        std::regex_match(file.filename().string(), std::regex(R"(HTM_TV_\d{8}_\d{6}\.log)")))
        << file;
    std::ifstream in(file, std::ios::binary);
    all += std::string(std::istreambuf_iterator<char>(in), {});
  }
  EXPECT_TRUE(std::regex_search(
      all, std::regex(R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] \[basic_logger\] )"
                      R"(\[error\] first line\r\n)")));
  EXPECT_NE(all.find("[error] second line\r\n"), std::string::npos);
}

TEST_F(DiagnosticDirectory, RegularFileInsteadOfDirectoryInstallsNoLogger) {
  const TempDir parent;
  const std::string file = parent.Write("qxollog", "not a directory");
  setenv("TAVIK_DIAG_DIR", file.c_str(), 1);
  Instance instance(WriteIni(dir_));
  ASSERT_TRUE(instance.ok());
  EXPECT_EQ(spdlog::get("basic_logger"), nullptr);
}

}  // namespace
}  // namespace tavik::test
