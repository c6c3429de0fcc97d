#include "pipeline/page_description.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "params/param_catalogue.h"

namespace tavik {
namespace orlen {

namespace {

// A positive count with a null pointer is a host record that lies: it counts
// as no list rather than something to read from.
std::optional<std::vector<std::int32_t>> CopyList(const std::int32_t* values, std::int32_t num,
                                                  bool engage_empty) {
  if (num < 0 || (num == 0 && !engage_empty)) return std::nullopt;
  if (num > 0 && values == nullptr) return std::nullopt;
  return std::vector<std::int32_t>(values, values + num);
}

template <typename TElement, typename TRaw>
std::optional<std::vector<TElement>> CopyElements(const TRaw* records, std::int32_t num) {
  if (num <= 0 || records == nullptr) return std::nullopt;
  std::vector<TElement> elements;
  elements.reserve(static_cast<std::size_t>(num));
  for (std::int32_t i = 0; i < num; ++i) elements.emplace_back(records[i]);
  return elements;
}

// Rebuilds the contiguous raw array from the element wrappers, linked first so
// that no raw element keeps pointing into the host's memory.
template <typename TElement, typename TRaw>
TRaw* LinkElements(std::optional<std::vector<TElement>>& elements, std::vector<TRaw>& raw) {
  raw.clear();
  for (TElement& element : *elements) {
    element.UpdatePointers();
    raw.push_back(element.record());
  }
  return raw.data();
}

template <typename T>
T* DataOrNull(std::vector<T>& values) {
  return values.empty() ? nullptr : values.data();
}

}  // namespace

OutGroupInfo::OutGroupInfo(const QXOL_OUT_GROUP_INFO& info)
    : CStructWrapperBase(info),
      list_a_(CopyList(info.list_a, info.list_a_num, true)),
      list_b_(CopyList(info.list_b, info.list_b_num, true)) {}

void OutGroupInfo::UpdatePointers() {
  QXOL_OUT_GROUP_INFO& raw = mutable_record();
  if (list_a_) raw.list_a = DataOrNull(*list_a_);
  if (list_b_) raw.list_b = DataOrNull(*list_b_);
}

BaseInfo::BaseInfo(const QXOL_BASE_INFO& info)
    : CStructWrapperBase(info),
      out_groups_(CopyElements<OutGroupInfo>(info.out_groups, info.out_group_num)),
      color_convert_chs_(
          CopyElements<ColorConvertChInfo>(info.color_convert_chs, info.color_convert_ch_num)) {}

void BaseInfo::UpdatePointers() {
  QXOL_BASE_INFO& raw = mutable_record();
  if (out_groups_) raw.out_groups = LinkElements(out_groups_, out_group_records_);
  if (color_convert_chs_) {
    raw.color_convert_chs = LinkElements(color_convert_chs_, color_convert_ch_records_);
  }
}

ImageInfo::ImageInfo(const QXOL_IMAGE_INFO& info)
    : CStructWrapperBase(info), channels_(CopyList(info.channels, info.channel_num, false)) {}

std::int32_t ImageInfo::GetChannelNum() const noexcept {
  switch (record().data_type) {
    case 1:
    case -1:
      return 3;
    case 2:
    case -2:
      return 4;
    case 3:
    case -3:
      return channels_ ? static_cast<std::int32_t>(channels_->size()) : -1;
    default:
      return -1;
  }
}

std::int32_t ImageInfo::GetBytesPerSample() const noexcept {
  const std::int32_t data_type = record().data_type;
  if (data_type > 0) return 1;
  if (data_type < 0) return 2;
  return -1;
}

void ImageInfo::UpdatePointers() {
  if (channels_) mutable_record().channels = DataOrNull(*channels_);
}

CustomParams::CustomParams(const QXOL_CUSTOM_PARAM& param) : CStructWrapperBase(param) {
  // The lookup reports an identifier the catalogue does not know.
  const std::size_t element_size = ParamElementSize(GetParamType(param.param_id));
  if (element_size == 0 || param.value_num <= 0 || param.values == nullptr) return;
  const auto count = static_cast<std::size_t>(param.value_num);
  if (count > std::numeric_limits<std::size_t>::max() / element_size) {
    throw std::length_error("custom parameter value too large");
  }
  const auto* first = static_cast<const unsigned char*>(param.values);
  values_.emplace(first, first + count * element_size);
}

void CustomParams::UpdatePointers() {
  if (values_) mutable_record().values = DataOrNull(*values_);
}

ConvertInfo::ConvertInfo(const QXOL_CONVERT_INFO& info)
    : CStructWrapperBase(info),
      values_(CopyList(info.values, info.value_num, false)),
      custom_params_(CopyElements<CustomParams>(info.custom_params, info.custom_param_num)) {}

void ConvertInfo::UpdatePointers() {
  QXOL_CONVERT_INFO& raw = mutable_record();
  if (values_) raw.values = DataOrNull(*values_);
  if (custom_params_) raw.custom_params = LinkElements(custom_params_, custom_param_records_);
}

}  // namespace orlen

void ResetPageDescription(std::optional<PageDescription>& page) {
  page.reset();
  page.emplace();
}

}  // namespace tavik
