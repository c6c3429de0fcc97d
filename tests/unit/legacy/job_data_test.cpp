// The job data record: the text rule, the hard-disk option block and the
// parameters the record has no field for.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/log_capture.h"
#include "unit/legacy/legacy_fixture.h"

namespace tavik::test {
namespace {

using JobDataTest = LegacyTest;

TEST_F(JobDataTest, RecordIsByteExact) {
  SetText(QXIDSTR_J_OWNER_NAME, "owner");
  SetText(QXIDSTR_J_DOC_NAME, "document");
  SetText(QXIDSTR_J_HOST_NAME, "host");
  Set(QXIDS32_J_HOST_NAMETYPE, 2);
  Set(QXIDS32_J_JOB_ID, 77);
  SetText(QXIDSTR_J_VENDER_INFO, "vendor");
  SetText(QXIDSTR_J_OS_INFO, "os");
  SetText(QXIDSTR_J_MEDIA_INFO, "media");
  Set(QXIDS32_TV_PRT_HDD_OPTION_ENABLE, 1);
  Set(QXIDS32_TV_PRT_DISABLE_PRINTER_ERROR_CHECK, 1);
  dorva::JobData job = api_.CreateJobData();
  job.UpdatePointers();
  const tagJOBDATA_6& r = job.record();
  Bytes expected(144, 80);
  expected.U16(0, 0, 6)
      .Ptr(24, 12, r.lpOwnerName)
      .I32(32, 16, 5)
      .Ptr(40, 20, r.lpDocName)
      .I32(48, 24, 8)
      .Ptr(56, 28, r.lpHostName)
      .I32(64, 32, 4)
      .I32(68, 36, 2)
      .I32(72, 40, 77)
      .Ptr(80, 44, r.lpVenderInfo)
      .I32(88, 48, 6)
      .Ptr(96, 52, r.lpOSInfo)
      .I32(104, 56, 2)
      .Ptr(112, 60, r.lpMediaInfo)
      .I32(120, 64, 5)
      .Ptr(128, 68, r.lpHDDOption)
      .I32(136, 72, 4)
      .I32(140, 76, 1);
  EXPECT_EQ(BytesOf(r), expected.data());
  const struct {
    const char* text;
    const char* expected;
  } texts[] = {{r.lpOwnerName, "owner"},   {r.lpDocName, "document"}, {r.lpHostName, "host"},
               {r.lpVenderInfo, "vendor"}, {r.lpOSInfo, "os"},        {r.lpMediaInfo, "media"}};
  for (const auto& t : texts) {
    ASSERT_NE(t.text, nullptr);
    EXPECT_STREQ(t.text, t.expected);
  }
  EXPECT_EQ(std::vector<unsigned char>(r.lpHDDOption, r.lpHDDOption + 4),
            (std::vector<unsigned char>{1, 1, 0, 0}));
}

TEST_F(JobDataTest, EmptyParametersGiveNullTextsAndZeroFields) {
  dorva::JobData job = api_.CreateJobData();
  job.UpdatePointers();
  Bytes expected(144, 80);
  expected.U16(0, 0, 6);
  EXPECT_EQ(BytesOf(job.record()), expected.data());
}

// Each text by its own parameters and default maximum.
TEST_F(JobDataTest, EachTextIsCutAtItsDefaultMaximum) {
  const struct Rule {
    QXOL_PARAM_ID text_id;
    std::size_t default_max;
    char* tagJOBDATA_6::*pointer;
    std::int32_t tagJOBDATA_6::*size;
  } rules[] = {
      {QXIDSTR_J_OWNER_NAME, 62, &tagJOBDATA_6::lpOwnerName, &tagJOBDATA_6::OwnerNameSize},
      {QXIDSTR_J_DOC_NAME, 128, &tagJOBDATA_6::lpDocName, &tagJOBDATA_6::DocNameSize},
      {QXIDSTR_J_HOST_NAME, 32, &tagJOBDATA_6::lpHostName, &tagJOBDATA_6::HostNameSize},
      {QXIDSTR_J_VENDER_INFO, 40, &tagJOBDATA_6::lpVenderInfo, &tagJOBDATA_6::VenderInfoSize},
      {QXIDSTR_J_OS_INFO, 10, &tagJOBDATA_6::lpOSInfo, &tagJOBDATA_6::OSInfoSize},
      {QXIDSTR_J_MEDIA_INFO, 10, &tagJOBDATA_6::lpMediaInfo, &tagJOBDATA_6::MediaInfoSize},
  };
  for (const Rule& rule : rules) {
    for (const std::size_t length : {rule.default_max, rule.default_max + 1}) {
      SCOPED_TRACE(::testing::Message() << "id " << rule.text_id << " length " << length);
      api_.options_.Clear();
      const std::string text(length, 'x');
      SetText(rule.text_id, text);
      dorva::JobData job = api_.CreateJobData();
      job.UpdatePointers();
      const tagJOBDATA_6& record = job.record();
      EXPECT_EQ(record.*rule.size, static_cast<std::int32_t>(rule.default_max));
      ASSERT_NE(record.*rule.pointer, nullptr);
      EXPECT_EQ(std::string(record.*rule.pointer), std::string(rule.default_max, 'x'));
    }
  }
}

TEST_F(JobDataTest, TextRule) {
  const std::string a127(127, 'a');
  const struct Case {
    const char* name;
    QXOL_PARAM_ID text_id;
    QXOL_PARAM_ID max_id;
    std::string text;
    std::optional<std::int32_t> max;
    std::string expected;  // empty: pointer null
  } cases[] = {
      {"short", QXIDSTR_J_OWNER_NAME, QXIDS32_TV_J_MAX_OWNER_NAME_LENGTH, "abcde", {}, "abcde"},
      {"long",
       QXIDSTR_J_OWNER_NAME,
       QXIDS32_TV_J_MAX_OWNER_NAME_LENGTH,
       std::string(70, 'o'),
       {},
       std::string(62, 'o')},
      {"utf-8 pair at the cut",
       QXIDSTR_J_DOC_NAME,
       QXIDS32_TV_J_MAX_DOC_NAME_LENGTH,
       a127 + "\xC3\xA9zz",
       {},
       a127},
      {"utf-8 pair within the maximum",
       QXIDSTR_J_DOC_NAME,
       QXIDS32_TV_J_MAX_DOC_NAME_LENGTH,
       std::string(126, 'a') + "\xC3\xA9",
       {},
       std::string(126, 'a') + "\xC3\xA9"},
      {"lead byte at the end, not too long",
       QXIDSTR_J_OS_INFO,
       QXIDS32_TV_J_MAX_OS_INFO_LENGTH,
       "abc\xC3",
       {},
       "abc\xC3"},
      {"several lead bytes", QXIDSTR_J_OS_INFO, QXIDS32_TV_J_MAX_OS_INFO_LENGTH,
       "aa\xC3\xF0\xFF" + std::string("zzzz"), 5, "aa"},
      {"continuation byte at the cut stays", QXIDSTR_J_OS_INFO, QXIDS32_TV_J_MAX_OS_INFO_LENGTH,
       "a\xE2\x82\xAC", 3, "a\xE2\x82"},
      {"cut to nothing", QXIDSTR_J_MEDIA_INFO, QXIDS32_TV_J_MAX_MEDIA_INFO_LENGTH, "\xC3\xA9", 1,
       ""},
      {"maximum parameter", QXIDSTR_J_HOST_NAME, QXIDS32_TV_J_MAX_HOST_NAME_LENGTH, "0123456789", 8,
       "01234567"},
      {"negative maximum: no limit", QXIDSTR_J_VENDER_INFO, QXIDS32_TV_J_MAX_VENDER_INFO_LENGTH,
       std::string(300, 'v'), -1, std::string(300, 'v')},
      {"maximum 0", QXIDSTR_J_OWNER_NAME, QXIDS32_TV_J_MAX_OWNER_NAME_LENGTH, "abc", 0, ""},
      {"embedded NUL",
       QXIDSTR_J_OWNER_NAME,
       QXIDS32_TV_J_MAX_OWNER_NAME_LENGTH,
       std::string("ab\0cd", 5),
       {},
       "ab"},
      {"leading NUL",
       QXIDSTR_J_OWNER_NAME,
       QXIDS32_TV_J_MAX_OWNER_NAME_LENGTH,
       std::string("\0cd", 3),
       {},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    api_.options_.Clear();
    SetText(c.text_id, c.text);
    if (c.max) Set(c.max_id, *c.max);
    dorva::JobData job = api_.CreateJobData();
    job.UpdatePointers();
    const tagJOBDATA_6& r = job.record();
    const std::pair<const char*, std::int32_t> fields[] = {
        {r.lpOwnerName, r.OwnerNameSize}, {r.lpDocName, r.DocNameSize},
        {r.lpHostName, r.HostNameSize},   {r.lpVenderInfo, r.VenderInfoSize},
        {r.lpOSInfo, r.OSInfoSize},       {r.lpMediaInfo, r.MediaInfoSize}};
    const QXOL_PARAM_ID ids[] = {QXIDSTR_J_OWNER_NAME,  QXIDSTR_J_DOC_NAME, QXIDSTR_J_HOST_NAME,
                                 QXIDSTR_J_VENDER_INFO, QXIDSTR_J_OS_INFO,  QXIDSTR_J_MEDIA_INFO};
    for (std::size_t i = 0; i < std::size(ids); ++i) {
      const auto [text, size] = fields[i];
      if (ids[i] != c.text_id || c.expected.empty()) {
        EXPECT_EQ(text, nullptr) << i;
        EXPECT_EQ(size, 0) << i;
        continue;
      }
      EXPECT_EQ(size, static_cast<std::int32_t>(c.expected.size()));
      ASSERT_NE(text, nullptr);
      EXPECT_EQ(std::string(text, c.expected.size() + 1), c.expected + '\0');
    }
  }
}

TEST_F(JobDataTest, HostNameTypeAndJobId) {
  const struct Case {
    bool host_name;
    std::optional<std::int32_t> type, job_id;
    std::int32_t expected_type, expected_job_id;
  } cases[] = {
      {true, {}, {}, 0, 0}, {true, 3, 12, 3, 12}, {false, 3, {}, 3, 0}, {false, {}, -5, 0, -5}};
  for (const Case& c : cases) {
    api_.options_.Clear();
    if (c.host_name) SetText(QXIDSTR_J_HOST_NAME, "name");
    if (c.type) Set(QXIDS32_J_HOST_NAMETYPE, *c.type);
    if (c.job_id) Set(QXIDS32_J_JOB_ID, *c.job_id);
    const tagJOBDATA_6 record = api_.CreateJobData().record();
    EXPECT_EQ(record.HostNameType, c.expected_type);
    EXPECT_EQ(record.JobID, c.expected_job_id);
  }
}

TEST_F(JobDataTest, HardDiskOptionBlock) {
  const struct Case {
    const char* name;
    std::vector<std::int32_t> list;  // empty: not set
    std::optional<std::int32_t> enable, print_mode, store_first;
    std::vector<unsigned char> block;  // the first HDDOptionSize bytes; empty: no block
    std::vector<std::string> errors;
  } cases[] = {
      {"nothing", {}, {}, {}, {}, {}, {}},
      {"disabled", {}, 0, 1, 1, {}, {}},
      {"defaults", {}, 1, {}, {}, {1, 1, 0, 0}, {}},
      {"mode 1, store first", {}, 1, 1, 1, {1, 1, 1, 1}, {}},
      {"mode 2", {}, 1, 2, {}, {1, 0, 0, 0}, {}},
      {"mode 0", {}, 1, 0, 0, {1, 1, 0, 0}, {}},
      {"byte list", {0, 0, 5}, {}, {}, {}, {0, 0, 5}, {}},
      {"low byte", {0x1FF}, {}, {}, {}, {0xFF}, {}},
      {"initial ones below a higher index",
       {},
       1,
       9,
       1,
       {1, 1, 1},
       {"QXIDS32_TV_PRT_HDD_OPTION_PRINT_MODE (9) is unknown id."}},
      {"ten elements",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
       {},
       {},
       {},
       {1, 2, 3, 4, 5, 6, 7, 8},
       {"SetHDDOption_XX() is supported id [0] ~ [7]",
        "SetHDDOption_XX() is supported id [0] ~ [7]"}},
      {"list then mode", {9, 9, 9, 9, 9}, 1, 2, 1, {1, 0, 1, 0, 9}, {}},
      {"unknown values",
       {},
       1,
       -1,
       2,
       {},
       {"QXIDS32_TV_PRT_HDD_OPTION_PRINT_MODE (-1) is unknown id.",
        "QXIDS32_TV_PRT_HDD_OPTION_STORE_DATA_FIRST (2) is unknown id."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    api_.options_.Clear();
    if (!c.list.empty()) {
      api_.options_.SetParams<std::int32_t>(QXIDS32_TV_PRT_HDD_OPTION_JX_02_X, c.list.data(),
                                            c.list.size());
    }
    if (c.enable) Set(QXIDS32_TV_PRT_HDD_OPTION_ENABLE, *c.enable);
    if (c.print_mode) Set(QXIDS32_TV_PRT_HDD_OPTION_PRINT_MODE, *c.print_mode);
    if (c.store_first) Set(QXIDS32_TV_PRT_HDD_OPTION_STORE_DATA_FIRST, *c.store_first);
    LogCapture log(kError);
    dorva::JobData job = api_.CreateJobData();
    job.UpdatePointers();
    const tagJOBDATA_6& record = job.record();
    EXPECT_EQ(record.HDDOptionSize, static_cast<std::int32_t>(c.block.size()));
    if (c.block.empty()) {
      EXPECT_EQ(record.lpHDDOption, nullptr);
    } else {
      ASSERT_NE(record.lpHDDOption, nullptr);
      EXPECT_EQ(std::vector<unsigned char>(record.lpHDDOption, record.lpHDDOption + c.block.size()),
                c.block);
    }
    std::vector<std::string> errors;
    for (const LogRecord& r : log.records()) errors.push_back(r.text);
    EXPECT_EQ(errors, c.errors);
  }
}

TEST_F(JobDataTest, PrinterErrorCheckAndFieldsTheRecordLacks) {
  const struct Case {
    QXOL_PARAM_ID id;
    std::optional<std::int32_t> value;
    std::optional<std::string> text;
    std::int32_t disable_check;
    std::vector<std::string> errors;
  } cases[] = {
      {QXIDS32_TV_PRT_DISABLE_PRINTER_ERROR_CHECK, 0, {}, 0, {}},
      {QXIDS32_TV_PRT_DISABLE_PRINTER_ERROR_CHECK, 2, {}, 1, {}},
      {QXIDS32_TV_J_FOLDER_ID, -1, {}, 0, {}},
      {QXIDS32_TV_J_FOLDER_ID, 0, {}, 0, {"JobData::FolderID is not supported."}},
      {QXIDSTR_TV_J_FOLDER_AUTH_CODE,
       {},
       "1234",
       0,
       {"JobData::lpFolderAuthCode and JobData::FolderAuthCodeSize are not supported."}},
      {QXIDSTR_TV_J_FILE_AUTH_CODE,
       {},
       "5678",
       0,
       {"JobData::lpFileAuthCode and JobData::FileAuthCodeSize are not supported."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    api_.options_.Clear();
    if (c.value) Set(c.id, *c.value);
    if (c.text) SetText(c.id, *c.text);
    LogCapture log(kError);
    const tagJOBDATA_6 record = api_.CreateJobData().record();
    EXPECT_EQ(record.DisablePrinterErrorCheck, c.disable_check);
    std::vector<std::string> errors;
    for (const LogRecord& r : log.records()) errors.push_back(r.text);
    EXPECT_EQ(errors, c.errors);
  }
}

}  // namespace
}  // namespace tavik::test
