// Translation of a media control file's print-mode index into one of the
// print-mode indexes of the parameter store.
#include <cstring>

#include "api/tavik_api.h"
#include "config/log.h"
#include "pmi/media_info.h"

namespace tavik {

namespace {

struct Comparison {
  QXOL_PARAM_ID id;
  // Nothing to compare when the file leaves the value open.
  std::optional<std::int32_t> expected;
};

// A parameter that a PMI does not define at all never rules that PMI out.
bool Matches(const OptionDictionary& options, std::int32_t pmi, const Comparison& comparison) {
  if (!comparison.expected) return true;
  const auto values = options.GetParamsPerPmi<std::int32_t>(pmi, comparison.id);
  if (!values || values->empty()) return true;
  if (values->size() >= 2) Log(kInfo, "param is multi value, size: {}", values->size());
  return values->front() == *comparison.expected;
}

}  // namespace

std::int32_t TavikApi::CalcPrivatePMI(std::int32_t pmi_on_mpk,
                                      const char* mpk_control_file_content) {
  Log(kError, "pmi_on_mpk: {}", pmi_on_mpk);
  if (mpk_control_file_content == nullptr) {
    Log(kCritical, "fail at load resource: null");
    return -1;
  }
  const auto media = LoadMediaInfo(mpk_control_file_content);
  if (!media) {
    Log(kCritical, "fail at load resource: ({}), {}", std::strlen(mpk_control_file_content),
        mpk_control_file_content);
    return -1;
  }
  // Media without a printer-side ID need no translation.
  if (!media->PrinterMediaID) return pmi_on_mpk;

  const std::vector<std::int32_t> pmis = options_.GetPmIndexes();
  const ModeInfo* mode = nullptr;
  for (const ModeInfo& candidate : media->modes) {
    if (candidate.PMI == pmi_on_mpk) {
      mode = &candidate;
      break;
    }
  }
  if (mode == nullptr) {
    Log(kError, "not exists pmi_on_mpk.");
    return -1;
  }

  const Comparison comparisons[] = {
      {QXIDS32_PRT_MEDIA_TYPE, media->WinDrvMediaID},
      {QXIDS32_PRT_RES_X, mode->ResolutionH},
      {QXIDS32_PRT_RES_Y, mode->ResolutionV},
      {QXIDS32_TV_H_DRV_MWSP, mode->DrvMWSP},
      {QXIDS32_TV_H_DRV_MWSP2, mode->DrvProofingMode.value_or(0)},
      {QXIDS32_H_SUPPORT_INTENT, mode->Intent.value_or(4)},
      {QXIDS32_H_HALFTONE_TYPE, mode->DrvHTType.value_or(3)},
  };
  for (const std::int32_t pmi : pmis) {
    bool all_match = true;
    for (const Comparison& comparison : comparisons) {
      if (!Matches(options_, pmi, comparison)) {
        all_match = false;
        break;
      }
    }
    if (all_match) return pmi;
  }
  return -1;
}

}  // namespace tavik
