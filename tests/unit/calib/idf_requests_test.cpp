// The two IDF data requests seen from the host's and the module's side.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "api/tavik_api.h"
#include "qxol.h"
#include "support/end_to_end.h"
#include "support/log_capture.h"

namespace tavik::test {
namespace {

using tavik_double::Entry;
using Ints = std::vector<std::int32_t>;

constexpr std::int32_t kInksets = 4;

// Page geometry given at page start.
constexpr std::int32_t kImageRes = 360;
constexpr std::int32_t kWidth = 16;
constexpr std::int32_t kHeight = 64;
constexpr std::int32_t kPaperWidth = 20;
constexpr std::int32_t kPaperHeight = 300;
constexpr std::int32_t kBaseReserved = 5;

enum class Step { kStartPage, kBand, kEndPage, kEndJob, kIdf1, kIdf2 };

struct Config {
  std::string module = "dorva_double";
  // Value of DV_MOD_HT; no such line when empty.
  std::string hook;
};

class IdfRequests : public ::testing::Test {
 public:
  void Create(const Config& config = {}) {
    IniSpec spec;
    spec.module = DoublePath(config.module);
    if (!config.hook.empty()) spec.lines.emplace_back("DV_MOD_HT", DoublePath(config.hook));
    double_ = std::make_unique<DoubleModule>(config.module);
    instance_ = std::make_unique<Instance>(WriteIni(dir_, spec));
    ASSERT_TRUE(instance_->ok()) << instance_->result();
    Set(QXIDS32_PRT_INKSET_ALL, Ints(kInksets, 1));
  }
  void TearDown() override {
    instance_.reset();
    double_.reset();
  }

  QXOL_HANDLE h() const { return instance_->handle(); }
  tavik_double::Control& control() const { return double_->control(); }
  // The instance behind the handle, for what the host cannot see.
  const TavikApi& api() const {
    return *static_cast<const TavikApi*>(static_cast<const orlen::OrlenApi*>(h()));
  }

  void Set(QXOL_PARAM_ID id, const Ints& values) {
    ASSERT_EQ(QXOL_SetValue(h(), id, values.empty() ? nullptr : values.data(),
                            static_cast<std::int32_t>(values.size())),
              QXOL_OK);
  }
  Ints Get(QXOL_PARAM_ID id) const {
    Ints values(8);
    std::int32_t num = static_cast<std::int32_t>(values.size());
    if (QXOL_GetValue(h(), id, values.data(), &num) != QXOL_OK) return {};
    values.resize(static_cast<std::size_t>(num));
    return values;
  }

  std::int32_t Do(Step step) {
    switch (step) {
      case Step::kStartPage: {
        QXOL_BASE_INFO base{kBaseReserved, kPaperWidth, kPaperHeight, 0, nullptr, 0, nullptr};
        QXOL_IMAGE_INFO image{kImageRes, kImageRes, kWidth, kHeight, 2, 0, nullptr, 1};
        QXOL_CONVERT_INFO convert{};
        convert.intent = 4;  // the one the module supports without being told
        return QXOL_StartPage(h(), &base, 1, &image, 1, &convert);
      }
      case Step::kBand: {
        std::vector<std::vector<unsigned char>> planes(4, std::vector<unsigned char>(kWidth * 8));
        std::vector<unsigned char*> table;
        for (auto& plane : planes) table.push_back(plane.data());
        QXOL_BAND_INFO band{0, 0, kWidth, 8, -1, -1, -1, -1};
        QXOL_BAND_DATA data{table.data(), kWidth, 0};
        return QXOL_BandOut2(h(), 1, &band, 1, &data, 0);
      }
      case Step::kEndPage:
        return QXOL_EndPage(h(), 1);
      case Step::kEndJob:
        return QXOL_EndJob(h());
      case Step::kIdf1: {
        QXOL_IDF_DATA a{nullptr, 0, 0};
        QXOL_IDF_DATA b{nullptr, 0, 0};
        return QXOL_PrvGetIDFData1(h(), &a, &b);
      }
      case Step::kIdf2: {
        std::int32_t value_a = 0, value_b = 0;
        Ints list_a(kInksets), list_b(kInksets);
        return QXOL_PrvGetIDFData2(h(), &value_a, &value_b, list_a.data(), list_b.data());
      }
    }
    return -1;
  }

  TempDir dir_;
  std::unique_ptr<DoubleModule> double_;
  std::unique_ptr<Instance> instance_;
};

TEST_F(IdfRequests, JobAndPageStates) {
  const struct {
    const char* name;
    std::vector<Step> before;
    std::vector<tavik_double::StatusRule> statuses;
    Step request;
    std::int32_t result;
    std::vector<Entry> entries;  // module calls of the request
  } kCases[] = {
      // Status rules hold from the instance's creation on.
      {"first request after page start",
       {Step::kStartPage},
       {},
       Step::kIdf1,
       QXOL_OK,
       {Entry::kInitJob, Entry::kInitPage, Entry::kGetIDFData1}},
      // Ending the printing page empties the page description, so no printer
      // structure can be built for the IDF job; it is marked open all the same.
      {"first request while printing",
       {Step::kStartPage, Step::kBand},
       {},
       Step::kIdf1,
       QXOL_OK,
       {Entry::kTerminatePageEx, Entry::kDestroyJob, Entry::kInitPage, Entry::kGetIDFData1}},
      {"first request twice",
       {Step::kStartPage, Step::kIdf1},
       {},
       Step::kIdf1,
       QXOL_OK,
       {Entry::kGetIDFData1}},
      {"refused job start still counts as open",
       {Step::kStartPage, Step::kIdf1},
       {{Entry::kInitJob, 0, 3}},
       Step::kIdf1,
       QXOL_OK,
       {Entry::kGetIDFData1}},
      {"printing job the module keeps",
       {Step::kStartPage, Step::kBand},
       {{Entry::kDestroyJob, 0, 2}},
       Step::kIdf1,
       QXOL_OK,
       {Entry::kTerminatePageEx, Entry::kDestroyJob, Entry::kInitPage, Entry::kGetIDFData1}},
      {"first request after the second",
       {Step::kStartPage, Step::kIdf2},
       {},
       Step::kIdf1,
       QXOL_OK,
       {Entry::kTerminatePageEx, Entry::kDestroyJob, Entry::kInitPage, Entry::kGetIDFData1}},
      {"first request after end of page and job",
       {Step::kStartPage, Step::kIdf1, Step::kEndPage, Step::kEndJob, Step::kStartPage},
       {},
       Step::kIdf1,
       QXOL_OK,
       {Entry::kInitJob, Entry::kInitPage, Entry::kGetIDFData1}},
      {"second request after page start",
       {Step::kStartPage},
       {},
       Step::kIdf2,
       QXOL_OK,
       {Entry::kInitJob, Entry::kInitPage, Entry::kGetIDFData2}},
      // The IDF job is kept; its IDF page is replaced by a printing one.
      {"second request after the first",
       {Step::kStartPage, Step::kIdf1},
       {},
       Step::kIdf2,
       QXOL_OK,
       {Entry::kTerminatePageEx, Entry::kInitPage, Entry::kGetIDFData2}},
      // A printing page is used as it is, on a job opened afresh.
      {"second request while printing",
       {Step::kStartPage, Step::kBand},
       {},
       Step::kIdf2,
       QXOL_OK,
       {Entry::kDestroyJob, Entry::kInitJob, Entry::kGetIDFData2}},
      {"second request twice",
       {Step::kStartPage, Step::kIdf2},
       {},
       Step::kIdf2,
       QXOL_OK,
       {Entry::kDestroyJob, Entry::kInitJob, Entry::kGetIDFData2}},
      {"second request without a page", {}, {}, Step::kIdf2, QXOL_ERR_INTERNAL, {}},
      {"second request, job refused",
       {Step::kStartPage},
       {{Entry::kInitJob, 0, 3}},
       Step::kIdf2,
       QXOL_ERR_INTERNAL,
       {Entry::kInitJob}},
      {"second request, page refused",
       {Step::kStartPage},
       {{Entry::kInitPage, 0, 3}},
       Step::kIdf2,
       QXOL_ERR_INTERNAL,
       {Entry::kInitJob, Entry::kInitPage}},
      {"first request, page refused",
       {Step::kStartPage},
       {{Entry::kInitPage, 0, 3}},
       Step::kIdf1,
       QXOL_ERR_INTERNAL,
       {Entry::kInitJob, Entry::kInitPage}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Create();
    control().statuses = c.statuses;
    for (const Step step : c.before) Do(step);
    control().calls.clear();
    EXPECT_EQ(Do(c.request), c.result);
    EXPECT_EQ(control().Sequence(), c.entries);
    TearDown();
  }
}

TEST_F(IdfRequests, ClosesPrintingPageWithTerminate) {
  Create();
  Do(Step::kStartPage);
  Do(Step::kBand);
  ASSERT_EQ(Do(Step::kIdf1), QXOL_OK);
  const auto* terminate = control().Last(Entry::kTerminatePageEx);
  ASSERT_NE(terminate, nullptr);
  ASSERT_TRUE(terminate->tp_info.has_value());
  EXPECT_EQ(terminate->tp_info->Version, 1);
}

TEST_F(IdfRequests, FailedPageOpeningIsRetried) {
  const struct {
    const char* name;
    Step request;
  } kCases[] = {{"first", Step::kIdf1}, {"second", Step::kIdf2}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Create();
    Do(Step::kStartPage);
    control().statuses = {{Entry::kInitPage, 1, 7}};
    LogCapture log;
    EXPECT_EQ(Do(c.request), QXOL_ERR_INTERNAL);
    EXPECT_TRUE(log.Has(4, "error at HTM1 InitPage(): 7"));
    control().calls.clear();
    EXPECT_EQ(Do(c.request), QXOL_OK);
    EXPECT_EQ(control().Count(Entry::kInitPage), 1);
    TearDown();
  }
}

TEST_F(IdfRequests, JobStartFailuresAreLogged) {
  const struct {
    const char* name;
    bool start_page;
    std::vector<tavik_double::StatusRule> statuses;
    Step request;
    std::int32_t result;
    const char* record;
  } kCases[] = {
      {"first, no printer structure",
       false,
       {},
       Step::kIdf1,
       QXOL_OK,
       "error at CreatePrtStruct3()"},
      {"first, job refused",
       true,
       {{Entry::kInitJob, 0, 3}},
       Step::kIdf1,
       QXOL_OK,
       "error at HTM1 InitJob(): 3"},
      {"second, no printer structure",
       false,
       {},
       Step::kIdf2,
       QXOL_ERR_INTERNAL,
       "error at CreatePrtStruct3()"},
      {"second, job refused",
       true,
       {{Entry::kInitJob, 0, 3}},
       Step::kIdf2,
       QXOL_ERR_INTERNAL,
       "error at HTM1 InitJob(): 3"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Create();
    if (c.start_page) Do(Step::kStartPage);
    control().statuses = c.statuses;
    LogCapture log;
    EXPECT_EQ(Do(c.request), c.result);
    EXPECT_TRUE(log.Has(4, c.record));
    TearDown();
  }
}

TEST_F(IdfRequests, NullArgumentsAreRefusedBeforeAnyModuleCall) {
  Create();
  Do(Step::kStartPage);
  QXOL_IDF_DATA record{nullptr, 0, 0};
  std::int32_t value = 0;
  Ints list(kInksets);
  EXPECT_EQ(QXOL_PrvGetIDFData1(h(), nullptr, &record), QXOL_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(QXOL_PrvGetIDFData1(h(), &record, nullptr), QXOL_ERR_INVALID_ARGUMENT);
  std::int32_t* const v = &value;
  std::int32_t* const l = list.data();
  const struct {
    std::int32_t *value_a, *value_b, *list_a, *list_b;
  } kIdf2[] = {{nullptr, v, l, l}, {v, nullptr, l, l}, {v, v, nullptr, l}, {v, v, l, nullptr}};
  for (const auto& c : kIdf2) {
    EXPECT_EQ(QXOL_PrvGetIDFData2(h(), c.value_a, c.value_b, c.list_a, c.list_b),
              QXOL_ERR_INVALID_ARGUMENT);
  }
  EXPECT_TRUE(control().calls.empty());
}

// Geometry of the printer structure of the IDF job. Printer resolution 720 x
// 1440, source resolution 360 x 360, page 16 x 64 at 360 dpi on 20 x 300 dots.
TEST_F(IdfRequests, GeometryTheModuleSeesAtJobStart) {
  struct Geometry {
    std::int32_t image_res_x, image_res_y, image_width, image_height, paper_width, paper_length;
  };
  const struct {
    const char* name;
    const char* hook;
    bool printer_res;
    bool source_res;
    Geometry expected;
  } kCases[] = {
      // The page as it is: the source width is scaled to the image
      // resolution (360 / 360), the length is already at it.
      {"no hook", "ht_nohook", true, true, {360, 360, 16, 64, 20, 300}},
      {"hook library not configured", "", true, true, {360, 360, 16, 64, 20, 300}},
      // Whole page as one row: width 16 * 64; paper width 20 * 300 = 6000,
      // brought to source dots (360 * 6000 / 720 = 3000, 360 * 300 / 1440 =
      // 75) and back to image dots by the printer structure (720 * 3000 /
      // 360, 1440 * 75 / 360).
      {"hook", "ht_hook", true, true, {720, 1440, 1024, 64, 6000, 300}},
      // Without source resolutions nothing is scaled.
      {"hook, no source resolution", "ht_hook", true, false, {720, 1440, 1024, 64, 6000, 300}},
      {"hook, no printer resolution", "ht_hook", false, true, {360, 360, 16, 64, 20, 300}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Create({"dorva_double", c.hook});
    if (c.printer_res) {
      Set(QXIDS32_PRT_RES_X, {720});
      Set(QXIDS32_PRT_RES_Y, {1440});
    }
    if (c.source_res) {
      Set(QXIDS32_SRC_RES_X, {360});
      Set(QXIDS32_SRC_RES_Y, {360});
    }
    Do(Step::kStartPage);
    ASSERT_EQ(Do(Step::kIdf1), QXOL_OK);
    const auto* init_job = control().Last(Entry::kInitJob);
    ASSERT_NE(init_job, nullptr);
    ASSERT_TRUE(init_job->prt.has_value());
    const tagPRTSTRUCT3_12& prt = init_job->prt->record;
    EXPECT_EQ(prt.ImageResX, c.expected.image_res_x);
    EXPECT_EQ(prt.ImageResY, c.expected.image_res_y);
    EXPECT_EQ(prt.ImageWidth, c.expected.image_width);
    EXPECT_EQ(prt.ImageHeight, c.expected.image_height);
    EXPECT_EQ(prt.PaperWidth, c.expected.paper_width);
    EXPECT_EQ(prt.PaperLength, c.expected.paper_length);

    // The page description holds the host's values again.
    ASSERT_TRUE(api().page_.has_value());
    const QXOL_IMAGE_INFO& image = api().page_->image.record();
    const QXOL_BASE_INFO& base = api().page_->base.record();
    EXPECT_EQ(image.res_x, kImageRes);
    EXPECT_EQ(image.res_y, kImageRes);
    EXPECT_EQ(image.width, kWidth);
    EXPECT_EQ(image.height, kHeight);
    EXPECT_EQ(base.paper_width, kPaperWidth);
    EXPECT_EQ(base.paper_height, kPaperHeight);
    EXPECT_EQ(base.reserved, c.hook == std::string("ht_hook") ? 0 : kBaseReserved);
    TearDown();
  }
}

// Products and quotients of the rewritten geometry are 32-bit and wrap; a
// zero printer resolution is not divided by. The printer structure then
// scales the paper width from source dots to the (rewritten) image resolution.
TEST_F(IdfRequests, GeometryArithmeticIsDefined) {
  const struct {
    const char* name;
    std::int32_t printer_res_x;
    std::optional<std::int32_t> source_res_x;
    std::int32_t paper_width;
    std::int32_t paper_height;
    std::int32_t expected;
  } kCases[] = {
      // 8000000 * 300 = 2400000000 wraps to -1894967296; nothing scales it.
      {"paper product wraps", 360, std::nullopt, 8000000, 300, -1894967296},
      // 20 * 300 stays unscaled; the image resolution 0 makes it 0 * 6000 / 360.
      {"zero printer resolution", 0, 360, 20, 300, 0},
      // 2 * -1073741824 / -1 wraps to -2147483648; then -1 * -2147483648 / 2.
      {"quotient wraps", -1, 2, -1073741824, 1, 1073741824},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Create({"dorva_double", "ht_hook"});
    Set(QXIDS32_PRT_RES_X, {c.printer_res_x});
    Set(QXIDS32_PRT_RES_Y, {360});
    if (c.source_res_x) {
      Set(QXIDS32_SRC_RES_X, {*c.source_res_x});
      Set(QXIDS32_SRC_RES_Y, {360});
    }
    QXOL_BASE_INFO base{0, c.paper_width, c.paper_height, 0, nullptr, 0, nullptr};
    QXOL_IMAGE_INFO image{kImageRes, kImageRes, kWidth, kHeight, 2, 0, nullptr, 1};
    QXOL_CONVERT_INFO convert{};
    ASSERT_EQ(QXOL_StartPage(h(), &base, 1, &image, 1, &convert), QXOL_OK);
    ASSERT_EQ(Do(Step::kIdf1), QXOL_OK);
    const auto* init_job = control().Last(Entry::kInitJob);
    ASSERT_NE(init_job, nullptr);
    EXPECT_EQ(init_job->prt->record.PaperWidth, c.expected);
    EXPECT_EQ(api().page_->base.record().paper_width, c.paper_width);
    TearDown();
  }
}

TEST_F(IdfRequests, ThirdMicroweavePassIsOffForTheIdfJobOnly) {
  Create();
  Set(QXIDS32_TV_H_DRV_MWP3, {1, 2});
  Do(Step::kStartPage);
  ASSERT_EQ(Do(Step::kIdf1), QXOL_OK);
  const auto* init_job = control().Last(Entry::kInitJob);
  ASSERT_NE(init_job, nullptr);
  EXPECT_EQ(init_job->prt->record.PrintOption & PRTSTRUCT3_PO_MICROWEAVE_P3, 0u);
  // The stored value is back, every element of it.
  EXPECT_EQ(Get(QXIDS32_TV_H_DRV_MWP3), (Ints{1, 2}));

  // A printing job sees it again.
  for (const Step step : {Step::kEndPage, Step::kEndJob, Step::kStartPage, Step::kBand}) {
    ASSERT_EQ(Do(step), QXOL_OK);
  }
  ASSERT_EQ(control().Count(Entry::kInitJob), 2);
  EXPECT_NE(control().Last(Entry::kInitJob)->prt->record.PrintOption & PRTSTRUCT3_PO_MICROWEAVE_P3,
            0u);
}

TEST_F(IdfRequests, FirstRequestCarriesTheBuffers) {
  Create();
  Do(Step::kStartPage);
  unsigned char bytes_a[4] = {1, 2, 3, 4};
  unsigned char bytes_b[2] = {9, 8};
  QXOL_IDF_DATA a{bytes_a, 4, 7};
  QXOL_IDF_DATA b{bytes_b, 2, 9};
  control().idf1_reply =
      tavik_double::Idf1Reply{tavik_double::Bytes{50, 51, 52}, tavik_double::Bytes{60}};
  ASSERT_EQ(QXOL_PrvGetIDFData1(h(), &a, &b), QXOL_OK);

  const auto* call = control().Last(Entry::kGetIDFData1);
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->job, tavik_double::DefaultJobHandle());
  EXPECT_EQ(call->idf1->a->record.size, 4);
  EXPECT_EQ(call->idf1->a->record.data, bytes_a);
  EXPECT_EQ(call->idf1->a->record.zero, nullptr);
  EXPECT_EQ(call->idf1->a->bytes, (tavik_double::Bytes{1, 2, 3, 4}));
  EXPECT_EQ(call->idf1->b->record.size, 2);
  EXPECT_EQ(call->idf1->b->record.data, bytes_b);
  EXPECT_EQ(call->idf1->b->record.zero, nullptr);

  ASSERT_EQ(a.size, 3);
  EXPECT_EQ(std::vector<unsigned char>(a.data, a.data + 3),
            (std::vector<unsigned char>{50, 51, 52}));
  EXPECT_EQ(a.aux, 9);
  // B keeps what the host gave, whatever the module did with its copy.
  EXPECT_EQ(b.data, bytes_b);
  EXPECT_EQ(b.size, 2);
  EXPECT_EQ(b.aux, 9);
}

TEST_F(IdfRequests, FailedFirstRequestLeavesTheRecords) {
  const struct {
    const char* name;
    const char* module;
    std::vector<const char*> records;
  } kCases[] = {
      {"module refuses", "dorva_double", {"error at HTM1 QXOL_PrvGetIDFData1(): 6"}},
      {"no entry point",
       "dorva_double_no_idf",
       {"Not support GID1,", "error at HTM1 QXOL_PrvGetIDFData1(): -1"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Create({c.module, ""});
    Do(Step::kStartPage);
    control().statuses = {{Entry::kGetIDFData1, 0, 6}};
    control().idf1_reply = tavik_double::Idf1Reply{tavik_double::Bytes{50}, std::nullopt};
    unsigned char bytes[2] = {1, 2};
    QXOL_IDF_DATA a{bytes, 2, 7};
    QXOL_IDF_DATA b{nullptr, 0, 9};
    LogCapture log;
    EXPECT_EQ(QXOL_PrvGetIDFData1(h(), &a, &b), QXOL_ERR_INTERNAL);
    for (const char* record : c.records) EXPECT_TRUE(log.Has(4, record)) << record;
    EXPECT_EQ(a.data, bytes);
    EXPECT_EQ(a.size, 2);
    EXPECT_EQ(a.aux, 7);
    TearDown();
  }
}

TEST_F(IdfRequests, SecondRequestCarriesValuesAndLists) {
  Create();
  Do(Step::kStartPage);
  control().idf2_list_length = kInksets;
  control().idf2_reply = tavik_double::Idf2Reply{11, 12, {21, 22, 23, 24}, {31, 32, 33, 34}};
  std::int32_t value_a = 1, value_b = 2;
  // Longer than the lists: what lies beyond is not the library's.
  Ints list_a{3, 4, 5, 6, -1}, list_b{7, 8, 9, 10, -1};
  ASSERT_EQ(QXOL_PrvGetIDFData2(h(), &value_a, &value_b, list_a.data(), list_b.data()), QXOL_OK);

  const auto* call = control().Last(Entry::kGetIDFData2);
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->idf2->value_a, 1);
  EXPECT_EQ(call->idf2->value_b, 2);
  EXPECT_EQ(call->idf2->list_a, (Ints{3, 4, 5, 6}));
  EXPECT_EQ(call->idf2->list_b, (Ints{7, 8, 9, 10}));

  EXPECT_EQ(value_a, 11);
  EXPECT_EQ(value_b, 12);
  EXPECT_EQ(list_a, (Ints{21, 22, 23, 24, -1}));
  EXPECT_EQ(list_b, (Ints{31, 32, 33, 34, -1}));
}

TEST_F(IdfRequests, FailedSecondRequestLeavesTheValues) {
  const struct {
    const char* name;
    const char* module;
    std::vector<const char*> records;
  } kCases[] = {
      {"module refuses", "dorva_double", {"error at HTM1 QXOL_PrvGetIDFData2(): 6"}},
      {"no entry point",
       "dorva_double_no_idf",
       {"Not support GID2,", "error at HTM1 QXOL_PrvGetIDFData2(): -1"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Create({c.module, ""});
    Do(Step::kStartPage);
    control().statuses = {{Entry::kGetIDFData2, 0, 6}};
    control().idf2_reply = tavik_double::Idf2Reply{11, 12, {21}, {31}};
    std::int32_t value_a = 1, value_b = 2;
    Ints list_a{3, 4, 5, 6}, list_b{7, 8, 9, 10};
    LogCapture log;
    EXPECT_EQ(QXOL_PrvGetIDFData2(h(), &value_a, &value_b, list_a.data(), list_b.data()),
              QXOL_ERR_INTERNAL);
    for (const char* record : c.records) EXPECT_TRUE(log.Has(4, record)) << record;
    EXPECT_EQ(value_a, 1);
    EXPECT_EQ(value_b, 2);
    EXPECT_EQ(list_a, (Ints{3, 4, 5, 6}));
    EXPECT_EQ(list_b, (Ints{7, 8, 9, 10}));
    TearDown();
  }
}

// The lists are process-wide: their length is taken from the ink sets once
// and kept, whatever the ink sets become later.
TEST_F(IdfRequests, ListLengthIsFixedOnce) {
  Create();
  Do(Step::kStartPage);
  ASSERT_EQ(Do(Step::kIdf2), QXOL_OK);

  // Without ink sets the lists keep their length.
  Set(QXIDS32_PRT_INKSET_ALL, {});
  ASSERT_EQ(Do(Step::kIdf2), QXOL_OK);

  // More ink sets do not lengthen them: arrays of the first length suffice
  // (a longer list would be read past their end).
  Set(QXIDS32_PRT_INKSET_ALL, Ints(kInksets + 3, 1));
  control().idf2_reply = tavik_double::Idf2Reply{0, 0, {}, {}};
  auto list_a = std::make_unique<std::int32_t[]>(kInksets);
  auto list_b = std::make_unique<std::int32_t[]>(kInksets);
  std::int32_t value_a = 0, value_b = 0;
  EXPECT_EQ(QXOL_PrvGetIDFData2(h(), &value_a, &value_b, list_a.get(), list_b.get()), QXOL_OK);
}

// In a process of its own, where no request has sized the lists yet: the
// request fails after opening the job and page, without a log record, and
// sizes the lists once ink sets are given. Reports what it saw and exits.
void FirstSizingInAFreshProcess(IdfRequests& test) {
  test.Create();
  test.Set(QXIDS32_PRT_INKSET_ALL, {});
  test.Do(Step::kStartPage);
  LogCapture log(4);
  const std::int32_t result = test.Do(Step::kIdf2);
  const bool opened =
      test.control().Sequence() == std::vector<Entry>{Entry::kInitJob, Entry::kInitPage};
  const bool silent = log.records().empty();
  test.Set(QXIDS32_PRT_INKSET_ALL, Ints(kInksets, 1));
  const std::int32_t later = test.Do(Step::kIdf2);
  std::fprintf(stderr, "result %d opened %d silent %d later %d\n", result, opened ? 1 : 0,
               silent ? 1 : 0, later);
  std::fflush(stderr);
  std::_Exit(0);
}

TEST_F(IdfRequests, NoInksetsOnTheFirstSizingFails) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(FirstSizingInAFreshProcess(*this), ::testing::ExitedWithCode(0),
              "result 2130706432 opened 1 silent 1 later 0");
}

}  // namespace
}  // namespace tavik::test
