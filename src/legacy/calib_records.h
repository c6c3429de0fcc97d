// Wrappers of the calibration records: the BRS data record that the printer
// structure points to, and the module's calibration data request.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>

#include "dorva_records.h"
#include "legacy/struct_wrapper.h"

namespace tavik::dorva {

class BRSData : public CStructWrapperBase<tagBRSData_4, tagBRSData*> {
 public:
  // Layouts newer than this record's are never announced.
  void SetVersion(std::int32_t version) noexcept {
    mutable_record().Version = std::min<std::int32_t>(version, 4);
  }
  void SetBRSFilePath(std::string_view path) { AssignText(brs_file_path_, path); }
  void SetReservedText1(std::string_view text) { AssignText(reserved_text1_, text); }
  void SetCDGFilePath(std::string_view path) { AssignText(cdg_file_path_, path); }
  void SetBZ1Data(std::span<const unsigned char> bytes) {
    AssignBytesWithSize(bz1_data_, mutable_record().BZ1DataSize, bytes);
  }
  void SetCA1Data(std::span<const unsigned char> bytes) {
    AssignBytesWithSize(ca1_data_, mutable_record().CA1DataSize, bytes);
  }
  void SetReservedText2(std::string_view text) { AssignText(reserved_text2_, text); }
  void SetReservedText3(std::string_view text) { AssignText(reserved_text3_, text); }
  void SetECalibPath(std::string_view path) { AssignText(ecalib_path_, path); }
  void SetEECCalibData(std::span<const unsigned char> bytes) {
    AssignBytesWithSize(eec_calib_data_, mutable_record().EECCalibDataSize, bytes);
  }

  void UpdatePointers() override {
    tagBRSData_4& record = mutable_record();
    Link(brs_file_path_, record.lpBRSFilePath);
    Link(reserved_text1_, record.lpReservedText1);
    Link(cdg_file_path_, record.lpCDGFilePath);
    Link(bz1_data_, record.lpBZ1Data);
    Link(ca1_data_, record.lpCA1Data);
    Link(reserved_text2_, record.lpReservedText2);
    Link(reserved_text3_, record.lpReservedText3);
    Link(ecalib_path_, record.lpECalibPath);
    Link(eec_calib_data_, record.lpEECCalibData);
  }

 private:
  OwnedText brs_file_path_;
  OwnedText reserved_text1_;
  OwnedText cdg_file_path_;
  OwnedBytes bz1_data_;
  OwnedBytes ca1_data_;
  OwnedText reserved_text2_;
  OwnedText reserved_text3_;
  OwnedText ecalib_path_;
  OwnedBytes eec_calib_data_;
};

class CalibDataReq : public CStructWrapperBase<tag_CalibDataReq_1, tag_CalibDataReq*> {
 public:
  void SetVersion(std::int32_t version) noexcept { mutable_record().Version = version; }
  void SetToolPath(std::string_view path) { AssignText(tool_path_, path); }
  void SetPrinterType(std::int32_t type) noexcept { mutable_record().PrinterType = type; }
  void SetPrinterName(std::string_view name) { AssignText(printer_name_, name); }
  void SetWorkDir(std::string_view path) { AssignText(work_dir_, path); }

  bool has_tool_path() const noexcept { return tool_path_.has_value(); }

  void UpdatePointers() override {
    tag_CalibDataReq_1& record = mutable_record();
    Link(tool_path_, record.lpToolPath);
    Link(printer_name_, record.lpPrinterName);
    Link(work_dir_, record.lpWorkDir);
  }

 private:
  OwnedText tool_path_;
  OwnedText printer_name_;
  OwnedText work_dir_;
};

}  // namespace tavik::dorva
