#include "api/tavik_api.h"

#include <filesystem>

#include "config/diagnostics.h"
#include "config/log.h"
#include "config/paths.h"

namespace tavik {

namespace fs = std::filesystem;

TavikApi::~TavikApi() {
  // Explicit so the reverse release order is visible: the module goes last and
  // is never called here, so an open module job or page is simply abandoned.
  printer_structure_.reset();
  calibration_buffer_.clear();
  spool_callback_ = nullptr;
  page_.reset();
  module_.reset();
}

std::int32_t TavikApi::Init(const char* p_ini_filepath, QXOL_SPOOL_FUNC spool_func,
                            void* spool_context) {
  return Init2(p_ini_filepath, 0, spool_func, spool_context);
}

std::int32_t TavikApi::Init2(const char* p_ini_filepath, std::int32_t spool_func_type,
                             QXOL_SPOOL_FUNC spool_func, void* spool_context) {
  InstallFileLoggerIfEnabled();

  if (p_ini_filepath == nullptr) {
    Log(kError, "tavik ini file path is null");
    return QXOL_ERR_INIT_FAILED;
  }
  configuration_.Load(ResolvePath(p_ini_filepath));
  if (!configuration_.loaded()) {
    Log(kError, "couldn't laod tavik ini file: {}", p_ini_filepath);
    return QXOL_ERR_INIT_FAILED;
  }

  LoadParamResource();
  ApplyLogLevelParameter();

  if (spool_func_type != 0 && spool_func_type != 5) {
    Log(kError, "not support function type: {}", spool_func_type);
    return QXOL_ERR_INVALID_ARGUMENT;
  }
  if (spool_func != nullptr) {
    spool_callback_ = spool_func;
    spool_context_ = spool_context;
  }

  if (const auto module_path = configuration_.GetKnown(DV_MOD_HMM)) {
    const fs::path path = ResolvePath(*module_path);
    if (fs::exists(path) && !fs::is_directory(path)) {
      module_.reset();
      module_ = std::make_unique<ModuleBinding>(path.string());
    }
  }
  if (module_ && module_->Complete()) return QXOL_OK;
  Log(kError, "couldn't laod dorva hmm module file.");
  return QXOL_ERR_INIT_FAILED;
}

std::int32_t TavikApi::Delete() {
  return QXOL_OK;
}

namespace {
std::int32_t NotSupported() {
  Log(kCritical, "no plans to support");
  return QXOL_ERR_NOT_SUPPORTED;
}
}  // namespace

std::int32_t TavikApi::StartRepeatMode() {
  return NotSupported();
}
std::int32_t TavikApi::DoRepeat() {
  return NotSupported();
}
std::int32_t TavikApi::EndRepeatMode() {
  return NotSupported();
}
std::int32_t TavikApi::EnumPmInfoID(void*, void*) {
  return NotSupported();
}

std::int32_t QXOL_CALL TavikApi::SpoolRelay(void* context, signed char* data, std::int32_t size) {
  const auto* self = static_cast<const TavikApi*>(context);
  if (self->spool_callback_ == nullptr) return 1;
  return self->spool_callback_(self->spool_context_, data, size) != 0 ? 1 : 0;
}

}  // namespace tavik
