/*
 * dorva.h - interface of a legacy halftone module, for module authors.
 *
 * A module is a shared library exporting the eleven entry points below under
 * exactly these names. Each returns 0 on success. On 32-bit x86 every entry
 * point and the spool function use stdcall (QXOL_CALL).
 *
 * Valid C (C11 for the layout checks) and C++.
 */
#ifndef DORVA_H
#define DORVA_H

#include "qxol.h"
#include "dorva_records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Piece rectangle in page coordinates; right and bottom are exclusive. */
typedef struct DORVA_RECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
} DORVA_RECT;

/* Valid area of a piece: x and width as the host gave them, y counted from
 * the piece top, height the number of valid rows in the piece. */
typedef struct DORVA_AREA {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
} DORVA_AREA;

/* 8-bit piece data: interleaved pieces set data, planar pieces set planes
 * (one first-row pointer per channel). stride is the row pitch in bytes. */
typedef struct DORVA_BAND_DATA {
  int32_t stride;
  unsigned char* data;
  unsigned char** planes;
} DORVA_BAND_DATA;

/* One buffer exchanged by GetIDFData1. */
typedef struct DORVA_IDF_DATA {
  int32_t size;
  unsigned char* data;
  void* zero;
} DORVA_IDF_DATA;

typedef int32_t(QXOL_CALL* DORVA_INIT_JOB)(void** p_job, struct tagPRTSTRUCT3* prt,
                                           struct tagOPTION* option);
typedef int32_t(QXOL_CALL* DORVA_INIT_PAGE)(void* job, struct tagHTSTRUCT3* ht);
typedef int32_t(QXOL_CALL* DORVA_BAND_OUT)(void* job, DORVA_AREA* valid_area,
                                           DORVA_BAND_DATA* band, void* reserved,
                                           DORVA_RECT* rect, struct tagOSDEP3* os_dep);
typedef int32_t(QXOL_CALL* DORVA_TERMINATE_PAGE_EX)(void* job, struct tagTPINFOSTRUCT* tp_info);
typedef int32_t(QXOL_CALL* DORVA_DESTROY_JOB)(void* job);
typedef int32_t(QXOL_CALL* DORVA_GET_CALIB_DATA)(struct tag_CalibDataReq* request);
typedef int32_t(QXOL_CALL* DORVA_GET_IDF_DATA1)(void* job, DORVA_IDF_DATA* data_a,
                                                DORVA_IDF_DATA* data_b);
typedef int32_t(QXOL_CALL* DORVA_GET_IDF_DATA2)(void* job, int32_t* value_a, int32_t* value_b,
                                                int32_t* list_a, int32_t* list_b);
/* Exported but never called by the library; their signatures are the module's. */
typedef int32_t(QXOL_CALL* DORVA_TERMINATE_PAGE)(void* job);
typedef int32_t(QXOL_CALL* DORVA_RESET_JOB)(void* job);
typedef int32_t(QXOL_CALL* DORVA_GET_INK_AMOUNT)(void* job);

QXOL_CHECK_SIZE(DORVA_RECT, 16, 16);
QXOL_CHECK_SIZE(DORVA_AREA, 16, 16);
QXOL_CHECK_SIZE(DORVA_BAND_DATA, 24, 12);
QXOL_CHECK_FIELD(DORVA_BAND_DATA, stride, 0, 0);
QXOL_CHECK_FIELD(DORVA_BAND_DATA, data, 8, 4);
QXOL_CHECK_FIELD(DORVA_BAND_DATA, planes, 16, 8);
QXOL_CHECK_SIZE(DORVA_IDF_DATA, 24, 12);
QXOL_CHECK_FIELD(DORVA_IDF_DATA, size, 0, 0);
QXOL_CHECK_FIELD(DORVA_IDF_DATA, data, 8, 4);
QXOL_CHECK_FIELD(DORVA_IDF_DATA, zero, 16, 8);

#ifdef __cplusplus
}
#endif

#endif /* DORVA_H */
