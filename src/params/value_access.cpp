#include "params/value_access.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "api/tavik_api.h"
#include "config/log.h"
#include "params/signature.h"

namespace tavik {

namespace {

// Accepted only as an alias of QXIDS32_TV_PRT_SCF_ENABLE; not a catalogue entry.
constexpr QXOL_PARAM_ID kScfEnableAlias = 350;

// Where the media profile's copy sits inside the EEC calibration data.
constexpr std::size_t kProfileCopyOffset = 292;
constexpr std::size_t kProfileCopySize = 128;

// Host counts are signed; the store takes sizes. A negative count becomes a
// size the store refuses with a length error.
std::size_t Widen(std::int32_t value_num) {
  return static_cast<std::size_t>(static_cast<std::ptrdiff_t>(value_num));
}

// v * 100 / 1024 in 32-bit signed arithmetic; the product wraps like the
// original platform's, without undefined behaviour.
std::int32_t InkDensityToRatio(std::int32_t value) {
  const auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) * 100u);
  return product / 1024;
}

template <typename T>
std::int32_t CopyOut(const std::optional<std::vector<T>>& value, void* p_value,
                     std::int32_t* p_value_num) {
  if (!value) {
    *p_value_num = 0;
    return QXOL_OK;
  }
  const std::int64_t capacity = *p_value_num;
  const auto count = static_cast<std::int64_t>(value->size());
  if (p_value != nullptr && capacity > 0) {
    const auto copied = static_cast<std::size_t>(std::min(count, capacity));
    std::memcpy(p_value, value->data(), copied * sizeof(T));
  }
  *p_value_num = static_cast<std::int32_t>(count);
  return capacity < count ? QXOL_ERR_BUFFER_TOO_SMALL : QXOL_OK;
}

// Reads the value of `param_id` in the store's current print mode into the caller's buffer.
std::int32_t ReadValue(const OptionDictionary& options, QXOL_PARAM_ID param_id, void* p_value,
                       std::int32_t* p_value_num) {
  switch (GetParamType(param_id)) {
    case ParamType::kBol:
    case ParamType::kS32:
      return CopyOut(options.GetParams<std::int32_t>(param_id), p_value, p_value_num);
    case ParamType::kU08:
      return CopyOut(options.GetParams<unsigned char>(param_id), p_value, p_value_num);
    case ParamType::kStr:
      return CopyOut(options.GetParams<char>(param_id), p_value, p_value_num);
    case ParamType::kUnknown:
      break;
  }
  Log(kCritical, "unknown QXOL_PARAM_ID, update for olparamidtable_detail.");
  return QXOL_ERR_INVALID_ARGUMENT;
}

}  // namespace

void UpdateEffectiveEecCalib(OptionDictionary& options) {
  options.SetParams<std::int32_t>(QXIDS32_H_EFFECTIVE_EEC_CALIB, 0);
  const auto calib = options.GetParams<unsigned char>(QXIDU08_H_EEC_CALIB_DATA);
  if (!calib) return;
  const auto profile = options.GetParams<unsigned char>(QXIDU08_H_MEDIA_PROFILE_DATA);
  if (!profile) return;
  if (profile->size() < kProfileCopySize || calib->size() < kProfileCopyOffset + kProfileCopySize) {
    return;
  }
  const bool matches = std::equal(profile->begin(), profile->begin() + kProfileCopySize,
                                  calib->begin() + kProfileCopyOffset);
  options.SetParams<std::int32_t>(QXIDS32_H_EFFECTIVE_EEC_CALIB, matches ? 1 : 0);
}

std::int32_t TavikApi::SetValue(QXOL_PARAM_ID param_id, const void* p_value,
                                std::int32_t value_num) {
  switch (param_id) {
    case QXIDBOL_HTM_PARAM_RESET:
      if (value_num < 1 || p_value == nullptr || *static_cast<const std::int32_t*>(p_value) == 0) {
        return QXOL_ERR_INVALID_ARGUMENT;
      }
      LoadParamResource();
      return QXOL_OK;
    case kScfEnableAlias:
      return SetValue(QXIDS32_TV_PRT_SCF_ENABLE, p_value, value_num);
    case QXIDS32_E_CUSTOM_PAPER:
      return SetValue(QXIDS32_TV_HTM_MPK_MEDIA_ID, p_value, value_num);
    case QXIDU08_H_HID_TBL:
      return SetValue(QXIDU08_TV_ISV_CALIB_DATA, p_value, value_num);
    case QXIDS32_H_INK_DENSITY_MULTI: {
      // A count that does not describe the buffer is refused before the
      // buffer is read.
      if (value_num < 0 || (p_value == nullptr && value_num > 0)) return QXOL_ERR_INVALID_ARGUMENT;
      std::vector<std::int32_t> ratios(static_cast<std::size_t>(value_num));
      const auto* densities = static_cast<const std::int32_t*>(p_value);
      for (std::size_t i = 0; i < ratios.size(); ++i) ratios[i] = InkDensityToRatio(densities[i]);
      return SetValue(QXIDS32_H_INK_DENSITY_RATIO_MULTI, ratios.data(), value_num);
    }
    case QXIDU08_H_EEC_CALIB_DATA:
    case QXIDU08_H_MEDIA_PROFILE_DATA:
      options_.SetParams(param_id, p_value, Widen(value_num));
      UpdateEffectiveEecCalib(options_);
      return QXOL_OK;
    default:
      options_.SetParams(param_id, p_value, Widen(value_num));
      return QXOL_OK;
  }
}

std::int32_t TavikApi::GetValue(QXOL_PARAM_ID param_id, void* p_value, std::int32_t* p_value_num) {
  Log(kTrace, "{}", TAVIK_SIGNATURE);
  if (p_value_num == nullptr) return QXOL_ERR_INVALID_ARGUMENT;
  // A negative capacity does not describe the buffer; nothing is written.
  if (p_value != nullptr && *p_value_num < 0) return QXOL_ERR_INVALID_ARGUMENT;
  if (param_id == QXIDU08_TV_ISV_CALIB_DATA &&
      !options_.GetParams<unsigned char>(QXIDU08_TV_ISV_CALIB_DATA)) {
    const std::int32_t result = AcquireCalibData();
    if (result != QXOL_OK) return result;
  }
  return ReadValue(options_, param_id, p_value, p_value_num);
}

std::int32_t TavikApi::EnumPmIndex(std::int32_t* p_pmi, std::int32_t* p_pmi_num) {
  Log(kTrace, "{}", TAVIK_SIGNATURE);
  if (p_pmi_num == nullptr) return QXOL_ERR_INVALID_ARGUMENT;
  const std::vector<std::int32_t> indexes = options_.GetPmIndexes();
  const std::int64_t capacity = *p_pmi_num;
  const auto count = static_cast<std::int64_t>(indexes.size());
  if (p_pmi != nullptr && capacity > 0) {
    std::copy_n(indexes.begin(), std::min(count, capacity), p_pmi);
  }
  *p_pmi_num = static_cast<std::int32_t>(count);
  return capacity < count ? QXOL_ERR_BUFFER_TOO_SMALL : QXOL_OK;
}

std::int32_t TavikApi::GetPmInfoValue(std::int32_t pmi, QXOL_PARAM_ID param_id, void* p_value,
                                      std::int32_t* p_value_num) {
  Log(kTrace, "{}", TAVIK_SIGNATURE);
  if (p_value_num == nullptr) return QXOL_ERR_INVALID_ARGUMENT;
  if (p_value != nullptr && *p_value_num < 0) return QXOL_ERR_INVALID_ARGUMENT;

  // Reading the selection first keeps its failure (a current print mode
  // without a table) and its multi-value notice.
  (void)options_.GetParam(QXIDS32_HTM_PRINTMODE_INDEX);

  // Selecting and deselecting through the setters would mirror the print mode
  // into the tables of both modes, and those entries would then win over the
  // general one on the next read of the selection. Putting the saved entries
  // back leaves the store exactly as it was.
  const ParamEntries saved = options_.SaveEntries(QXIDS32_HTM_PRINTMODE_INDEX);
  try {
    options_.SetParams<std::int32_t>(QXIDS32_HTM_PRINTMODE_INDEX, pmi);
    const std::int32_t result = ReadValue(options_, param_id, p_value, p_value_num);
    options_.RestoreEntries(QXIDS32_HTM_PRINTMODE_INDEX, saved);
    return result;
  } catch (...) {
    options_.RestoreEntries(QXIDS32_HTM_PRINTMODE_INDEX, saved);
    throw;
  }
}

}  // namespace tavik
