// One job of the reference module: reads the job and page records, halftones
// the pieces it is given row by row and sends the printer-data stream through
// the option record's output function.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dorva.h"
#include "halftone.h"
#include "stream_format.h"

namespace dorva_ref {

// Status values the entry points return (0 is success).
enum Status : std::int32_t {
  kOk = 0,
  kBadArgument = -1,      // null or unknown record, handle or version
  kBadInputFormat = -2,   // input format or page size the module cannot print
  kNoPage = -3,           // band data without an open page
  kRowsOutOfOrder = -4,   // a piece above rows already sent
  kOutsidePage = -5,      // a piece rectangle outside the page
  kSpoolRefused = -6,     // the output function refused data; the job is spoiled
  kBadHalftoneType = -7,  // a halftone type the module does not have
  kBadCalibration = -8,   // calibration bytes in a format the module does not know
  kOutOfMemory = -9,
  kPrinterNotSupported = -10001,  // calibration: printer type the module does not know
  kWorkDirUnusable = -10003,      // calibration: work directory missing or not writable
};

// Halftone types: ordered dither (the default 3, and 16), error diffusion 4.
inline constexpr std::int32_t kHalftoneOrdered = 3;
inline constexpr std::int32_t kHalftoneOrderedOpt = 16;
inline constexpr std::int32_t kHalftoneDiffusion = 4;

struct InputKind {
  int channels = 0;
  bool from_rgb = false;
};
// Channel count of an input format code. Planar n-channel codes share bits
// with the planar flag, so some codes fit two counts; the smaller one wins.
bool DecodeInputFormat(std::int32_t input_format, InputKind& kind);

class Job {
 public:
  // Reads the records; fails with a status when they cannot be printed.
  static std::int32_t Create(const tagPRTSTRUCT3_12* prt, const tagOPTION* option,
                             std::unique_ptr<Job>& job);
  ~Job();

  std::int32_t InitPage(const tagHTSTRUCT3_5* ht);
  std::int32_t BandOut(const DORVA_AREA* area, const DORVA_BAND_DATA* band, const DORVA_RECT* rect);
  std::int32_t EndPage(bool normal_end);
  // Ends an open page as aborted, writes the job trailer and flushes.
  std::int32_t Finish();
  std::int32_t ResetPage();

  std::int32_t IdfData1(DORVA_IDF_DATA* a, DORVA_IDF_DATA* b);
  std::int32_t IdfData2(std::int32_t* value_a, std::int32_t* value_b);
  std::int64_t dots() const { return job_dots_; }

 private:
  Job() = default;
  void EnsureBuffers();
  std::int32_t EmitRow(std::int32_t y);  // halftones amounts_ as row y
  std::int32_t Flush();
  std::int32_t Spoiled() const { return spoiled_ ? kSpoolRefused : kOk; }

  DORVA_OUTPUT_FUNC output_ = nullptr;
  void* context_ = nullptr;
  JobHeader header_;
  InputKind kind_;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::vector<std::int32_t> density_ratio_;  // per ink, 1/1024

  bool page_open_ = false;
  bool spoiled_ = false;
  std::uint32_t pages_ = 0;
  PageHeader page_;
  std::int32_t next_row_ = 0;  // rows above this were sent or skipped
  std::uint32_t rows_sent_ = 0;
  std::uint32_t crc_ = 0;
  std::vector<std::uint64_t> page_dots_;
  std::int64_t job_dots_ = 0;
  std::vector<ToneCurve> curves_;
  std::vector<ErrorDiffuser> diffusers_;
  std::vector<MatrixOffset> offsets_;

  std::vector<std::vector<std::uint8_t>> amounts_;  // per ink, one page row
  std::vector<std::uint8_t> bits_;
  std::vector<std::vector<std::uint8_t>> packed_;
  std::vector<std::uint8_t> out_;
  std::string idf_blob_;
};

}  // namespace dorva_ref
