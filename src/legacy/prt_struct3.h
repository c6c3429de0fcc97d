// Wrapper of the printer structure: the main record of a module job, owning
// every record it points to.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "dorva_records.h"
#include "legacy/aux_records.h"
#include "legacy/calib_records.h"
#include "legacy/job_data.h"
#include "legacy/media_option.h"
#include "legacy/struct_wrapper.h"

namespace tavik::dorva {

class PrtStruct3 : public CStructWrapperBase<tagPRTSTRUCT3_12, tagPRTSTRUCT3*> {
 public:
  void SetVersion(std::uint16_t version) noexcept { mutable_record().Version = version; }
  void SetInputFormat(std::int32_t format) noexcept { mutable_record().InputFormat = format; }
  std::int32_t GetInputFormat() const noexcept { return record().InputFormat; }
  void SetMode(std::int32_t mode) noexcept { mutable_record().Mode = mode; }
  std::int32_t GetMode() const noexcept { return record().Mode; }
  void SetSubMode(std::int32_t mode) noexcept { mutable_record().SubMode = mode; }
  void SetImageRes(std::int32_t x, std::int32_t y) noexcept {
    mutable_record().ImageResX = x;
    mutable_record().ImageResY = y;
  }
  void SetPrinterRes(std::int32_t x, std::int32_t y) noexcept {
    mutable_record().PrinterResX = x;
    mutable_record().PrinterResY = y;
  }
  void SetPaperSize(std::int32_t width, std::int32_t length) noexcept {
    mutable_record().PaperWidth = width;
    mutable_record().PaperLength = length;
  }
  void SetImageSize(std::int32_t width, std::int32_t height) noexcept {
    mutable_record().ImageWidth = width;
    mutable_record().ImageHeight = height;
  }
  void SetPrintSize(std::int32_t width, std::int32_t height) noexcept {
    mutable_record().PrintWidth = width;
    mutable_record().PrintHeight = height;
  }
  void SetOrigin(std::int32_t x, std::int32_t y) noexcept {
    mutable_record().OriginX = x;
    mutable_record().OriginY = y;
  }
  void SetMediaType(std::int32_t type) noexcept { mutable_record().MediaType = type; }
  void SetCopies(std::int32_t copies) noexcept { mutable_record().Copies = copies; }
  void SetPaperBin(std::int32_t bin) noexcept { mutable_record().PaperBin = bin; }
  void SetReserved5(std::uint16_t value) noexcept { mutable_record().Reserved5 = value; }

  // Flag words: set the whole word, OR a mask in, or clear a mask.
  void SetPrintOption(std::uint32_t bits) noexcept { mutable_record().PrintOption = bits; }
  void AddPrintOption(std::uint32_t mask) noexcept { mutable_record().PrintOption |= mask; }
  void RemovePrintOption(std::uint32_t mask) noexcept { mutable_record().PrintOption &= ~mask; }
  void SetJobOption(std::uint32_t bits) noexcept { mutable_record().JobOption = bits; }
  void AddJobOption(std::uint32_t mask) noexcept { mutable_record().JobOption |= mask; }
  void RemoveJobOption(std::uint32_t mask) noexcept { mutable_record().JobOption &= ~mask; }
  void SetOptionEx2(std::uint32_t bits) noexcept { mutable_record().OptionEx2 = bits; }
  void AddOptionEx2(std::uint32_t mask) noexcept { mutable_record().OptionEx2 |= mask; }
  void RemoveOptionEx2(std::uint32_t mask) noexcept { mutable_record().OptionEx2 &= ~mask; }

  void SetRemoteCommand(RemoteCommand command) { remote_command_ = std::move(command); }
  void SetCutCommand(CutCommand command) { cut_command_ = std::move(command); }
  void SetReservedText(std::string_view text) { AssignText(reserved_text_, text); }
  void SetMediaOption(MediaOption option) { media_option_ = std::move(option); }
  void SetJobData(JobData job_data) { job_data_ = std::move(job_data); }
  void SetTrimInfo(TrimInfo info) { trim_info_ = std::move(info); }
  void SetHeadInfo(HeadInfo info) { head_info_ = std::move(info); }
  void SetModulePath(std::string_view path) { AssignText(module_path_, path); }
  void SetBRSData(BRSData data) { brs_data_ = std::move(data); }
  void SetReservedArray(std::span<const unsigned char> bytes) {
    AssignBytes(reserved_array_, bytes);
  }

  const std::optional<CutCommand>& cut_command() const noexcept { return cut_command_; }
  const std::optional<MediaOption>& media_option() const noexcept { return media_option_; }
  const std::optional<JobData>& job_data() const noexcept { return job_data_; }
  const std::optional<BRSData>& brs_data() const noexcept { return brs_data_; }

  // Links the nested records' own pointers too, so one call before the
  // module's job start suffices.
  void UpdatePointers() override {
    tagPRTSTRUCT3_12& record = mutable_record();
    Link(remote_command_, record.lpRemoteCommand);
    Link(cut_command_, record.lpCutCommand);
    Link(reserved_text_, record.lpReservedText);
    Link(media_option_, record.lpMediaOption);
    Link(job_data_, record.lpJobData);
    Link(trim_info_, record.lpTrimInfo);
    Link(head_info_, record.lpHeadInfo);
    Link(module_path_, record.lpModulePath);
    Link(brs_data_, record.lpBRSData);
    Link(reserved_array_, record.lpReservedArray);
  }

 private:
  std::optional<RemoteCommand> remote_command_;
  std::optional<CutCommand> cut_command_;
  OwnedText reserved_text_;
  std::optional<MediaOption> media_option_;
  std::optional<JobData> job_data_;
  std::optional<TrimInfo> trim_info_;
  std::optional<HeadInfo> head_info_;
  OwnedText module_path_;
  std::optional<BRSData> brs_data_;
  OwnedBytes reserved_array_;
};

}  // namespace tavik::dorva
