// The legacy module double must record faithfully, or every end-to-end test
// built on it proves nothing: these tests call its entry points directly with
// hand-built records and check the recorded copies and the scripted behaviour.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/double_module.h"
#include "support/end_to_end.h"

namespace tavik::test {
namespace {

using tavik_double::Bytes;
using tavik_double::Call;
using tavik_double::Control;
using tavik_double::Entry;

// Overwrites a text or byte buffer after the call, so that a copy which only
// kept the pointer would show the new content.
void Scribble(char* text) {
  std::memset(text, 'X', std::strlen(text));
}
void Scribble(unsigned char* bytes, std::size_t size) {
  std::memset(bytes, 0xEE, size);
}

struct OutputLog {
  std::vector<Bytes> blocks;
  void* context = nullptr;
  std::int32_t answer = 1;
};

std::int32_t QXOL_CALL RecordOutput(void* context, signed char* data, std::int32_t size) {
  auto* log = static_cast<OutputLog*>(context);
  log->context = context;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  log->blocks.emplace_back(bytes, bytes + size);
  return log->answer;
}

class DorvaDoubleTest : public ::testing::Test {
 protected:
  DoubleModule module_;
  Control& control_ = module_.control();
  DORVA_INIT_JOB init_job_ = module_.Entry<DORVA_INIT_JOB>("InitJob");
  DORVA_INIT_PAGE init_page_ = module_.Entry<DORVA_INIT_PAGE>("InitPage");
  DORVA_BAND_OUT band_out_ = module_.Entry<DORVA_BAND_OUT>("BandOut");
  DORVA_TERMINATE_PAGE terminate_page_ = module_.Entry<DORVA_TERMINATE_PAGE>("TerminatePage");
  DORVA_TERMINATE_PAGE_EX terminate_page_ex_ =
      module_.Entry<DORVA_TERMINATE_PAGE_EX>("TerminatePageEx");
  DORVA_DESTROY_JOB destroy_job_ = module_.Entry<DORVA_DESTROY_JOB>("DestroyJob");
  DORVA_RESET_JOB reset_job_ = module_.Entry<DORVA_RESET_JOB>("ResetJob");
  DORVA_GET_CALIB_DATA get_calib_data_ = module_.Entry<DORVA_GET_CALIB_DATA>("GetCalibData");
  DORVA_GET_INK_AMOUNT get_ink_amount_ = module_.Entry<DORVA_GET_INK_AMOUNT>("GetInkAmount");
  DORVA_GET_IDF_DATA1 get_idf_data1_ = module_.Entry<DORVA_GET_IDF_DATA1>("GetIDFData1");
  DORVA_GET_IDF_DATA2 get_idf_data2_ = module_.Entry<DORVA_GET_IDF_DATA2>("GetIDFData2");

  // Opens a job whose printer structure has the given InputFormat and whose
  // option record carries the output function.
  void* OpenJob(std::int32_t input_format, OutputLog* output = nullptr) {
    tagPRTSTRUCT3_12 prt{};
    prt.Version = 12;
    prt.InputFormat = input_format;
    tagOPTION option{};
    option.OutputCallback = RecordOutput;
    option.CallbackContext = output;
    void* job = nullptr;
    EXPECT_EQ(init_job_(&job, reinterpret_cast<tagPRTSTRUCT3*>(&prt), &option), 0);
    return job;
  }
};

TEST_F(DorvaDoubleTest, RecordsEveryEntryPointInOrderWithPerEntryCountsAndTheJobHandle) {
  void* job = nullptr;
  tagPRTSTRUCT3_12 prt{};
  tagOPTION option{};
  ASSERT_EQ(init_job_(&job, reinterpret_cast<tagPRTSTRUCT3*>(&prt), &option), 0);
  ASSERT_EQ(job, tavik_double::DefaultJobHandle());
  tagHTSTRUCT3_5 ht{};
  init_page_(job, reinterpret_cast<tagHTSTRUCT3*>(&ht));
  band_out_(job, nullptr, nullptr, nullptr, nullptr, nullptr);
  band_out_(job, nullptr, nullptr, nullptr, nullptr, nullptr);
  tagTPINFOSTRUCT tp{1, 0, 1};
  terminate_page_ex_(job, &tp);
  terminate_page_(job);
  reset_job_(job);
  get_ink_amount_(job);
  destroy_job_(job);
  get_calib_data_(nullptr);
  get_idf_data1_(job, nullptr, nullptr);
  get_idf_data2_(job, nullptr, nullptr, nullptr, nullptr);

  const std::vector<Entry> expected = {
      Entry::kInitJob,         Entry::kInitPage,      Entry::kBandOut,     Entry::kBandOut,
      Entry::kTerminatePageEx, Entry::kTerminatePage, Entry::kResetJob,    Entry::kGetInkAmount,
      Entry::kDestroyJob,      Entry::kGetCalibData,  Entry::kGetIDFData1, Entry::kGetIDFData2};
  EXPECT_EQ(control_.Sequence(), expected);
  const auto bands = control_.Of(Entry::kBandOut);
  ASSERT_EQ(bands.size(), 2u);
  EXPECT_EQ(bands[0]->n, 1);
  EXPECT_EQ(bands[1]->n, 2);
  EXPECT_EQ(control_.calls[0].job_slot, &job);
  for (const Call& call : control_.calls) {
    EXPECT_EQ(call.status, 0) << tavik_double::EntryName(call.entry);
    if (call.entry != Entry::kGetCalibData) {
      EXPECT_EQ(call.job, job) << tavik_double::EntryName(call.entry);
    }
  }
  ASSERT_TRUE(control_.calls[4].tp_info.has_value());
  EXPECT_EQ(control_.calls[4].tp_info->NormalEnd, 1);
}

TEST_F(DorvaDoubleTest, WritesTheScriptedJobHandleOrLeavesTheSlotAlone) {
  int marker = 0;
  control_.job_handle = &marker;
  void* job = nullptr;
  init_job_(&job, nullptr, nullptr);
  EXPECT_EQ(job, &marker);
  EXPECT_EQ(control_.calls.back().job, &marker);

  control_.write_job_handle = false;
  void* untouched = &control_;
  init_job_(&untouched, nullptr, nullptr);
  EXPECT_EQ(untouched, &control_);
}

TEST_F(DorvaDoubleTest, InitJobDeepCopiesThePrinterStructureAndEverythingItPointsTo) {
  char owner[] = "owner";
  char doc[] = "document";
  char host[] = "host";
  char vendor[] = "vendor";
  char os[] = "os";
  char media[] = "media";
  unsigned char job_bytes[] = {9, 8, 7};
  unsigned char hdd[] = {1, 1, 0, 5, 0, 0, 0, 0};
  tagJOBDATA_6 job_data{};
  job_data.Version = 6;
  job_data.lpData = job_bytes;
  job_data.DataSize = 3;
  job_data.lpOwnerName = owner;
  job_data.OwnerNameSize = 5;
  job_data.lpDocName = doc;
  job_data.lpHostName = host;
  job_data.lpVenderInfo = vendor;
  job_data.lpOSInfo = os;
  job_data.lpMediaInfo = media;
  job_data.lpHDDOption = hdd;
  job_data.HDDOptionSize = 4;
  job_data.JobID = 77;

  char brs_path[] = "/brs";
  char cdg_path[] = "/cdg";
  char ecalib_path[] = "/ecalib";
  char reserved_text[] = "r1";
  unsigned char bz1[] = {0xB1, 0xB2};
  unsigned char ca1[] = {0xC1, 0xC2, 0xC3};
  unsigned char eec[] = {0xEE};
  tagBRSData_4 brs{};
  brs.Version = 4;
  brs.lpBRSFilePath = brs_path;
  brs.lpReservedText1 = reserved_text;
  brs.lpCDGFilePath = cdg_path;
  brs.lpBZ1Data = bz1;
  brs.BZ1DataSize = 2;
  brs.lpCA1Data = ca1;
  brs.CA1DataSize = 3;
  brs.lpECalibPath = ecalib_path;
  brs.lpEECCalibData = eec;
  brs.EECCalibDataSize = 1;

  unsigned char command[] = {0x1B, 0x40};
  tagRCMDSTRUCT remote{command, 2};
  unsigned char head_bytes[] = {4, 5, 6, 7};
  tagHEADINFO_2 head{2, head_bytes, 4};
  tagTRIMINFO trim{{1, 2, 3, 4, 5, 6, 7}};
  tagCUTCMD cut{1, 2, 0, 0};
  tagMEDIAOPT_8 media_option{};
  media_option.Version = 8;
  media_option.valid_mask = 0x4;
  media_option.ink_density_ratio[15] = 1024;
  char module_path[] = "/lib/module.so";
  char prt_text[] = "text";

  tagPRTSTRUCT3_12 prt{};
  prt.Version = 12;
  prt.InputFormat = 4;
  prt.JobOption = 0x80000000u;
  prt.lpRemoteCommand = &remote;
  prt.lpCutCommand = &cut;
  prt.lpReservedText = prt_text;
  prt.lpMediaOption = reinterpret_cast<tagMEDIAOPT*>(&media_option);
  prt.lpJobData = reinterpret_cast<tagJOBDATA*>(&job_data);
  prt.lpTrimInfo = &trim;
  prt.lpHeadInfo = reinterpret_cast<tagHEADINFO*>(&head);
  prt.lpModulePath = module_path;
  prt.lpBRSData = reinterpret_cast<tagBRSData*>(&brs);

  char ht_path[] = "/ht.so";
  char rsc0[] = "/rsc0";
  char* resources[] = {rsc0, nullptr};
  tagOPTION option{};
  option.lpHTModulePath = ht_path;
  option.lpResourcePaths = resources;
  option.ResourcePathCount = 2;

  void* job = nullptr;
  ASSERT_EQ(init_job_(&job, reinterpret_cast<tagPRTSTRUCT3*>(&prt), &option), 0);
  for (char* text : {owner, doc, host, vendor, os, media, brs_path, cdg_path, ecalib_path,
                     reserved_text, module_path, prt_text, ht_path, rsc0}) {
    Scribble(text);
  }
  Scribble(job_bytes, sizeof job_bytes);
  Scribble(hdd, sizeof hdd);
  Scribble(bz1, sizeof bz1);
  Scribble(ca1, sizeof ca1);
  Scribble(eec, sizeof eec);
  Scribble(command, sizeof command);
  Scribble(head_bytes, sizeof head_bytes);
  std::memset(&media_option, 0, sizeof media_option);
  std::memset(&trim, 0, sizeof trim);
  cut.CutMode = 9;

  ASSERT_EQ(control_.calls.size(), 1u);
  const Call& call = control_.calls[0];
  EXPECT_TRUE(call.problems.empty());
  ASSERT_TRUE(call.prt.has_value());
  const tavik_double::PrtStructCopy& p = *call.prt;
  EXPECT_EQ(p.record.Version, 12);
  EXPECT_EQ(p.record.JobOption, 0x80000000u);
  EXPECT_EQ(p.record.lpCutCommand, &cut);
  ASSERT_TRUE(p.cut_command.has_value());
  EXPECT_EQ(p.cut_command->CutMode, 2);
  ASSERT_TRUE(p.media_option.has_value());
  EXPECT_EQ(p.media_option->valid_mask, 0x4u);
  EXPECT_EQ(p.media_option->ink_density_ratio[15], 1024);
  ASSERT_TRUE(p.trim_info.has_value());
  EXPECT_EQ(p.trim_info->Reserved[6], 7);
  ASSERT_TRUE(p.remote_command.has_value());
  EXPECT_EQ(p.remote_command->command, (Bytes{0x1B, 0x40}));
  ASSERT_TRUE(p.head_info.has_value());
  EXPECT_EQ(p.head_info->head_data, (Bytes{4, 5, 6, 7}));
  EXPECT_EQ(p.reserved_text, "text");
  EXPECT_EQ(p.module_path, "/lib/module.so");

  ASSERT_TRUE(p.job_data.has_value());
  const tavik_double::JobDataCopy& j = *p.job_data;
  EXPECT_EQ(j.record.JobID, 77);
  EXPECT_EQ(j.data, (Bytes{9, 8, 7}));
  EXPECT_EQ(j.owner_name, "owner");
  EXPECT_EQ(j.doc_name, "document");
  EXPECT_EQ(j.host_name, "host");
  EXPECT_EQ(j.vender_info, "vendor");
  EXPECT_EQ(j.os_info, "os");
  EXPECT_EQ(j.media_info, "media");
  EXPECT_EQ(j.hdd_option, (Bytes{1, 1, 0, 5}));

  ASSERT_TRUE(p.brs_data.has_value());
  const tavik_double::BrsDataCopy& b = *p.brs_data;
  EXPECT_EQ(b.record.Version, 4);
  EXPECT_EQ(b.brs_file_path, "/brs");
  EXPECT_EQ(b.reserved_text1, "r1");
  EXPECT_EQ(b.cdg_file_path, "/cdg");
  EXPECT_EQ(b.bz1_data, (Bytes{0xB1, 0xB2}));
  EXPECT_EQ(b.ca1_data, (Bytes{0xC1, 0xC2, 0xC3}));
  EXPECT_EQ(b.reserved_text2, std::nullopt);
  EXPECT_EQ(b.ecalib_path, "/ecalib");
  EXPECT_EQ(b.eec_calib_data, (Bytes{0xEE}));

  ASSERT_TRUE(call.option.has_value());
  EXPECT_EQ(call.option->ht_module_path, "/ht.so");
  EXPECT_EQ(call.option->mw_module_path, std::nullopt);
  ASSERT_TRUE(call.option->resource_paths.has_value());
  EXPECT_EQ(*call.option->resource_paths,
            (std::vector<tavik_double::Text>{std::string("/rsc0"), std::nullopt}));
}

TEST_F(DorvaDoubleTest, NullPointersAreRecordedAsAbsentAndEmptyCountsAsEmpty) {
  unsigned char ca1[] = {1};
  tagBRSData_4 brs{};
  brs.lpCA1Data = ca1;  // count 0: the module sees an empty array
  tagPRTSTRUCT3_12 prt{};
  prt.lpBRSData = reinterpret_cast<tagBRSData*>(&brs);
  tagOPTION option{};
  void* job = nullptr;
  init_job_(&job, reinterpret_cast<tagPRTSTRUCT3*>(&prt), &option);
  init_job_(&job, nullptr, nullptr);

  const tavik_double::PrtStructCopy& p = *control_.calls[0].prt;
  EXPECT_FALSE(p.job_data.has_value());
  EXPECT_FALSE(p.media_option.has_value());
  EXPECT_FALSE(p.cut_command.has_value());
  EXPECT_FALSE(p.remote_command.has_value());
  EXPECT_FALSE(p.trim_info.has_value());
  EXPECT_FALSE(p.head_info.has_value());
  EXPECT_EQ(p.module_path, std::nullopt);
  ASSERT_TRUE(p.brs_data.has_value());
  EXPECT_EQ(p.brs_data->ca1_data, Bytes{});
  EXPECT_EQ(p.brs_data->bz1_data, std::nullopt);
  EXPECT_FALSE(control_.calls[0].option->resource_paths.has_value());
  EXPECT_FALSE(control_.calls[1].prt.has_value());
  EXPECT_FALSE(control_.calls[1].option.has_value());
}

TEST_F(DorvaDoubleTest, InitPageCopiesTextsGrtnParamsAndCalibrationBytesOnlyWithAGivenLength) {
  unsigned char calib[] = {0x48, 0x43, 0x31, 0x00, 0x7F};
  char text_a[] = "a";
  tagGRTN_PARAMS_1 grtn{1, {2, 3, 4, 5, 6, 7, 8, 9}};
  tagHTSTRUCT3_5 ht{};
  ht.Version = 5;
  ht.Intent = 3;
  ht.lpCalibData = calib;
  ht.lpReservedTextA = text_a;
  ht.lpGRTNParams = &grtn;

  init_page_(nullptr, reinterpret_cast<tagHTSTRUCT3*>(&ht));
  control_.ht_calib_length = 5;
  init_page_(nullptr, reinterpret_cast<tagHTSTRUCT3*>(&ht));
  Scribble(calib, sizeof calib);
  grtn.Reserved[7] = 0;

  const auto pages = control_.Of(Entry::kInitPage);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0]->ht->record.lpCalibData, calib);
  EXPECT_EQ(pages[0]->ht->calib_data, std::nullopt);
  EXPECT_EQ(pages[1]->ht->calib_data, (Bytes{0x48, 0x43, 0x31, 0x00, 0x7F}));
  EXPECT_EQ(pages[1]->ht->record.Intent, 3);
  EXPECT_EQ(pages[1]->ht->reserved_text_a, "a");
  EXPECT_EQ(pages[1]->ht->reserved_text_b, std::nullopt);
  ASSERT_TRUE(pages[1]->ht->grtn_params.has_value());
  EXPECT_EQ(pages[1]->ht->grtn_params->Reserved[7], 9);
}

struct PieceCase {
  const char* name;
  std::int32_t input_format;
  std::int32_t plane_override;
  bool planar;
  std::int32_t expected_planes;
};

class DorvaDoublePieceTest : public DorvaDoubleTest,
                             public ::testing::WithParamInterface<PieceCase> {};

TEST_P(DorvaDoublePieceTest, CopiesRowsTimesStrideOfEveryPlaneOfThePiece) {
  const PieceCase& c = GetParam();
  control_.band_plane_count = c.plane_override;
  void* job = OpenJob(c.input_format);
  constexpr std::int32_t kRows = 3;
  constexpr std::int32_t kStride = 5;
  std::vector<Bytes> planes;
  std::vector<unsigned char*> table;
  for (std::int32_t j = 0; j < (c.planar ? c.expected_planes : 1); ++j) {
    Bytes plane(kRows * kStride);
    for (std::size_t i = 0; i < plane.size(); ++i)
      plane[i] = static_cast<unsigned char>(16 * j + i);
    planes.push_back(plane);
  }
  for (Bytes& plane : planes) table.push_back(plane.data());
  // A stale entry past the plane count must not be read.
  table.push_back(nullptr);

  DORVA_RECT rect{10, 64, 20, 64 + kRows};
  DORVA_AREA area{0, 0, 10, kRows};
  DORVA_BAND_DATA band{kStride, c.planar ? nullptr : planes[0].data(),
                       c.planar ? table.data() : nullptr};
  tagOSDEP4 os_dep{};
  ASSERT_EQ(band_out_(job, &area, &band, nullptr, &rect, reinterpret_cast<tagOSDEP3*>(&os_dep)), 0);
  const std::vector<Bytes> sent = planes;
  for (Bytes& plane : planes) Scribble(plane.data(), plane.size());

  const Call* call = control_.Last(Entry::kBandOut);
  ASSERT_NE(call, nullptr);
  EXPECT_TRUE(call->problems.empty());
  const tavik_double::BandCopy& b = *call->band;
  EXPECT_EQ(b.planar, c.planar);
  EXPECT_EQ(b.plane_count, c.planar ? c.expected_planes : 1);
  EXPECT_EQ(b.pixels, sent);
  EXPECT_EQ(b.rect->top, 64);
  EXPECT_EQ(b.rect->bottom, 64 + kRows);
  EXPECT_EQ(b.valid_area->height, kRows);
  EXPECT_EQ(b.band->stride, kStride);
  ASSERT_TRUE(b.os_dep.has_value());
  EXPECT_EQ(b.reserved, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, DorvaDoublePieceTest,
    ::testing::Values(PieceCase{"Interleaved", 4, 0, false, 1},
                      PieceCase{"PlanarRgb", 1 | 1000, 0, true, 3},
                      PieceCase{"PlanarCmyk", 4 | 1000, 0, true, 4},
                      PieceCase{"PlanarSixChannels", 106 | 1000, 0, true, 6},
                      // 104 | 1000 is 1000: the smallest channel count that fits is 4.
                      PieceCase{"PlanarFourChannelsCollide", 104 | 1000, 0, true, 4},
                      PieceCase{"PlanarCountGivenByTheTest", 104 | 1000, 2, true, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DorvaDoubleTest, APlanarPieceWithAnUnknownChannelCountIsReportedNotGuessed) {
  void* job = OpenJob(4);  // interleaved code, yet the piece comes planar
  unsigned char plane[4] = {};
  unsigned char* table[] = {plane};
  DORVA_RECT rect{0, 0, 4, 1};
  DORVA_BAND_DATA band{4, nullptr, table};
  band_out_(job, nullptr, &band, nullptr, &rect, nullptr);
  const Call* call = control_.Last(Entry::kBandOut);
  EXPECT_EQ(call->band->plane_count, 0);
  EXPECT_EQ(call->problems.size(), 1u);
}

struct StatusCase {
  const char* name;
  std::vector<tavik_double::StatusRule> rules;
  std::vector<std::int32_t> expected;  // statuses of three BandOut calls
};

class DorvaDoubleStatusTest : public DorvaDoubleTest,
                              public ::testing::WithParamInterface<StatusCase> {};

TEST_P(DorvaDoubleStatusTest, ReturnsTheScriptedStatusFromTheNthCall) {
  control_.statuses = GetParam().rules;
  std::vector<std::int32_t> returned;
  for (int i = 0; i < 3; ++i)
    returned.push_back(band_out_(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
  // Another entry point is not affected by rules for BandOut.
  EXPECT_EQ(destroy_job_(nullptr), 0);
  EXPECT_EQ(returned, GetParam().expected);
  std::vector<std::int32_t> recorded;
  for (const Call* call : control_.Of(Entry::kBandOut)) recorded.push_back(call->status);
  EXPECT_EQ(recorded, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DorvaDoubleStatusTest,
    ::testing::Values(
        StatusCase{"None", {}, {0, 0, 0}},
        StatusCase{"Second", {{Entry::kBandOut, 2, -5}}, {0, -5, 0}},
        StatusCase{"Every", {{Entry::kBandOut, 0, 7}}, {7, 7, 7}},
        StatusCase{"FirstMatchWins", {{Entry::kBandOut, 3, 1}, {Entry::kBandOut, 0, 2}}, {2, 2, 1}},
        StatusCase{
            "OtherEntryOnly", {{Entry::kDestroyJob, 1, 0}, {Entry::kInitPage, 0, 9}}, {0, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DorvaDoubleTest, DeliversScriptedSpoolDataThroughTheJobsOutputFunctionAndRecordsTheAnswer) {
  // Before any InitJob there is no output function: the double says so.
  control_.spools = {{Entry::kBandOut, 2, {1, 2, 3}},
                     {Entry::kBandOut, 2, {4}},
                     {Entry::kInitJob, 1, {9, 9}},
                     {Entry::kGetCalibData, 1, {5}}};
  get_calib_data_(nullptr);
  EXPECT_EQ(control_.calls.back().problems.size(), 1u);
  EXPECT_TRUE(control_.calls.back().spool.empty());

  OutputLog output;
  output.answer = 0;
  void* job = OpenJob(4, &output);
  band_out_(job, nullptr, nullptr, nullptr, nullptr, nullptr);
  band_out_(job, nullptr, nullptr, nullptr, nullptr, nullptr);

  EXPECT_EQ(output.context, &output);
  EXPECT_EQ(output.blocks, (std::vector<Bytes>{{9, 9}, {1, 2, 3}, {4}}));
  const auto bands = control_.Of(Entry::kBandOut);
  EXPECT_TRUE(bands[0]->spool.empty());
  ASSERT_EQ(bands[1]->spool.size(), 2u);
  EXPECT_EQ(bands[1]->spool[0].bytes, (Bytes{1, 2, 3}));
  EXPECT_EQ(bands[1]->spool[0].answer, 0);
  ASSERT_EQ(control_.Last(Entry::kInitJob)->spool.size(), 1u);
}

TEST_F(DorvaDoubleTest, GetCalibDataCopiesTheRequestAndWritesTheScriptedFilesIntoItsWorkDirectory) {
  TempDir dir;
  control_.calib_files = {
      {"printer.HC1", {1, 2, 3}, false}, {"sub/inner.CA1", {4}, false}, {"empty", {}, true}};
  control_.statuses = {{Entry::kGetCalibData, 1, -10003}};
  std::string work_dir = dir.path().string();
  char tool[] = "/tools/isv";
  char name[] = "Printer";
  tag_CalibDataReq_1 request{1, tool, 42, name, work_dir.data()};
  EXPECT_EQ(get_calib_data_(reinterpret_cast<tag_CalibDataReq*>(&request)), -10003);
  Scribble(tool);

  const Call& call = control_.calls.back();
  EXPECT_TRUE(call.problems.empty());
  ASSERT_TRUE(call.calib_request.has_value());
  EXPECT_EQ(call.calib_request->record.PrinterType, 42);
  EXPECT_EQ(call.calib_request->tool_path, "/tools/isv");
  EXPECT_EQ(call.calib_request->printer_name, "Printer");
  EXPECT_EQ(call.calib_request->work_dir, work_dir);
  auto read = [](const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(read(dir.path() / "printer.HC1"), (Bytes{1, 2, 3}));
  EXPECT_EQ(read(dir.path() / "sub" / "inner.CA1"), (Bytes{4}));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "empty"));
}

TEST_F(DorvaDoubleTest, GetIDFData1RecordsTheRecordsAndAnswersWithTheScriptedBuffers) {
  unsigned char in_a[] = {1, 2};
  DORVA_IDF_DATA a{2, in_a, nullptr};
  DORVA_IDF_DATA b{0, nullptr, nullptr};
  control_.idf1_reply = tavik_double::Idf1Reply{Bytes{7, 7, 7}, std::nullopt};
  ASSERT_EQ(get_idf_data1_(nullptr, &a, &b), 0);

  EXPECT_EQ(a.size, 3);
  ASSERT_NE(a.data, in_a);
  EXPECT_EQ(Bytes(a.data, a.data + a.size), (Bytes{7, 7, 7}));
  EXPECT_EQ(b.size, 0);
  EXPECT_EQ(b.data, nullptr);
  const tavik_double::Idf1Copy& copy = *control_.calls.back().idf1;
  EXPECT_EQ(copy.a->record.data, in_a);
  EXPECT_EQ(copy.a->bytes, (Bytes{1, 2}));
  EXPECT_EQ(copy.b->bytes, std::nullopt);
}

TEST_F(DorvaDoubleTest, GetIDFData2RecordsValuesAndListsAndWritesTheScriptedAnswer) {
  std::int32_t value_a = 3;
  std::int32_t value_b = 4;
  std::int32_t list_a[] = {10, 11, 12};
  std::int32_t list_b[] = {20, 21, 22};
  control_.idf2_list_length = 3;
  control_.idf2_reply = tavik_double::Idf2Reply{30, 40, {1, 2}, {5, 6, 7}};
  control_.statuses = {{Entry::kGetIDFData2, 1, -1}};
  EXPECT_EQ(get_idf_data2_(nullptr, &value_a, &value_b, list_a, list_b), -1);

  const tavik_double::Idf2Copy& copy = *control_.calls.back().idf2;
  EXPECT_EQ(copy.value_a, 3);
  EXPECT_EQ(copy.value_b, 4);
  EXPECT_EQ(copy.list_a, (std::vector<std::int32_t>{10, 11, 12}));
  EXPECT_EQ(copy.list_b, (std::vector<std::int32_t>{20, 21, 22}));
  EXPECT_EQ(copy.list_a_pointer, list_a);
  // The module touched the arguments although it failed.
  EXPECT_EQ(value_a, 30);
  EXPECT_EQ(value_b, 40);
  EXPECT_EQ(std::vector<std::int32_t>(list_a, list_a + 3), (std::vector<std::int32_t>{1, 2, 12}));
  EXPECT_EQ(std::vector<std::int32_t>(list_b, list_b + 3), (std::vector<std::int32_t>{5, 6, 7}));
}

TEST_F(DorvaDoubleTest, ResetForgetsCallsScriptAndCounts) {
  control_.statuses = {{Entry::kDestroyJob, 0, 1}};
  destroy_job_(nullptr);
  control_.Reset();
  EXPECT_EQ(destroy_job_(nullptr), 0);
  ASSERT_EQ(control_.calls.size(), 1u);
  EXPECT_EQ(control_.calls[0].n, 1);
}

struct ExportCase {
  const char* library;
  std::vector<const char*> present;
  std::vector<const char*> absent;
};

class DoubleExportsTest : public ::testing::TestWithParam<ExportCase> {};

TEST_P(DoubleExportsTest, ExportsExactlyTheNamesOfItsVariant) {
  DoubleModule module(GetParam().library);
  for (const char* name : GetParam().present) EXPECT_NE(module.Resolve(name), nullptr) << name;
  for (const char* name : GetParam().absent) EXPECT_EQ(module.Resolve(name), nullptr) << name;
}

const std::vector<const char*> kRequired = {"InitJob",         "InitPage",    "BandOut",
                                            "TerminatePage",   "DestroyJob",  "ResetJob",
                                            "TerminatePageEx", "GetCalibData"};

std::vector<const char*> With(std::vector<const char*> names, std::vector<const char*> more) {
  names.insert(names.end(), more.begin(), more.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(
    Variants, DoubleExportsTest,
    ::testing::Values(ExportCase{"dorva_double",
                                 With(kRequired, {"GetInkAmount", "GetIDFData1", "GetIDFData2"}),
                                 {}},
                      ExportCase{"dorva_double_no_ink",
                                 With(kRequired, {"GetIDFData1", "GetIDFData2"}),
                                 {"GetInkAmount"}},
                      ExportCase{"dorva_double_no_idf",
                                 With(kRequired, {"GetInkAmount"}),
                                 {"GetIDFData1", "GetIDFData2"}}),
    [](const auto& info) { return std::string(info.param.library); });

TEST(HookLibraryTest, OnlyTheHookVariantExportsTheColourConversionEntryPoint) {
  struct {
    const char* library;
    bool has_hook;
  } const cases[] = {{"ht_hook", true}, {"ht_nohook", false}};
  for (const auto& c : cases) {
    void* handle = dlopen(DoublePath(c.library).c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << c.library;
    EXPECT_EQ(dlsym(handle, "MTZ_CPR_ConvertColor") != nullptr, c.has_hook) << c.library;
    dlclose(handle);
  }
}

TEST(UnloadableModuleTest, TheStandInFileExistsButCannotBeLoaded) {
  const std::string path = DoublePath("not_a_module");
  ASSERT_TRUE(std::filesystem::is_regular_file(path));
  EXPECT_EQ(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL), nullptr);
}

TEST(LoadCounterTest, CountsEveryLoadAndUnloadOfTheDouble) {
  LoadCounter counter;
  const std::string path = DoublePath("dorva_double");
  ASSERT_FALSE(IsLoaded(path));
  {
    DoubleModule first;
    EXPECT_EQ(counter.loads(), 1);
    {
      // A second handle to the loaded image is no new load.
      DoubleModule second;
      EXPECT_EQ(counter.loads(), 1);
    }
    EXPECT_EQ(counter.unloads(), 0);
    EXPECT_TRUE(IsLoaded(path));
  }
  EXPECT_EQ(counter.unloads(), 1);
  EXPECT_FALSE(IsLoaded(path));
  {
    DoubleModule again;
    EXPECT_EQ(counter.loads(), 2);
  }
  EXPECT_EQ(counter.unloads(), 2);
}

}  // namespace
}  // namespace tavik::test
