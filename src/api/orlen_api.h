// The instance interface seen by the host: one virtual slot per exported function.
#pragma once

#include <cstdint>

#include "qxol.h"

namespace tavik::orlen {

class OrlenApi {
 public:
  virtual ~OrlenApi() = default;
  virtual std::int32_t Init(const char* p_ini_filepath, QXOL_SPOOL_FUNC spool_func,
                            void* spool_context) = 0;
  virtual std::int32_t Init2(const char* p_ini_filepath, std::int32_t spool_func_type,
                             QXOL_SPOOL_FUNC spool_func, void* spool_context) = 0;
  virtual std::int32_t Delete() = 0;
  virtual std::int32_t StartJob() = 0;
  virtual std::int32_t EndJob() = 0;
  virtual std::int32_t StartPage(const QXOL_BASE_INFO* p_base_info, std::int32_t base_info_num,
                                 const QXOL_IMAGE_INFO* p_image_info, std::int32_t image_info_num,
                                 const QXOL_CONVERT_INFO* p_convert_info) = 0;
  virtual std::int32_t EndPage(std::int32_t terminate) = 0;
  virtual std::int32_t StartRepeatMode() = 0;
  virtual std::int32_t DoRepeat() = 0;
  virtual std::int32_t EndRepeatMode() = 0;
  virtual std::int32_t BandOut(std::int32_t band_info_num, const QXOL_BAND_INFO* p_band_info,
                               std::int32_t band_data_num, const QXOL_BAND_DATA* p_band_data) = 0;
  virtual std::int32_t BandOut2(std::int32_t band_info_num, const QXOL_BAND_INFO* p_band_info,
                                std::int32_t band_data_num, const QXOL_BAND_DATA* p_band_data,
                                std::int32_t ignored) = 0;
  virtual std::int32_t SetValue(QXOL_PARAM_ID param_id, const void* p_value,
                                std::int32_t value_num) = 0;
  virtual std::int32_t GetValue(QXOL_PARAM_ID param_id, void* p_value,
                                std::int32_t* p_value_num) = 0;
  virtual std::int32_t EnumPmIndex(std::int32_t* p_pmi, std::int32_t* p_pmi_num) = 0;
  virtual std::int32_t EnumPmInfoID(void* p_unused1, void* p_unused2) = 0;
  virtual std::int32_t GetPmInfoValue(std::int32_t pmi, QXOL_PARAM_ID param_id, void* p_value,
                                      std::int32_t* p_value_num) = 0;
  virtual std::int32_t PrvGetIDFData1(QXOL_IDF_DATA* p_data_a, QXOL_IDF_DATA* p_data_b) = 0;
  virtual std::int32_t PrvGetIDFData2(std::int32_t* p_value_a, std::int32_t* p_value_b,
                                      std::int32_t* p_list_a, std::int32_t* p_list_b) = 0;
};

}  // namespace tavik::orlen
