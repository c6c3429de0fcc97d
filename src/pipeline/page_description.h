// The host's page records, copied at page start into wrappers that own every
// array the records point to, and the page description built from them.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "legacy/struct_wrapper.h"
#include "qxol.h"

namespace tavik {
namespace orlen {

// Counts of the host's lists: negative means no list. An engaged copy (even an
// empty one) replaces both pointers at UpdatePointers().
class OutGroupInfo : public CStructWrapperBase<QXOL_OUT_GROUP_INFO, QXOL_OUT_GROUP_INFO*> {
 public:
  OutGroupInfo() = default;
  explicit OutGroupInfo(const QXOL_OUT_GROUP_INFO& info);

  const std::optional<std::vector<std::int32_t>>& list_a() const noexcept { return list_a_; }
  const std::optional<std::vector<std::int32_t>>& list_b() const noexcept { return list_b_; }

  void UpdatePointers() override;

 private:
  std::optional<std::vector<std::int32_t>> list_a_;
  std::optional<std::vector<std::int32_t>> list_b_;
};

// The tables' lengths are not part of the record, so only the pointer values
// travel with the copy.
class ColorConvertChInfo
    : public CStructWrapperBase<QXOL_COLOR_CONVERT_CH_INFO, QXOL_COLOR_CONVERT_CH_INFO*> {
 public:
  ColorConvertChInfo() = default;
  explicit ColorConvertChInfo(const QXOL_COLOR_CONVERT_CH_INFO& info) : CStructWrapperBase(info) {}
};

class BaseInfo : public CStructWrapperBase<QXOL_BASE_INFO, QXOL_BASE_INFO*> {
 public:
  BaseInfo() = default;
  explicit BaseInfo(const QXOL_BASE_INFO& info);

  const std::optional<std::vector<OutGroupInfo>>& out_groups() const noexcept {
    return out_groups_;
  }
  const std::optional<std::vector<ColorConvertChInfo>>& color_convert_chs() const noexcept {
    return color_convert_chs_;
  }

  void UpdatePointers() override;

 private:
  std::optional<std::vector<OutGroupInfo>> out_groups_;
  std::vector<QXOL_OUT_GROUP_INFO> out_group_records_;
  std::optional<std::vector<ColorConvertChInfo>> color_convert_chs_;
  std::vector<QXOL_COLOR_CONVERT_CH_INFO> color_convert_ch_records_;
};

class ImageInfo : public CStructWrapperBase<QXOL_IMAGE_INFO, QXOL_IMAGE_INFO*> {
 public:
  ImageInfo() = default;
  explicit ImageInfo(const QXOL_IMAGE_INFO& info);

  // Channels per pixel of the pixel format; -1 when it cannot be told.
  std::int32_t GetChannelNum() const noexcept;
  // 1 for 8-bit formats, 2 for 16-bit formats, -1 for data_type 0.
  std::int32_t GetBytesPerSample() const noexcept;
  // Band data is planar when a pixel occupies exactly one sample.
  bool IsPlanar() const noexcept { return record().bpp == GetBytesPerSample(); }

  const std::optional<std::vector<std::int32_t>>& channels() const noexcept { return channels_; }

  void UpdatePointers() override;

 private:
  std::optional<std::vector<std::int32_t>> channels_;
};

// A per-page parameter value; the element width follows the parameter's type.
class CustomParams : public CStructWrapperBase<QXOL_CUSTOM_PARAM, QXOL_CUSTOM_PARAM*> {
 public:
  CustomParams() = default;
  explicit CustomParams(const QXOL_CUSTOM_PARAM& param);

  const std::optional<std::vector<unsigned char>>& values() const noexcept { return values_; }

  void UpdatePointers() override;

 private:
  std::optional<std::vector<unsigned char>> values_;
};

class ConvertInfo : public CStructWrapperBase<QXOL_CONVERT_INFO, QXOL_CONVERT_INFO*> {
 public:
  ConvertInfo() = default;
  explicit ConvertInfo(const QXOL_CONVERT_INFO& info);

  const std::optional<std::vector<std::int32_t>>& values() const noexcept { return values_; }
  const std::optional<std::vector<CustomParams>>& custom_params() const noexcept {
    return custom_params_;
  }

  void UpdatePointers() override;

 private:
  std::optional<std::vector<std::int32_t>> values_;
  std::optional<std::vector<CustomParams>> custom_params_;
  std::vector<QXOL_CUSTOM_PARAM> custom_param_records_;
};

}  // namespace orlen

// The current page: what the host described at page start.
struct PageDescription {
  orlen::BaseInfo base;
  orlen::ImageInfo image;
  orlen::ConvertInfo convert;
};

// Leaves the page description present with all-zero records and no copies.
void ResetPageDescription(std::optional<PageDescription>& page);

}  // namespace tavik
