// The loaded legacy halftone module: its library, its job handle and its
// resolved entry points (null when missing).
#pragma once

#include <string>

#include "dorva.h"
#include "legacy/shared_library.h"

namespace tavik {

struct ModuleBinding {
  explicit ModuleBinding(const std::string& path);

  // The nine entry points a module must export, although three are never called.
  bool Complete() const;

  zarn::SharedLibrary library;
  void* job = nullptr;
  DORVA_INIT_JOB InitJob = nullptr;
  DORVA_INIT_PAGE InitPage = nullptr;
  DORVA_BAND_OUT BandOut = nullptr;
  DORVA_TERMINATE_PAGE TerminatePage = nullptr;
  DORVA_TERMINATE_PAGE_EX TerminatePageEx = nullptr;
  DORVA_DESTROY_JOB DestroyJob = nullptr;
  DORVA_RESET_JOB ResetJob = nullptr;
  DORVA_GET_CALIB_DATA GetCalibData = nullptr;
  DORVA_GET_INK_AMOUNT GetInkAmount = nullptr;
  DORVA_GET_IDF_DATA1 GetIDFData1 = nullptr;
  DORVA_GET_IDF_DATA2 GetIDFData2 = nullptr;
};

}  // namespace tavik
