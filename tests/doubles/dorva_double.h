// Control interface of the test double of the legacy halftone module.
//
// The double exports the eleven module entry points. Every call is appended to
// Control::calls with deep copies of the records it received and of the
// records, texts and arrays their pointer fields lead to, taken during the
// call, so a test can inspect them after the library has freed the originals.
// Pointer fields inside the copied raw records keep the values the double saw;
// only their nullness and identity mean anything afterwards.
//
// The test reaches the Control of a loaded double through the exported
// accessor dorva_double_control() (tests/support/double_module.h does this).
// The test binary and the double are built from this header with the same
// compiler and flags, so the C++ types may cross the library boundary.
//
// Scripted side effects (spool deliveries, calibration files, IDF answers, the
// job handle) happen whatever status the call returns: a failing module may
// still have touched its arguments, and the library must cope with that.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dorva.h"

namespace tavik_double {

enum class Entry : int {
  kInitJob,
  kInitPage,
  kBandOut,
  kTerminatePage,
  kTerminatePageEx,
  kDestroyJob,
  kResetJob,
  kGetCalibData,
  kGetInkAmount,
  kGetIDFData1,
  kGetIDFData2,
};

// The exported name of an entry point.
inline const char* EntryName(Entry entry) {
  switch (entry) {
    case Entry::kInitJob:
      return "InitJob";
    case Entry::kInitPage:
      return "InitPage";
    case Entry::kBandOut:
      return "BandOut";
    case Entry::kTerminatePage:
      return "TerminatePage";
    case Entry::kTerminatePageEx:
      return "TerminatePageEx";
    case Entry::kDestroyJob:
      return "DestroyJob";
    case Entry::kResetJob:
      return "ResetJob";
    case Entry::kGetCalibData:
      return "GetCalibData";
    case Entry::kGetInkAmount:
      return "GetInkAmount";
    case Entry::kGetIDFData1:
      return "GetIDFData1";
    case Entry::kGetIDFData2:
      return "GetIDFData2";
  }
  return "?";
}

using Bytes = std::vector<unsigned char>;
// A NUL-terminated text behind a pointer field; nullopt when the pointer was null.
using Text = std::optional<std::string>;
// A byte array behind a pointer field with a count field; nullopt when the
// pointer was null. A non-null pointer with a count <= 0 gives an empty array.
using Array = std::optional<Bytes>;

struct JobDataCopy {
  tagJOBDATA_6 record{};
  Array data;  // DataSize bytes
  Text owner_name;
  Text doc_name;
  Text host_name;
  Text vender_info;
  Text os_info;
  Text media_info;
  Array hdd_option;  // HDDOptionSize bytes
};

struct BrsDataCopy {
  tagBRSData_4 record{};
  Text brs_file_path;
  Text reserved_text1;
  Text cdg_file_path;
  Array bz1_data;  // BZ1DataSize bytes
  Array ca1_data;  // CA1DataSize bytes
  Text reserved_text2;
  Text reserved_text3;
  Text ecalib_path;
  Array eec_calib_data;  // EECCalibDataSize bytes
};

struct RemoteCommandCopy {
  tagRCMDSTRUCT record{};
  Array command;  // CommandSize bytes
};

struct HeadInfoCopy {
  tagHEADINFO_2 record{};
  Array head_data;  // HeadDataSize bytes
};

struct PrtStructCopy {
  tagPRTSTRUCT3_12 record{};
  std::optional<RemoteCommandCopy> remote_command;
  std::optional<tagCUTCMD> cut_command;
  Text reserved_text;
  std::optional<tagMEDIAOPT_8> media_option;
  std::optional<JobDataCopy> job_data;
  std::optional<tagTRIMINFO> trim_info;
  std::optional<HeadInfoCopy> head_info;
  Text module_path;
  std::optional<BrsDataCopy> brs_data;
};

struct OptionCopy {
  tagOPTION record{};
  Text ht_module_path;
  Text mw_module_path;
  // ResourcePathCount entries when lpResourcePaths is not null.
  std::optional<std::vector<Text>> resource_paths;
};

struct HtStructCopy {
  tagHTSTRUCT3_5 record{};
  Text reserved_text_a;
  Text reserved_text_b;
  // The record gives no length for lpCalibData: the bytes are copied only when
  // the test names the length (Control::ht_calib_length), else only the
  // pointer in the raw record is kept.
  Array calib_data;
  std::optional<tagGRTN_PARAMS_1> grtn_params;
};

struct BandCopy {
  std::optional<DORVA_AREA> valid_area;
  std::optional<DORVA_BAND_DATA> band;
  const void* reserved = nullptr;
  std::optional<DORVA_RECT> rect;
  std::optional<tagOSDEP4> os_dep;
  // Planar when the band record has a plane table, interleaved when it has a
  // data pointer.
  bool planar = false;
  // Planes copied: the job's channel count when planar, 1 when interleaved.
  std::int32_t plane_count = 0;
  std::vector<const unsigned char*> plane_pointers;
  // Per plane, (rect.bottom - rect.top) * stride bytes from its first row.
  std::vector<Bytes> pixels;
};

struct CalibRequestCopy {
  tag_CalibDataReq_1 record{};
  Text tool_path;
  Text printer_name;
  Text work_dir;
};

struct IdfRecordCopy {
  DORVA_IDF_DATA record{};
  Array bytes;  // size bytes behind data, as handed in
};

struct Idf1Copy {
  std::optional<IdfRecordCopy> a;
  std::optional<IdfRecordCopy> b;
};

struct Idf2Copy {
  std::optional<std::int32_t> value_a;
  std::optional<std::int32_t> value_b;
  const std::int32_t* list_a_pointer = nullptr;
  const std::int32_t* list_b_pointer = nullptr;
  // Control::idf2_list_length elements of each list, when its pointer is not null.
  std::optional<std::vector<std::int32_t>> list_a;
  std::optional<std::vector<std::int32_t>> list_b;
};

// One delivery through the spool function and what it answered.
struct SpoolDelivery {
  Bytes bytes;
  std::int32_t answer = 0;
};

struct Call {
  Entry entry = Entry::kInitJob;
  // 1 for the first call of this entry point since the last Reset, and so on.
  int n = 0;
  // The job handle argument. For InitJob: the handle the double wrote.
  void* job = nullptr;
  // InitJob only: the address the handle was written through.
  void** job_slot = nullptr;
  std::int32_t status = 0;  // what the double returned

  std::optional<PrtStructCopy> prt;
  std::optional<OptionCopy> option;
  std::optional<HtStructCopy> ht;
  std::optional<BandCopy> band;
  std::optional<tagTPINFOSTRUCT> tp_info;
  std::optional<CalibRequestCopy> calib_request;
  std::optional<Idf1Copy> idf1;
  std::optional<Idf2Copy> idf2;

  std::vector<SpoolDelivery> spool;
  // What the double could not do as scripted (for example a spool delivery
  // before any InitJob); empty when all went as told.
  std::vector<std::string> problems;
};

// n counts the calls of one entry point from 1; n = 0 matches every call.
struct StatusRule {
  Entry entry = Entry::kInitJob;
  int n = 0;
  std::int32_t status = 0;
};

struct SpoolRule {
  Entry entry = Entry::kBandOut;
  int n = 0;
  Bytes bytes;
};

// Written into the calibration request's work directory by GetCalibData. The
// name is relative to the directory and may hold '/' for subdirectories; a
// directory entry creates an empty directory instead of a file.
struct CalibFile {
  std::string name;
  Bytes bytes;
  bool directory = false;
};

// Each present buffer replaces the record's data (with storage the Control
// owns until the next Reset) and size (its byte count).
struct Idf1Reply {
  std::optional<Bytes> a;
  std::optional<Bytes> b;
};

// Written back through the value pointers; each list overwrites as many
// leading elements as it holds.
struct Idf2Reply {
  std::int32_t value_a = 0;
  std::int32_t value_b = 0;
  std::vector<std::int32_t> list_a;
  std::vector<std::int32_t> list_b;
};

inline void* DefaultJobHandle() {
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x10b0b));
}

struct Control {
  // ---- What happened ----
  std::vector<Call> calls;

  // ---- The script ----
  std::vector<StatusRule> statuses;  // the first matching rule wins; else 0
  std::vector<SpoolRule> spools;     // every matching rule delivers, in order
  std::vector<CalibFile> calib_files;
  std::optional<Idf1Reply> idf1_reply;
  std::optional<Idf2Reply> idf2_reply;
  // GetIDFData2 receives lists without a length: the number of elements to
  // record from each.
  std::int32_t idf2_list_length = 0;
  // Written through InitJob's first argument; not written when false.
  void* job_handle = DefaultJobHandle();
  bool write_job_handle = true;
  // Number of calibration bytes to copy from the halftone structure; < 0: none.
  std::int32_t ht_calib_length = -1;
  // Plane count of planar pieces; <= 0: derived from the InputFormat of the
  // printer structure received at the last InitJob.
  std::int32_t band_plane_count = 0;

  // ---- State the double keeps between calls (not for tests to set) ----
  DORVA_OUTPUT_FUNC output = nullptr;  // from the last InitJob's option record
  void* output_context = nullptr;
  std::int32_t input_format = 0;    // from the last InitJob's printer structure
  std::vector<Bytes> idf1_storage;  // keeps Idf1Reply buffers alive
  int counts[11] = {};

  void Reset() { *this = Control{}; }

  std::vector<Entry> Sequence() const {
    std::vector<Entry> out;
    for (const Call& c : calls) out.push_back(c.entry);
    return out;
  }
  int Count(Entry entry) const {
    int count = 0;
    for (const Call& c : calls) count += c.entry == entry ? 1 : 0;
    return count;
  }
  // The calls of one entry point in order; pointers into calls.
  std::vector<const Call*> Of(Entry entry) const {
    std::vector<const Call*> out;
    for (const Call& c : calls) {
      if (c.entry == entry) out.push_back(&c);
    }
    return out;
  }
  const Call* Last(Entry entry) const {
    for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
      if (it->entry == entry) return &*it;
    }
    return nullptr;
  }
};

// Plane count of a planar piece for a printer structure's InputFormat: the
// planar flag 1000 is ORed (not added) into the code, so n-channel codes can
// collide; the smallest matching channel count is taken. 0 when unknown.
inline std::int32_t PlanarChannelCount(std::int32_t input_format) {
  if (input_format == (1 | 1000)) return 3;
  if (input_format == (4 | 1000)) return 4;
  for (std::int32_t n = 1; n <= 64; ++n) {
    if (((100 + n) | 1000) == input_format) return n;
  }
  return 0;
}

}  // namespace tavik_double

// Exported by every dorva_double variant.
extern "C" tavik_double::Control* dorva_double_control();
using DorvaDoubleControlFunc = tavik_double::Control* (*)();
