// The module's job and page: opened lazily by the first band (or an IDF
// request), closed by the host's page and job ends.
#include "api/tavik_api.h"
#include "config/log.h"
#include "legacy/aux_records.h"
#include "legacy/ht_struct3.h"

namespace tavik {

std::int32_t TavikApi::StartJob() {
  // An open module job is not destroyed here; the next band opens a new one.
  job_state_ = 0;
  return QXOL_OK;
}

std::int32_t TavikApi::EndJob() {
  if (job_state_ != 0) {
    const std::int32_t status = module_->DestroyJob(module_->job);
    if (status != 0) {
      // The state stays open so that the host can try again.
      Log(kError, "error at HTM1 DestroyJob(): {}", status);
      return QXOL_ERR_INTERNAL;
    }
  }
  job_state_ = 0;
  return QXOL_OK;
}

std::int32_t TavikApi::EndPage(std::int32_t terminate) {
  dorva::TpInfoStruct tp_info = CreateTpInfoStruct(terminate);
  if (page_state_ != 0) {
    tp_info.UpdatePointers();
    const std::int32_t status = module_->TerminatePageEx(module_->job, tp_info.Get());
    if (status != 0) {
      Log(kError, "error at HTM1 TerminatePageEx(): {}", status);
      return QXOL_ERR_INTERNAL;
    }
  }
  ResetPageDescription(page_);
  page_state_ = 0;
  return QXOL_OK;
}

std::int32_t TavikApi::OpenJob(bool planar) {
  std::optional<dorva::PrtStruct3> built = CreatePrtStruct3(planar);
  if (built) {
    if (printer_structure_) {
      *printer_structure_ = std::move(*built);
    } else {
      printer_structure_.emplace(std::move(*built));
    }
  } else {
    printer_structure_.reset();
  }
  if (!printer_structure_) {
    Log(kError, "error at CreatePrtStruct3()");
    return QXOL_ERR_INTERNAL;
  }
  const std::int32_t status = InitModuleJob(*printer_structure_);
  if (status != 0) {
    // The printer structure stays with the instance; the job stays closed.
    Log(kError, "error at HTM1 InitJob(): {}", status);
    return QXOL_ERR_INTERNAL;
  }
  job_state_ = 1;
  return QXOL_OK;
}

std::int32_t TavikApi::InitModuleJob(dorva::PrtStruct3& printer_structure) {
  dorva::DorvaOpt option = CreateOption();
  option.UpdatePointers();
  printer_structure.UpdatePointers();
  return module_->InitJob(&module_->job, printer_structure.Get(), option.Get());
}

std::int32_t TavikApi::OpenPage(std::int32_t opened_state) {
  dorva::HtStruct3 halftone = CreateHtStruct3();
  halftone.UpdatePointers();
  const std::int32_t status = module_->InitPage(module_->job, halftone.Get());
  if (status != 0) {
    Log(kError, "error at HTM1 InitPage(): {}", status);
    return QXOL_ERR_INTERNAL;
  }
  page_state_ = opened_state;
  return QXOL_OK;
}

}  // namespace tavik
