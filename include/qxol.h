/*
 * qxol.h - host interface of the tavik halftoning adapter library.
 *
 * A printer driver (the host) creates an instance from an ini file, sets typed
 * parameters, describes each page with the records below and pushes the page
 * image band by band. Printer data comes back through the spool callback.
 *
 * Valid C (C11 for the layout checks) and C++. Every "long" of the interface is
 * a 32-bit signed integer (int32_t) in both the 64-bit and the 32-bit library.
 */
#ifndef QXOL_H
#define QXOL_H

#include <stddef.h>
#include <stdint.h>

/* Calling convention: stdcall on 32-bit x86, the platform default elsewhere. */
#if defined(_M_IX86) && defined(_MSC_VER)
#define QXOL_CALL __stdcall
#elif defined(__i386__)
#define QXOL_CALL __attribute__((stdcall))
#else
#define QXOL_CALL
#endif

#if defined(_WIN32)
#if defined(QXOL_BUILDING_LIBRARY)
#define QXOL_API __declspec(dllexport)
#else
#define QXOL_API __declspec(dllimport)
#endif
#elif defined(QXOL_BUILDING_LIBRARY)
#define QXOL_API __attribute__((visibility("default")))
#else
#define QXOL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Result codes ------------------------------------------------------- */

#define QXOL_OK ((int32_t)0x00000000)
#define QXOL_ERR_NOT_SUPPORTED ((int32_t)0x01000000)
#define QXOL_ERR_BUFFER_TOO_SMALL ((int32_t)0x02000000)
#define QXOL_ERR_INVALID_COUNT ((int32_t)0x03000000)
#define QXOL_ERR_INVALID_ARGUMENT ((int32_t)0x04000000)
#define QXOL_ERR_INIT_FAILED ((int32_t)0x05000000)
#define QXOL_ERR_INTERNAL ((int32_t)0x7F000000)
#define QXOL_ERR_CALIB_MODULE_1 ((int32_t)0x80010001u)
#define QXOL_ERR_CALIB_MODULE_2 ((int32_t)0x80010002u)

/* ---- Parameter IDs ------------------------------------------------------ */

typedef int32_t QXOL_PARAM_ID;

/* Value types. BOL and S32 values are arrays of int32_t, U08 of unsigned char,
 * STR of char without a terminator. */
enum QXOL_PARAM_TYPE {
  QXOL_TYPE_BOL = 0,
  QXOL_TYPE_S32 = 1,
  QXOL_TYPE_U08 = 2,
  QXOL_TYPE_STR = 3,
  QXOL_TYPE_UNKNOWN = 4
};

/* Private IDs have bit 30 set and carry their type in bits 24-27. */
#define QXOL_PARAM_PRIVATE_BIT 0x40000000
#define QXOL_PARAM_PRIVATE_BOL 0x01000000
#define QXOL_PARAM_PRIVATE_S32 0x02000000
#define QXOL_PARAM_PRIVATE_U08 0x04000000
#define QXOL_PARAM_PRIVATE_STR 0x08000000

enum QXOL_PARAM_IDS {
#define QXOL_PARAM_ROW(id, type, name) name = (id),
#include "qxol_param_rows.h"
#undef QXOL_PARAM_ROW
  QXOL_PARAM_IDS_END_ = 0
};

/* ---- Instance and spool callback --------------------------------------- */

typedef void* QXOL_HANDLE;

/* Receives printer data. Return non-zero when the block was taken, 0 to make
 * the module fail. The data pointer is valid only during the call. */
typedef int32_t(QXOL_CALL* QXOL_SPOOL_FUNC)(void* context, signed char* data, int32_t size);

/* ---- Page description records ------------------------------------------ */

typedef struct QXOL_OUT_GROUP_INFO {
  int32_t list_a_num; /* negative: no list */
  int32_t* list_a;
  int32_t list_b_num; /* negative: no list */
  int32_t* list_b;
} QXOL_OUT_GROUP_INFO;

typedef struct QXOL_COLOR_CONVERT_CH_INFO {
  int32_t value_a;
  int32_t value_b;
  int32_t* table_a; /* carried as a pointer value only */
  int32_t* table_b;
} QXOL_COLOR_CONVERT_CH_INFO;

typedef struct QXOL_BASE_INFO {
  int32_t reserved;
  int32_t paper_width;  /* dots of the source resolution */
  int32_t paper_height; /* dots of the source resolution */
  int32_t out_group_num;
  QXOL_OUT_GROUP_INFO* out_groups;
  int32_t color_convert_ch_num;
  QXOL_COLOR_CONVERT_CH_INFO* color_convert_chs;
} QXOL_BASE_INFO;

/* data_type: 1 RGB8, 2 CMYK8, 3 n-channel 8-bit, -1 RGB16, -2 CMYK16,
 * -3 n-channel 16-bit (n = channel_num). */
typedef struct QXOL_IMAGE_INFO {
  int32_t res_x;
  int32_t res_y;
  int32_t width;
  int32_t height;
  int32_t data_type;
  int32_t channel_num;
  int32_t* channels;
  int32_t bpp; /* bytes per pixel; equal to the bytes per sample means planar */
} QXOL_IMAGE_INFO;

typedef struct QXOL_CUSTOM_PARAM {
  QXOL_PARAM_ID param_id;
  int32_t value_num;
  void* values; /* element width follows the parameter's type */
} QXOL_CUSTOM_PARAM;

typedef struct QXOL_CONVERT_INFO {
  int32_t reserved;
  int32_t value_num;
  int32_t* values;
  int32_t intent;
  int32_t custom_param_num;
  QXOL_CUSTOM_PARAM* custom_params;
} QXOL_CONVERT_INFO;

/* ---- Band records ------------------------------------------------------ */

/* right and bottom are exclusive. A negative area field makes the whole band
 * the valid area. */
typedef struct QXOL_BAND_INFO {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
  int32_t area_x;
  int32_t area_y;
  int32_t area_width;
  int32_t area_height;
} QXOL_BAND_INFO;

/* QXOL_BandOut2: planes is a table of one row-0 pointer per channel (planar)
 * or a table whose first entry addresses the interleaved pixels.
 * QXOL_BandOut: planes holds the address of the one pixel buffer itself, cast
 * to unsigned char**. stride counts bytes, 16-bit samples as 2 bytes. */
typedef struct QXOL_BAND_DATA {
  unsigned char** planes;
  int32_t stride;
  int32_t reserved;
} QXOL_BAND_DATA;

/* ---- IDF data record --------------------------------------------------- */

typedef struct QXOL_IDF_DATA {
  unsigned char* data;
  int32_t size;
  int32_t aux;
} QXOL_IDF_DATA;

/* ---- Exported functions ------------------------------------------------ */

QXOL_API int32_t QXOL_CALL QXOL_CreateInstance(QXOL_HANDLE* p_instance, const char* p_ini_filepath,
                                               QXOL_SPOOL_FUNC spool_func, void* spool_context);
QXOL_API int32_t QXOL_CALL QXOL_CreateInstance2(QXOL_HANDLE* p_instance,
                                                const char* p_ini_filepath,
                                                int32_t spool_func_type,
                                                QXOL_SPOOL_FUNC spool_func, void* spool_context);
QXOL_API int32_t QXOL_CALL QXOL_DeleteInstance(QXOL_HANDLE instance);
QXOL_API int32_t QXOL_CALL QXOL_StartJob(QXOL_HANDLE instance);
QXOL_API int32_t QXOL_CALL QXOL_EndJob(QXOL_HANDLE instance);
QXOL_API int32_t QXOL_CALL QXOL_StartPage(QXOL_HANDLE instance, const QXOL_BASE_INFO* p_base_info,
                                          int32_t base_info_num,
                                          const QXOL_IMAGE_INFO* p_image_info,
                                          int32_t image_info_num,
                                          const QXOL_CONVERT_INFO* p_convert_info);
QXOL_API int32_t QXOL_CALL QXOL_EndPage(QXOL_HANDLE instance, int32_t terminate);
QXOL_API int32_t QXOL_CALL QXOL_StartRepeatMode(QXOL_HANDLE instance);
QXOL_API int32_t QXOL_CALL QXOL_DoRepeat(QXOL_HANDLE instance);
QXOL_API int32_t QXOL_CALL QXOL_EndRepeatMode(QXOL_HANDLE instance);
QXOL_API int32_t QXOL_CALL QXOL_BandOut(QXOL_HANDLE instance, int32_t band_info_num,
                                        const QXOL_BAND_INFO* p_band_info, int32_t band_data_num,
                                        const QXOL_BAND_DATA* p_band_data);
QXOL_API int32_t QXOL_CALL QXOL_BandOut2(QXOL_HANDLE instance, int32_t band_info_num,
                                         const QXOL_BAND_INFO* p_band_info, int32_t band_data_num,
                                         const QXOL_BAND_DATA* p_band_data, int32_t ignored);
QXOL_API int32_t QXOL_CALL QXOL_SetValue(QXOL_HANDLE instance, QXOL_PARAM_ID param_id,
                                         const void* p_value, int32_t value_num);
QXOL_API int32_t QXOL_CALL QXOL_GetValue(QXOL_HANDLE instance, QXOL_PARAM_ID param_id,
                                         void* p_value, int32_t* p_value_num);
QXOL_API int32_t QXOL_CALL QXOL_EnumPmIndex(QXOL_HANDLE instance, int32_t* p_pmi,
                                            int32_t* p_pmi_num);
QXOL_API int32_t QXOL_CALL QXOL_EnumPmInfoID(QXOL_HANDLE instance, void* p_unused1,
                                             void* p_unused2);
QXOL_API int32_t QXOL_CALL QXOL_GetPmInfoValue(QXOL_HANDLE instance, int32_t pmi,
                                               QXOL_PARAM_ID param_id, void* p_value,
                                               int32_t* p_value_num);
QXOL_API int32_t QXOL_CALL QXOL_PrvGetIDFData1(QXOL_HANDLE instance, QXOL_IDF_DATA* p_data_a,
                                               QXOL_IDF_DATA* p_data_b);
QXOL_API int32_t QXOL_CALL QXOL_PrvGetIDFData2(QXOL_HANDLE instance, int32_t* p_value_a,
                                               int32_t* p_value_b, int32_t* p_list_a,
                                               int32_t* p_list_b);
/* Returns a print-mode index, -1 when none can be determined, or a result
 * code for a null instance or an internal failure. */
QXOL_API int32_t QXOL_CALL QXTV_CalcPrivatePMI(QXOL_HANDLE instance, int32_t pmi_on_mpk,
                                               const char* mpk_control_file_content);

/* ---- Layout checks (both builds) --------------------------------------- */

#if defined(__cplusplus)
#define QXOL_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define QXOL_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#else
#define QXOL_STATIC_ASSERT(cond, msg)
#endif
/* Picks the 64-bit or the 32-bit figure of a layout table. */
#define QXOL_BY_BUILD(b64, b32) (sizeof(void*) == 8 ? (size_t)(b64) : (size_t)(b32))
#define QXOL_CHECK_SIZE(type, b64, b32) \
  QXOL_STATIC_ASSERT(sizeof(type) == QXOL_BY_BUILD(b64, b32), "size of " #type)
#define QXOL_CHECK_FIELD(type, field, b64, b32) \
  QXOL_STATIC_ASSERT(offsetof(type, field) == QXOL_BY_BUILD(b64, b32), #type "." #field)

QXOL_STATIC_ASSERT(sizeof(int32_t) == 4, "long of the interface");

QXOL_CHECK_SIZE(QXOL_BASE_INFO, 40, 28);
QXOL_CHECK_FIELD(QXOL_BASE_INFO, reserved, 0, 0);
QXOL_CHECK_FIELD(QXOL_BASE_INFO, paper_width, 4, 4);
QXOL_CHECK_FIELD(QXOL_BASE_INFO, paper_height, 8, 8);
QXOL_CHECK_FIELD(QXOL_BASE_INFO, out_group_num, 12, 12);
QXOL_CHECK_FIELD(QXOL_BASE_INFO, out_groups, 16, 16);
QXOL_CHECK_FIELD(QXOL_BASE_INFO, color_convert_ch_num, 24, 20);
QXOL_CHECK_FIELD(QXOL_BASE_INFO, color_convert_chs, 32, 24);

QXOL_CHECK_SIZE(QXOL_OUT_GROUP_INFO, 32, 16);
QXOL_CHECK_FIELD(QXOL_OUT_GROUP_INFO, list_a_num, 0, 0);
QXOL_CHECK_FIELD(QXOL_OUT_GROUP_INFO, list_a, 8, 4);
QXOL_CHECK_FIELD(QXOL_OUT_GROUP_INFO, list_b_num, 16, 8);
QXOL_CHECK_FIELD(QXOL_OUT_GROUP_INFO, list_b, 24, 12);

QXOL_CHECK_SIZE(QXOL_COLOR_CONVERT_CH_INFO, 24, 16);
QXOL_CHECK_FIELD(QXOL_COLOR_CONVERT_CH_INFO, value_a, 0, 0);
QXOL_CHECK_FIELD(QXOL_COLOR_CONVERT_CH_INFO, value_b, 4, 4);
QXOL_CHECK_FIELD(QXOL_COLOR_CONVERT_CH_INFO, table_a, 8, 8);
QXOL_CHECK_FIELD(QXOL_COLOR_CONVERT_CH_INFO, table_b, 16, 12);

QXOL_CHECK_SIZE(QXOL_IMAGE_INFO, 40, 32);
QXOL_CHECK_FIELD(QXOL_IMAGE_INFO, res_x, 0, 0);
QXOL_CHECK_FIELD(QXOL_IMAGE_INFO, res_y, 4, 4);
QXOL_CHECK_FIELD(QXOL_IMAGE_INFO, width, 8, 8);
QXOL_CHECK_FIELD(QXOL_IMAGE_INFO, height, 12, 12);
QXOL_CHECK_FIELD(QXOL_IMAGE_INFO, data_type, 16, 16);
QXOL_CHECK_FIELD(QXOL_IMAGE_INFO, channel_num, 20, 20);
QXOL_CHECK_FIELD(QXOL_IMAGE_INFO, channels, 24, 24);
QXOL_CHECK_FIELD(QXOL_IMAGE_INFO, bpp, 32, 28);

QXOL_CHECK_SIZE(QXOL_CONVERT_INFO, 32, 24);
QXOL_CHECK_FIELD(QXOL_CONVERT_INFO, reserved, 0, 0);
QXOL_CHECK_FIELD(QXOL_CONVERT_INFO, value_num, 4, 4);
QXOL_CHECK_FIELD(QXOL_CONVERT_INFO, values, 8, 8);
QXOL_CHECK_FIELD(QXOL_CONVERT_INFO, intent, 16, 12);
QXOL_CHECK_FIELD(QXOL_CONVERT_INFO, custom_param_num, 20, 16);
QXOL_CHECK_FIELD(QXOL_CONVERT_INFO, custom_params, 24, 20);

QXOL_CHECK_SIZE(QXOL_CUSTOM_PARAM, 16, 12);
QXOL_CHECK_FIELD(QXOL_CUSTOM_PARAM, param_id, 0, 0);
QXOL_CHECK_FIELD(QXOL_CUSTOM_PARAM, value_num, 4, 4);
QXOL_CHECK_FIELD(QXOL_CUSTOM_PARAM, values, 8, 8);

QXOL_CHECK_SIZE(QXOL_BAND_INFO, 32, 32);
QXOL_CHECK_FIELD(QXOL_BAND_INFO, left, 0, 0);
QXOL_CHECK_FIELD(QXOL_BAND_INFO, top, 4, 4);
QXOL_CHECK_FIELD(QXOL_BAND_INFO, right, 8, 8);
QXOL_CHECK_FIELD(QXOL_BAND_INFO, bottom, 12, 12);
QXOL_CHECK_FIELD(QXOL_BAND_INFO, area_x, 16, 16);
QXOL_CHECK_FIELD(QXOL_BAND_INFO, area_y, 20, 20);
QXOL_CHECK_FIELD(QXOL_BAND_INFO, area_width, 24, 24);
QXOL_CHECK_FIELD(QXOL_BAND_INFO, area_height, 28, 28);

QXOL_CHECK_SIZE(QXOL_BAND_DATA, 16, 12);
QXOL_CHECK_FIELD(QXOL_BAND_DATA, planes, 0, 0);
QXOL_CHECK_FIELD(QXOL_BAND_DATA, stride, 8, 4);
QXOL_CHECK_FIELD(QXOL_BAND_DATA, reserved, 12, 8);

QXOL_CHECK_SIZE(QXOL_IDF_DATA, 16, 12);
QXOL_CHECK_FIELD(QXOL_IDF_DATA, data, 0, 0);
QXOL_CHECK_FIELD(QXOL_IDF_DATA, size, 8, 4);
QXOL_CHECK_FIELD(QXOL_IDF_DATA, aux, 12, 8);

#ifdef __cplusplus
}
#endif

#endif /* QXOL_H */
