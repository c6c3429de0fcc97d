// Test double of the legacy halftone module: records every call with deep
// copies of its arguments and follows the script in its Control.
//
// Variants built from this file:
//   DORVA_DOUBLE_WITHOUT_INK_AMOUNT  GetInkAmount is not exported
//   DORVA_DOUBLE_WITHOUT_IDF         GetIDFData1 and GetIDFData2 are not exported
#include "dorva_double.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "load_counter.h"

#define DORVA_DOUBLE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace tavik_double;

Control g_control;

// Larger pieces than this would mean a broken rectangle or stride: copying them
// would only exhaust memory, so the copy is refused and reported.
constexpr std::uint64_t kMaxPlaneBytes = std::uint64_t{1} << 28;

__attribute__((constructor)) void CountLoad() {
  ++dorva_double_load_counts()->loads;
}
__attribute__((destructor)) void CountUnload() {
  ++dorva_double_load_counts()->unloads;
}

Text CopyText(const char* p) {
  if (p == nullptr) return std::nullopt;
  return std::string(p);
}

Array CopyArray(const void* p, std::int32_t size) {
  if (p == nullptr) return std::nullopt;
  if (size <= 0) return Bytes{};
  const auto* bytes = static_cast<const unsigned char*>(p);
  return Bytes(bytes, bytes + size);
}

template <typename T>
std::optional<T> CopyRecord(const void* p) {
  if (p == nullptr) return std::nullopt;
  T copy;
  std::memcpy(&copy, p, sizeof(T));
  return copy;
}

JobDataCopy CopyJobData(const tagJOBDATA_6& r) {
  JobDataCopy c;
  c.record = r;
  c.data = CopyArray(r.lpData, r.DataSize);
  c.owner_name = CopyText(r.lpOwnerName);
  c.doc_name = CopyText(r.lpDocName);
  c.host_name = CopyText(r.lpHostName);
  c.vender_info = CopyText(r.lpVenderInfo);
  c.os_info = CopyText(r.lpOSInfo);
  c.media_info = CopyText(r.lpMediaInfo);
  c.hdd_option = CopyArray(r.lpHDDOption, r.HDDOptionSize);
  return c;
}

BrsDataCopy CopyBrsData(const tagBRSData_4& r) {
  BrsDataCopy c;
  c.record = r;
  c.brs_file_path = CopyText(r.lpBRSFilePath);
  c.reserved_text1 = CopyText(r.lpReservedText1);
  c.cdg_file_path = CopyText(r.lpCDGFilePath);
  c.bz1_data = CopyArray(r.lpBZ1Data, r.BZ1DataSize);
  c.ca1_data = CopyArray(r.lpCA1Data, r.CA1DataSize);
  c.reserved_text2 = CopyText(r.lpReservedText2);
  c.reserved_text3 = CopyText(r.lpReservedText3);
  c.ecalib_path = CopyText(r.lpECalibPath);
  c.eec_calib_data = CopyArray(r.lpEECCalibData, r.EECCalibDataSize);
  return c;
}

PrtStructCopy CopyPrtStruct(const tagPRTSTRUCT3_12& r) {
  PrtStructCopy c;
  c.record = r;
  if (r.lpRemoteCommand != nullptr) {
    RemoteCommandCopy rc;
    rc.record = *r.lpRemoteCommand;
    rc.command = CopyArray(rc.record.lpCommand, rc.record.CommandSize);
    c.remote_command = std::move(rc);
  }
  c.cut_command = CopyRecord<tagCUTCMD>(r.lpCutCommand);
  c.reserved_text = CopyText(r.lpReservedText);
  c.media_option = CopyRecord<tagMEDIAOPT_8>(r.lpMediaOption);
  if (auto job_data = CopyRecord<tagJOBDATA_6>(r.lpJobData)) c.job_data = CopyJobData(*job_data);
  c.trim_info = CopyRecord<tagTRIMINFO>(r.lpTrimInfo);
  if (auto head = CopyRecord<tagHEADINFO_2>(r.lpHeadInfo)) {
    HeadInfoCopy hc;
    hc.record = *head;
    hc.head_data = CopyArray(head->lpHeadData, head->HeadDataSize);
    c.head_info = std::move(hc);
  }
  c.module_path = CopyText(r.lpModulePath);
  if (auto brs = CopyRecord<tagBRSData_4>(r.lpBRSData)) c.brs_data = CopyBrsData(*brs);
  return c;
}

OptionCopy CopyOption(const tagOPTION& r) {
  OptionCopy c;
  c.record = r;
  c.ht_module_path = CopyText(r.lpHTModulePath);
  c.mw_module_path = CopyText(r.lpMWModulePath);
  if (r.lpResourcePaths != nullptr) {
    std::vector<Text> paths;
    for (std::int32_t i = 0; i < r.ResourcePathCount; ++i) {
      paths.push_back(CopyText(r.lpResourcePaths[i]));
    }
    c.resource_paths = std::move(paths);
  }
  return c;
}

HtStructCopy CopyHtStruct(const tagHTSTRUCT3_5& r) {
  HtStructCopy c;
  c.record = r;
  c.reserved_text_a = CopyText(r.lpReservedTextA);
  c.reserved_text_b = CopyText(r.lpReservedTextB);
  if (g_control.ht_calib_length >= 0)
    c.calib_data = CopyArray(r.lpCalibData, g_control.ht_calib_length);
  c.grtn_params = CopyRecord<tagGRTN_PARAMS_1>(r.lpGRTNParams);
  return c;
}

void CopyPlanes(Call& call, BandCopy& b) {
  const DORVA_BAND_DATA& band = *b.band;
  const std::int64_t rows = b.rect ? std::int64_t{b.rect->bottom} - b.rect->top : 0;
  std::uint64_t plane_bytes = 0;
  if (rows > 0 && band.stride > 0)
    plane_bytes = static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(band.stride);
  if (plane_bytes > kMaxPlaneBytes) {
    call.problems.push_back("piece too large to copy: " + std::to_string(plane_bytes) +
                            " bytes per plane");
    plane_bytes = 0;
  }
  if (band.planes != nullptr && band.data != nullptr) {
    call.problems.push_back("band record has both a data pointer and a plane table");
  }
  if (band.planes != nullptr) {
    b.planar = true;
    b.plane_count = g_control.band_plane_count > 0 ? g_control.band_plane_count
                                                   : PlanarChannelCount(g_control.input_format);
    if (b.plane_count == 0) {
      call.problems.push_back("planar piece with unknown channel count, InputFormat " +
                              std::to_string(g_control.input_format));
    }
    for (std::int32_t j = 0; j < b.plane_count; ++j) b.plane_pointers.push_back(band.planes[j]);
  } else if (band.data != nullptr) {
    b.planar = false;
    b.plane_count = 1;
    b.plane_pointers.push_back(band.data);
  } else {
    call.problems.push_back("band record has neither a data pointer nor a plane table");
  }
  for (const unsigned char* plane : b.plane_pointers) {
    if (plane == nullptr || plane_bytes == 0) {
      b.pixels.emplace_back();
    } else {
      b.pixels.emplace_back(plane, plane + plane_bytes);
    }
  }
}

void WriteCalibFiles(Call& call, const char* work_dir) {
  if (g_control.calib_files.empty()) return;
  if (work_dir == nullptr) {
    call.problems.push_back("no work directory to write calibration files into");
    return;
  }
  namespace fs = std::filesystem;
  for (const CalibFile& file : g_control.calib_files) {
    const fs::path path = fs::path(work_dir) / file.name;
    std::error_code ec;
    if (file.directory) {
      fs::create_directories(path, ec);
    } else {
      if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(file.bytes.data()),
                static_cast<std::streamsize>(file.bytes.size()));
      if (!out) ec = std::make_error_code(std::errc::io_error);
    }
    if (ec) call.problems.push_back("cannot write " + path.string() + ": " + ec.message());
  }
}

// Starts the record of a call; returns its index (the call list may grow
// while the library is being called back).
std::size_t Begin(Entry entry, void* job) {
  Call call;
  call.entry = entry;
  call.n = ++g_control.counts[static_cast<int>(entry)];
  call.job = job;
  g_control.calls.push_back(std::move(call));
  return g_control.calls.size() - 1;
}

bool Matches(Entry entry, int n, Entry rule_entry, int rule_n) {
  return entry == rule_entry && (rule_n == 0 || rule_n == n);
}

// Delivers the scripted spool data and settles the status of the call.
std::int32_t Finish(std::size_t index) {
  const Entry entry = g_control.calls[index].entry;
  const int n = g_control.calls[index].n;
  for (const SpoolRule& rule : g_control.spools) {
    if (!Matches(entry, n, rule.entry, rule.n)) continue;
    if (g_control.output == nullptr) {
      g_control.calls[index].problems.push_back("no spool function to deliver to");
      continue;
    }
    // The module owns the delivered block; the library may only read it
    // during the call.
    Bytes block = rule.bytes;
    const std::int32_t answer =
        g_control.output(g_control.output_context, reinterpret_cast<signed char*>(block.data()),
                         static_cast<std::int32_t>(block.size()));
    g_control.calls[index].spool.push_back({rule.bytes, answer});
  }
  std::int32_t status = 0;
  for (const StatusRule& rule : g_control.statuses) {
    if (Matches(entry, n, rule.entry, rule.n)) {
      status = rule.status;
      break;
    }
  }
  g_control.calls[index].status = status;
  return status;
}

}  // namespace

DORVA_DOUBLE_EXPORT tavik_double::Control* dorva_double_control() {
  return &g_control;
}

DORVA_DOUBLE_EXPORT std::int32_t QXOL_CALL InitJob(void** p_job, tagPRTSTRUCT3* prt,
                                                   tagOPTION* option) {
  const std::size_t index = Begin(Entry::kInitJob, nullptr);
  Call& call = g_control.calls[index];
  call.job_slot = p_job;
  if (auto record = CopyRecord<tagPRTSTRUCT3_12>(prt)) {
    call.prt = CopyPrtStruct(*record);
    g_control.input_format = record->InputFormat;
  }
  if (option != nullptr) {
    call.option = CopyOption(*option);
    g_control.output = option->OutputCallback;
    g_control.output_context = option->CallbackContext;
  }
  if (g_control.write_job_handle) {
    if (p_job != nullptr) {
      *p_job = g_control.job_handle;
      call.job = g_control.job_handle;
    } else {
      call.problems.push_back("no address to write the job handle to");
    }
  }
  return Finish(index);
}

DORVA_DOUBLE_EXPORT std::int32_t QXOL_CALL InitPage(void* job, tagHTSTRUCT3* ht) {
  const std::size_t index = Begin(Entry::kInitPage, job);
  if (auto record = CopyRecord<tagHTSTRUCT3_5>(ht))
    g_control.calls[index].ht = CopyHtStruct(*record);
  return Finish(index);
}

DORVA_DOUBLE_EXPORT std::int32_t QXOL_CALL BandOut(void* job, DORVA_AREA* valid_area,
                                                   DORVA_BAND_DATA* band, void* reserved,
                                                   DORVA_RECT* rect, tagOSDEP3* os_dep) {
  const std::size_t index = Begin(Entry::kBandOut, job);
  Call& call = g_control.calls[index];
  BandCopy b;
  b.valid_area = CopyRecord<DORVA_AREA>(valid_area);
  b.band = CopyRecord<DORVA_BAND_DATA>(band);
  b.reserved = reserved;
  b.rect = CopyRecord<DORVA_RECT>(rect);
  b.os_dep = CopyRecord<tagOSDEP4>(os_dep);
  if (b.band) CopyPlanes(call, b);
  call.band = std::move(b);
  return Finish(index);
}

DORVA_DOUBLE_EXPORT std::int32_t QXOL_CALL TerminatePage(void* job) {
  return Finish(Begin(Entry::kTerminatePage, job));
}

DORVA_DOUBLE_EXPORT std::int32_t QXOL_CALL TerminatePageEx(void* job, tagTPINFOSTRUCT* tp_info) {
  const std::size_t index = Begin(Entry::kTerminatePageEx, job);
  g_control.calls[index].tp_info = CopyRecord<tagTPINFOSTRUCT>(tp_info);
  return Finish(index);
}

DORVA_DOUBLE_EXPORT std::int32_t QXOL_CALL DestroyJob(void* job) {
  return Finish(Begin(Entry::kDestroyJob, job));
}

DORVA_DOUBLE_EXPORT std::int32_t QXOL_CALL ResetJob(void* job) {
  return Finish(Begin(Entry::kResetJob, job));
}

DORVA_DOUBLE_EXPORT std::int32_t QXOL_CALL GetCalibData(tag_CalibDataReq* request) {
  const std::size_t index = Begin(Entry::kGetCalibData, nullptr);
  Call& call = g_control.calls[index];
  if (auto record = CopyRecord<tag_CalibDataReq_1>(request)) {
    CalibRequestCopy c;
    c.record = *record;
    c.tool_path = CopyText(record->lpToolPath);
    c.printer_name = CopyText(record->lpPrinterName);
    c.work_dir = CopyText(record->lpWorkDir);
    call.calib_request = std::move(c);
    WriteCalibFiles(call, record->lpWorkDir);
  } else if (!g_control.calib_files.empty()) {
    call.problems.push_back("no calibration request to take the work directory from");
  }
  return Finish(index);
}

#ifndef DORVA_DOUBLE_WITHOUT_INK_AMOUNT
DORVA_DOUBLE_EXPORT std::int32_t QXOL_CALL GetInkAmount(void* job) {
  return Finish(Begin(Entry::kGetInkAmount, job));
}
#endif

#ifndef DORVA_DOUBLE_WITHOUT_IDF
DORVA_DOUBLE_EXPORT std::int32_t QXOL_CALL GetIDFData1(void* job, DORVA_IDF_DATA* data_a,
                                                       DORVA_IDF_DATA* data_b) {
  const std::size_t index = Begin(Entry::kGetIDFData1, job);
  Idf1Copy c;
  for (auto [record, copy] : {std::pair{data_a, &c.a}, std::pair{data_b, &c.b}}) {
    if (record == nullptr) continue;
    *copy = IdfRecordCopy{*record, CopyArray(record->data, record->size)};
  }
  g_control.calls[index].idf1 = std::move(c);
  if (g_control.idf1_reply) {
    for (auto [record, reply] : {std::pair{data_a, &g_control.idf1_reply->a},
                                 std::pair{data_b, &g_control.idf1_reply->b}}) {
      if (record == nullptr || !*reply) continue;
      g_control.idf1_storage.push_back(**reply);
      record->data = g_control.idf1_storage.back().data();
      record->size = static_cast<std::int32_t>(g_control.idf1_storage.back().size());
    }
  }
  return Finish(index);
}

DORVA_DOUBLE_EXPORT std::int32_t QXOL_CALL GetIDFData2(void* job, std::int32_t* value_a,
                                                       std::int32_t* value_b, std::int32_t* list_a,
                                                       std::int32_t* list_b) {
  const std::size_t index = Begin(Entry::kGetIDFData2, job);
  Idf2Copy c;
  if (value_a != nullptr) c.value_a = *value_a;
  if (value_b != nullptr) c.value_b = *value_b;
  c.list_a_pointer = list_a;
  c.list_b_pointer = list_b;
  const std::int32_t length = g_control.idf2_list_length > 0 ? g_control.idf2_list_length : 0;
  if (list_a != nullptr) c.list_a = std::vector<std::int32_t>(list_a, list_a + length);
  if (list_b != nullptr) c.list_b = std::vector<std::int32_t>(list_b, list_b + length);
  g_control.calls[index].idf2 = std::move(c);
  if (g_control.idf2_reply) {
    const Idf2Reply& reply = *g_control.idf2_reply;
    if (value_a != nullptr) *value_a = reply.value_a;
    if (value_b != nullptr) *value_b = reply.value_b;
    if (list_a != nullptr) std::copy(reply.list_a.begin(), reply.list_a.end(), list_a);
    if (list_b != nullptr) std::copy(reply.list_b.begin(), reply.list_b.end(), list_b);
  }
  return Finish(index);
}
#endif

// The exports must have exactly the entry-point types of the module header.
namespace {
[[maybe_unused]] constexpr DORVA_INIT_JOB kInitJob = &InitJob;
[[maybe_unused]] constexpr DORVA_INIT_PAGE kInitPage = &InitPage;
[[maybe_unused]] constexpr DORVA_BAND_OUT kBandOut = &BandOut;
[[maybe_unused]] constexpr DORVA_TERMINATE_PAGE kTerminatePage = &TerminatePage;
[[maybe_unused]] constexpr DORVA_TERMINATE_PAGE_EX kTerminatePageEx = &TerminatePageEx;
[[maybe_unused]] constexpr DORVA_DESTROY_JOB kDestroyJob = &DestroyJob;
[[maybe_unused]] constexpr DORVA_RESET_JOB kResetJob = &ResetJob;
[[maybe_unused]] constexpr DORVA_GET_CALIB_DATA kGetCalibData = &GetCalibData;
#ifndef DORVA_DOUBLE_WITHOUT_INK_AMOUNT
[[maybe_unused]] constexpr DORVA_GET_INK_AMOUNT kGetInkAmount = &GetInkAmount;
#endif
#ifndef DORVA_DOUBLE_WITHOUT_IDF
[[maybe_unused]] constexpr DORVA_GET_IDF_DATA1 kGetIDFData1 = &GetIDFData1;
[[maybe_unused]] constexpr DORVA_GET_IDF_DATA2 kGetIDFData2 = &GetIDFData2;
#endif
}  // namespace
