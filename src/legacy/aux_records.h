// Wrappers of the small legacy records: cut command, remote command, trim and
// head information, OS-dependent record, TP information, monochrome-photo
// parameters and the option record of the module's job start.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dorva_records.h"
#include "legacy/struct_wrapper.h"

namespace tavik::dorva {

class CutCommand : public CStructWrapperBase<tagCUTCMD, tagCUTCMD*> {
 public:
  void SetVersion(std::uint16_t version) noexcept { mutable_record().Version = version; }
  void SetCutMode(std::uint16_t cut_mode) noexcept { mutable_record().CutMode = cut_mode; }
};

class RemoteCommand : public CStructWrapperBase<tagRCMDSTRUCT, tagRCMDSTRUCT*> {
 public:
  void SetCommand(std::span<const unsigned char> bytes) { AssignBytes(command_, bytes); }
  void UpdatePointers() override { Link(command_, mutable_record().lpCommand); }

 private:
  OwnedBytes command_;
};

class TrimInfo : public CStructWrapperBase<tagTRIMINFO, tagTRIMINFO*> {};

class HeadInfo : public CStructWrapperBase<tagHEADINFO_2, tagHEADINFO*> {
 public:
  void SetHeadData(std::span<const unsigned char> bytes) { AssignBytes(head_data_, bytes); }
  void UpdatePointers() override { Link(head_data_, mutable_record().lpHeadData); }

 private:
  OwnedBytes head_data_;
};

// Always zero: one accompanies every band piece.
class OSDep : public CStructWrapperBase<tagOSDEP4, tagOSDEP3*> {};

class TpInfoStruct : public CStructWrapperBase<tagTPINFOSTRUCT, tagTPINFOSTRUCT*> {
 public:
  void SetVersion(std::uint16_t version) noexcept { mutable_record().Version = version; }
  void SetNormalEnd(std::int32_t normal_end) noexcept { mutable_record().NormalEnd = normal_end; }
};

class GRTNParams : public CStructWrapperBase<tagGRTN_PARAMS_1, void*> {};

class DorvaOpt : public CStructWrapperBase<tagOPTION, tagOPTION*> {
 public:
  void SetHTModulePath(std::string_view path) { AssignText(ht_module_path_, path); }
  void SetMWModulePath(std::string_view path) { AssignText(mw_module_path_, path); }
  // Owns the texts and writes their number into ResourcePathCount; an empty
  // list makes the list absent.
  void SetResourcePaths(std::vector<std::string> paths);
  void SetOutputCallback(DORVA_OUTPUT_FUNC callback, void* context) noexcept {
    mutable_record().OutputCallback = callback;
    mutable_record().CallbackContext = context;
  }

  // Also rebuilds the table of text pointers from the list of resource paths.
  void UpdatePointers() override;

 private:
  OwnedText ht_module_path_;
  OwnedText mw_module_path_;
  std::optional<std::vector<std::string>> resource_paths_;
  std::vector<char*> resource_path_table_;
};

}  // namespace tavik::dorva
