// Wrapper of the job data record: identification texts, job number and the
// hard-disk (stored job) option block.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "dorva_records.h"
#include "legacy/struct_wrapper.h"

namespace tavik::dorva {

class JobData : public CStructWrapperBase<tagJOBDATA_6, tagJOBDATA*> {
 public:
  using HddOptionBlock = std::array<unsigned char, JOBDATA_HDD_OPTION_SIZE>;

  void SetVersion(std::uint16_t version) noexcept { mutable_record().Version = version; }

  // Each text setter writes the byte length first; an empty text stays absent.
  void SetData(std::span<const unsigned char> bytes) {
    AssignBytesWithSize(data_, mutable_record().DataSize, bytes);
  }
  void SetOwnerName(std::string_view text) {
    AssignTextWithSize(owner_name_, mutable_record().OwnerNameSize, text);
  }
  void SetDocName(std::string_view text) {
    AssignTextWithSize(doc_name_, mutable_record().DocNameSize, text);
  }
  // A new host name invalidates the type given for an earlier one.
  void SetHostName(std::string_view text) {
    AssignTextWithSize(host_name_, mutable_record().HostNameSize, text);
    mutable_record().HostNameType = 0;
  }
  void SetHostNameType(std::int32_t type) noexcept { mutable_record().HostNameType = type; }
  void SetJobID(std::int32_t id) noexcept { mutable_record().JobID = id; }
  void SetVenderInfo(std::string_view text) {
    AssignTextWithSize(vender_info_, mutable_record().VenderInfoSize, text);
  }
  void SetOSInfo(std::string_view text) {
    AssignTextWithSize(os_info_, mutable_record().OSInfoSize, text);
  }
  void SetMediaInfo(std::string_view text) {
    AssignTextWithSize(media_info_, mutable_record().MediaInfoSize, text);
  }
  void SetDisablePrinterErrorCheck(std::int32_t value) noexcept {
    mutable_record().DisablePrinterErrorCheck = value;
  }

  // Sets one byte of the hard-disk option block (indexes 0 to 7; others are
  // logged and ignored). The block starts as 1, 1, 0, ... and the module sees
  // its bytes up to the highest index set so far.
  void SetHDDOption_XX(std::int32_t index, std::int32_t value);

  const std::optional<HddOptionBlock>& hdd_option() const noexcept { return hdd_option_; }

  void UpdatePointers() override {
    tagJOBDATA_6& record = mutable_record();
    Link(data_, record.lpData);
    Link(owner_name_, record.lpOwnerName);
    Link(doc_name_, record.lpDocName);
    Link(host_name_, record.lpHostName);
    Link(vender_info_, record.lpVenderInfo);
    Link(os_info_, record.lpOSInfo);
    Link(media_info_, record.lpMediaInfo);
    if (hdd_option_) record.lpHDDOption = hdd_option_->data();
  }

 private:
  OwnedBytes data_;
  OwnedText owner_name_;
  OwnedText doc_name_;
  OwnedText host_name_;
  OwnedText vender_info_;
  OwnedText os_info_;
  OwnedText media_info_;
  std::optional<HddOptionBlock> hdd_option_;
};

}  // namespace tavik::dorva
