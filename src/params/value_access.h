// Helpers of the instance's value operations that work on the parameter store alone.
#pragma once

#include "params/option_dictionary.h"

namespace tavik {

// Sets QXIDS32_H_EFFECTIVE_EEC_CALIB to 1 when the media profile matches the profile copy
// inside the EEC calibration data, else to 0.
void UpdateEffectiveEecCalib(OptionDictionary& options);

}  // namespace tavik
