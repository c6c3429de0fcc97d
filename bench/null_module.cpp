// A legacy module that accepts everything and does nothing, so the band path
// benchmark measures the library alone.
#include <cstdint>

#include "dorva.h"

#define NULL_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
int job_token;
}

NULL_MODULE_EXPORT int32_t QXOL_CALL InitJob(void** p_job, tagPRTSTRUCT3*, tagOPTION*) {
  if (p_job != nullptr) *p_job = &job_token;
  return 0;
}
NULL_MODULE_EXPORT int32_t QXOL_CALL InitPage(void*, tagHTSTRUCT3*) {
  return 0;
}
NULL_MODULE_EXPORT int32_t QXOL_CALL BandOut(void*, DORVA_AREA*, DORVA_BAND_DATA*, void*,
                                             DORVA_RECT*, tagOSDEP3*) {
  return 0;
}
NULL_MODULE_EXPORT int32_t QXOL_CALL TerminatePageEx(void*, tagTPINFOSTRUCT*) {
  return 0;
}
NULL_MODULE_EXPORT int32_t QXOL_CALL TerminatePage(void*) {
  return 0;
}
NULL_MODULE_EXPORT int32_t QXOL_CALL DestroyJob(void*) {
  return 0;
}
NULL_MODULE_EXPORT int32_t QXOL_CALL ResetJob(void*) {
  return 0;
}
NULL_MODULE_EXPORT int32_t QXOL_CALL GetCalibData(tag_CalibDataReq*) {
  return 0;
}
NULL_MODULE_EXPORT int32_t QXOL_CALL GetInkAmount(void*) {
  return 0;
}
NULL_MODULE_EXPORT int32_t QXOL_CALL GetIDFData1(void*, DORVA_IDF_DATA*, DORVA_IDF_DATA*) {
  return 0;
}
NULL_MODULE_EXPORT int32_t QXOL_CALL GetIDFData2(void*, int32_t*, int32_t*, int32_t*, int32_t*) {
  return 0;
}
