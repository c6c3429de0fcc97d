// Operations whose areas are still being built. Each area deletes its entries
// here when it defines the real operation.
#include "api/tavik_api.h"

namespace tavik {


// calib/
std::int32_t TavikApi::PrvGetIDFData1(QXOL_IDF_DATA*, QXOL_IDF_DATA*) {
  return QXOL_ERR_NOT_SUPPORTED;
}
std::int32_t TavikApi::PrvGetIDFData2(std::int32_t*, std::int32_t*, std::int32_t*, std::int32_t*) {
  return QXOL_ERR_NOT_SUPPORTED;
}
std::int32_t TavikApi::AcquireCalibData() { return QXOL_ERR_NOT_SUPPORTED; }
// No calibration archive is stored until the calibration area lands.
bool TavikApi::ExpandCalibArchiveInto(dorva::BRSData&) { return true; }

}  // namespace tavik
