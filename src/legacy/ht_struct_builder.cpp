// The halftone structure of a module page.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "api/tavik_api.h"
#include "config/log.h"
#include "legacy/param_reads.h"

namespace tavik {

namespace {
constexpr std::int32_t kDefaultIntent = 4;
constexpr std::int32_t kOptimisedHalftoneType = 16;
constexpr std::int32_t kDefaultHalftoneType = 3;
}  // namespace

dorva::HtStruct3 TavikApi::CreateHtStruct3() {
  dorva::HtStruct3 ht;
  ht.SetVersion(5);

  // A list stored without elements has no first entry to fall back to, so it
  // counts as not given.
  std::vector<std::int32_t> intents{kDefaultIntent};
  if (auto supported = options_.GetParams<std::int32_t>(QXIDS32_H_SUPPORT_INTENT);
      supported && !supported->empty()) {
    intents = std::move(*supported);
  }
  const std::int32_t requested = page_ ? page_->convert.record().intent : 0;
  if (std::find(intents.begin(), intents.end(), requested) != intents.end()) {
    ht.SetIntent(requested);
  } else {
    ht.SetIntent(intents.front());
    Log(kError, "Not suuported this reproduction.({})", requested);
  }

  ht.SetFlag(false);

  if (IsOn(options_, QXIDS32_TV_H_ENABLE_OPT_HT_DEFAULT)) {
    ht.SetHalftoneType(kOptimisedHalftoneType);
  } else {
    ht.SetHalftoneType(options_.GetParam(QXIDS32_H_HALFTONE_TYPE).value_or(kDefaultHalftoneType));
  }

  if (!calibration_buffer_.empty()) ht.SetCalibData(calibration_buffer_);

  if (const auto gamma = options_.GetParam(QXIDS32_H_GAMMA)) ht.SetGamma(*gamma);
  return ht;
}

}  // namespace tavik
