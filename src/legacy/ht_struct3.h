// Wrapper of the halftone structure handed to the module at every page start.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "dorva_records.h"
#include "legacy/aux_records.h"
#include "legacy/struct_wrapper.h"

namespace tavik::dorva {

class HtStruct3 : public CStructWrapperBase<tagHTSTRUCT3_5, tagHTSTRUCT3*> {
 public:
  void SetVersion(std::uint16_t version) noexcept { mutable_record().Version = version; }
  void SetIntent(std::int32_t intent) noexcept { mutable_record().Intent = intent; }
  void SetFlag(bool flag) noexcept { mutable_record().Flag = flag ? 1 : 0; }
  void SetHalftoneType(std::int32_t type) noexcept { mutable_record().HalftoneType = type; }
  void SetGamma(std::int32_t gamma) noexcept { mutable_record().Gamma = gamma; }

  void SetReservedArrayA(std::span<const unsigned char> bytes) {
    AssignBytes(reserved_array_a_, bytes);
  }
  void SetReservedTextA(std::string_view text) { AssignText(reserved_text_a_, text); }
  void SetReservedArrayB(std::span<const unsigned char> bytes) {
    AssignBytes(reserved_array_b_, bytes);
  }
  // No length travels with the bytes: the module knows the calibration file format.
  void SetCalibData(std::span<const unsigned char> bytes) { AssignBytes(calib_data_, bytes); }
  void SetReservedTextB(std::string_view text) { AssignText(reserved_text_b_, text); }
  void SetGRTNParams(GRTNParams params) { grtn_params_ = std::move(params); }

  void UpdatePointers() override {
    tagHTSTRUCT3_5& record = mutable_record();
    Link(reserved_array_a_, record.lpReservedArrayA);
    Link(reserved_text_a_, record.lpReservedTextA);
    Link(reserved_array_b_, record.lpReservedArrayB);
    Link(calib_data_, record.lpCalibData);
    Link(reserved_text_b_, record.lpReservedTextB);
    Link(grtn_params_, record.lpGRTNParams);
  }

 private:
  OwnedBytes reserved_array_a_;
  OwnedText reserved_text_a_;
  OwnedBytes reserved_array_b_;
  OwnedBytes calib_data_;
  OwnedText reserved_text_b_;
  std::optional<GRTNParams> grtn_params_;
};

}  // namespace tavik::dorva
