// Job and page control: the host's job and page calls, and the lazy opening
// of the module's job and page.
#include "api/tavik_api.h"

namespace tavik {

std::int32_t TavikApi::StartPage(const QXOL_BASE_INFO* p_base_info, std::int32_t base_info_num,
                                 const QXOL_IMAGE_INFO* p_image_info, std::int32_t,
                                 const QXOL_CONVERT_INFO* p_convert_info) {
  // A new page always drops the module page, even when the records are refused.
  page_state_ = 0;
  if (p_base_info == nullptr || p_image_info == nullptr || p_convert_info == nullptr) {
    return QXOL_ERR_INVALID_ARGUMENT;
  }
  if (base_info_num != 1) return QXOL_ERR_INVALID_COUNT;

  ResetPageDescription(page_);
  page_->base = orlen::BaseInfo(*p_base_info);
  page_->image = orlen::ImageInfo(*p_image_info);
  page_->convert = orlen::ConvertInfo(*p_convert_info);
  // From here on the page refers to its own copies only, not to the host's arrays.
  page_->base.UpdatePointers();
  page_->image.UpdatePointers();
  page_->convert.UpdatePointers();

  converter_.state = 0;
  return QXOL_OK;
}

}  // namespace tavik
