// Operations whose areas are still being built. Each area deletes its entries
// here when it defines the real operation.
#include "api/tavik_api.h"

namespace tavik {

// pipeline/ job control
std::int32_t TavikApi::StartJob() { return QXOL_ERR_NOT_SUPPORTED; }
std::int32_t TavikApi::EndJob() { return QXOL_ERR_NOT_SUPPORTED; }
std::int32_t TavikApi::EndPage(std::int32_t) { return QXOL_ERR_NOT_SUPPORTED; }
std::int32_t TavikApi::OpenJob(bool) { return QXOL_ERR_NOT_SUPPORTED; }
std::int32_t TavikApi::OpenPage() { return QXOL_ERR_NOT_SUPPORTED; }

// pipeline/ band output
std::int32_t TavikApi::BandOut(std::int32_t, const QXOL_BAND_INFO*, std::int32_t,
                               const QXOL_BAND_DATA*) {
  return QXOL_ERR_NOT_SUPPORTED;
}
std::int32_t TavikApi::BandOut2(std::int32_t, const QXOL_BAND_INFO*, std::int32_t,
                                const QXOL_BAND_DATA*, std::int32_t) {
  return QXOL_ERR_NOT_SUPPORTED;
}

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

// pmi/
std::int32_t TavikApi::CalcPrivatePMI(std::int32_t, const char*) { return -1; }

}  // namespace tavik
