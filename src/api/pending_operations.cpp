// Operations whose areas are still being built. Each area deletes its entries
// here when it defines the real operation.
#include "api/tavik_api.h"

namespace tavik {


// calib/
std::int32_t TavikApi::AcquireCalibData() { return QXOL_ERR_NOT_SUPPORTED; }
// No calibration archive is stored until the calibration area lands.
bool TavikApi::ExpandCalibArchiveInto(dorva::BRSData&) { return true; }

}  // namespace tavik
