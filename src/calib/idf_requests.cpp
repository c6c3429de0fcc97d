// The two IDF data requests: each brings the module's job and page into the
// state its entry point needs, opening them itself when necessary, and then
// carries the host's data to the module and back.
#include <cstdint>
#include <optional>
#include <vector>

#include "api/tavik_api.h"
#include "calib/color_hook.h"
#include "config/log.h"
#include "legacy/param_reads.h"

namespace tavik {

namespace {

// Truncates toward zero like the 32-bit division it stands for; the one
// quotient that does not fit wraps instead of trapping.
std::int32_t WrappingDiv(std::int32_t dividend, std::int32_t divisor) noexcept {
  const std::int64_t quotient = static_cast<std::int64_t>(dividend) / divisor;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(quotient));
}

// The value lists of the second request live for the process; their length is
// taken once and kept.
std::vector<std::int32_t>& IdfListA() {
  static std::vector<std::int32_t> list;
  return list;
}
std::vector<std::int32_t>& IdfListB() {
  static std::vector<std::int32_t> list;
  return list;
}

// What opening the IDF job changes for its duration: the third microweave
// pass is switched off and, for a module with the colour conversion hook, the
// page geometry is rewritten. Everything is put back when the object goes,
// also when the opening throws.
class IdfJobOverrides {
 public:
  explicit IdfJobOverrides(TavikApi& api) : api_(api) {
    try {
      OptionDictionary& options = api_.options_;
      // The stored entries are put back exactly as they were: storing the
      // remembered value again would cut a list to its first element and copy
      // it into the current print mode's table.
      if (options.GetParam(QXIDS32_TV_H_DRV_MWP3)) {
        mwp3_ = options.SaveEntries(QXIDS32_TV_H_DRV_MWP3);
        options.SetParams<std::int32_t>(QXIDS32_TV_H_DRV_MWP3, 0);
      }
      if (HasColorConversionHook(api_.configuration_)) RewriteGeometry();
    } catch (...) {
      Restore();
      throw;
    }
  }
  ~IdfJobOverrides() { Restore(); }
  IdfJobOverrides(const IdfJobOverrides&) = delete;
  IdfJobOverrides& operator=(const IdfJobOverrides&) = delete;

 private:
  void Restore() {
    if (mwp3_) api_.options_.RestoreEntries(QXIDS32_TV_H_DRV_MWP3, *mwp3_);
    mwp3_.reset();
    if (geometry_) {
      QXOL_IMAGE_INFO& image = *api_.page_->image.Get();
      QXOL_BASE_INFO& base = *api_.page_->base.Get();
      image.res_x = geometry_->res_x;
      image.res_y = geometry_->res_y;
      image.width = geometry_->width;
      image.height = geometry_->height;
      base.paper_width = geometry_->paper_width;
      base.paper_height = geometry_->paper_height;
      base.reserved = 0;
    }
    geometry_.reset();
  }

  struct Geometry {
    std::int32_t res_x;
    std::int32_t res_y;
    std::int32_t width;
    std::int32_t height;
    std::int32_t paper_width;
    std::int32_t paper_height;
  };

  // The hook's module takes the whole page as one row at printer resolution.
  void RewriteGeometry() {
    const OptionDictionary& options = api_.options_;
    if (!api_.page_) ResetPageDescription(api_.page_);
    QXOL_IMAGE_INFO& image = *api_.page_->image.Get();
    QXOL_BASE_INFO& base = *api_.page_->base.Get();
    geometry_ = Geometry{image.res_x,  image.res_y,      image.width,
                         image.height, base.paper_width, base.paper_height};
    const auto printer_res_x = options.GetParam(QXIDS32_PRT_RES_X);
    const auto printer_res_y = options.GetParam(QXIDS32_PRT_RES_Y);
    const auto source_res_x = options.GetParam(QXIDS32_SRC_RES_X);
    const auto source_res_y = options.GetParam(QXIDS32_SRC_RES_Y);
    if (!printer_res_x || !printer_res_y) return;
    image.res_x = *printer_res_x;
    image.res_y = *printer_res_y;
    image.width = WrappingMul(image.width, image.height);
    base.reserved = 0;
    base.paper_width = WrappingMul(base.paper_width, base.paper_height);
    if (!source_res_x || !source_res_y) return;
    ScaleToSource(base.paper_width, *source_res_x, *printer_res_x, "QXIDS32_PRT_RES_X");
    ScaleToSource(base.paper_height, *source_res_y, *printer_res_y, "QXIDS32_PRT_RES_Y");
  }

  // A zero printer resolution leaves the dimension as it is: dividing by it
  // would bring the host's process down.
  static void ScaleToSource(std::int32_t& dots, std::int32_t source_res, std::int32_t printer_res,
                            const char* parameter_name) {
    if (printer_res == 0) {
      Log(kError, "{} (0) is not valid; the paper size is not scaled by it.", parameter_name);
      return;
    }
    dots = WrappingDiv(WrappingMul(source_res, dots), printer_res);
  }

  TavikApi& api_;
  std::optional<ParamEntries> mwp3_;
  std::optional<Geometry> geometry_;
};

}  // namespace

std::int32_t TavikApi::PrvGetIDFData1(QXOL_IDF_DATA* p_data_a, QXOL_IDF_DATA* p_data_b) {
  if (p_data_a == nullptr || p_data_b == nullptr) return QXOL_ERR_INVALID_ARGUMENT;

  if (page_state_ == 1) EndPage(1);
  // A printing job gives way to an IDF job; one the module refuses to destroy is used as it is.
  if (job_state_ == 1) EndJob();
  if (job_state_ == 0) {
    const IdfJobOverrides overrides(*this);
    // A temporary: the job's own printer structure belongs to printing.
    std::optional<dorva::PrtStruct3> printer_structure = CreatePrtStruct3(false);
    if (printer_structure) {
      const std::int32_t status = InitModuleJob(*printer_structure);
      if (status != 0) Log(kError, "error at HTM1 InitJob(): {}", status);
    } else {
      Log(kError, "error at CreatePrtStruct3()");
    }
    // Marked open even when the module refused it: the page opening or the
    // request reports the failure.
    job_state_ = 2;
  }
  if (page_state_ == 0) {
    if (const std::int32_t result = OpenPage(2); result != QXOL_OK) return result;
  }

  DORVA_IDF_DATA record_a{p_data_a->size, p_data_a->data, nullptr};
  DORVA_IDF_DATA record_b{p_data_b->size, p_data_b->data, nullptr};
  std::int32_t status = -1;
  if (module_->GetIDFData1 == nullptr) {
    Log(kError, "Not support GID1,");
  } else {
    status = module_->GetIDFData1(module_->job, &record_a, &record_b);
    if (status == 0) {
      p_data_a->data = record_a.data;
      p_data_a->size = record_a.size;
      p_data_a->aux = p_data_b->aux;
      return QXOL_OK;
    }
  }
  Log(kError, "error at HTM1 QXOL_PrvGetIDFData1(): {}", status);
  return QXOL_ERR_INTERNAL;
}

std::int32_t TavikApi::PrvGetIDFData2(std::int32_t* p_value_a, std::int32_t* p_value_b,
                                      std::int32_t* p_list_a, std::int32_t* p_list_b) {
  if (p_value_a == nullptr || p_value_b == nullptr || p_list_a == nullptr || p_list_b == nullptr) {
    return QXOL_ERR_INVALID_ARGUMENT;
  }

  if (page_state_ == 2) EndPage(1);
  // An IDF job serves this request as it is; a printing job is opened afresh.
  if (job_state_ != 2) EndJob();
  if (job_state_ == 0) {
    std::optional<dorva::PrtStruct3> printer_structure = CreatePrtStruct3(false);
    if (!printer_structure) {
      Log(kError, "error at CreatePrtStruct3()");
      return QXOL_ERR_INTERNAL;
    }
    const std::int32_t status = InitModuleJob(*printer_structure);
    printer_structure.reset();
    if (status != 0) {
      Log(kError, "error at HTM1 InitJob(): {}", status);
      return QXOL_ERR_INTERNAL;
    }
    job_state_ = 1;
  }
  if (page_state_ == 0) {
    if (const std::int32_t result = OpenPage(1); result != QXOL_OK) return result;
  }

  std::int32_t value_a = *p_value_a;
  std::int32_t value_b = *p_value_b;
  std::vector<std::int32_t>& list_a = IdfListA();
  std::vector<std::int32_t>& list_b = IdfListB();
  if (list_a.empty() || list_b.empty()) {
    const auto inksets = options_.GetParams<std::int32_t>(QXIDS32_PRT_INKSET_ALL);
    if (!inksets) return QXOL_ERR_INTERNAL;
    list_a.resize(inksets->size());
    list_b.resize(list_a.size());
  }
  for (std::size_t i = 0; i < list_a.size(); ++i) {
    list_a[i] = p_list_a[i];
    list_b[i] = p_list_b[i];
  }

  std::int32_t status = -1;
  if (module_->GetIDFData2 == nullptr) {
    Log(kError, "Not support GID2,");
  } else {
    status = module_->GetIDFData2(module_->job, &value_a, &value_b, list_a.data(), list_b.data());
    if (status == 0) {
      *p_value_a = value_a;
      *p_value_b = value_b;
      for (std::size_t i = 0; i < list_a.size(); ++i) {
        p_list_a[i] = list_a[i];
        p_list_b[i] = list_b[i];
      }
      return QXOL_OK;
    }
  }
  Log(kError, "error at HTM1 QXOL_PrvGetIDFData2(): {}", status);
  return QXOL_ERR_INTERNAL;
}

}  // namespace tavik
