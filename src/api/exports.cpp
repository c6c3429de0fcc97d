// The exported functions: log the entry, check the handle, call the instance
// operation of the same interface slot, and never let an exception out.
#include <cstring>
#include <exception>
#include <new>

#include "api/tavik_api.h"
#include "config/log.h"
#include "qxol.h"

namespace {

using tavik::kError;
using tavik::kTrace;
using tavik::Log;
using tavik::orlen::OrlenApi;

OrlenApi* Api(QXOL_HANDLE instance) {
  return static_cast<OrlenApi*>(instance);
}

template <typename Operation>
std::int32_t Guarded(Operation&& operation) {
  try {
    return operation();
  } catch (const std::exception& e) {
    Log(kError, "std::exception caught: {}", e.what());
    return QXOL_ERR_INTERNAL;
  } catch (...) {
    return QXOL_ERR_INTERNAL;
  }
}

// The common frame of every function that takes an instance handle.
template <typename Operation>
std::int32_t Call(QXOL_HANDLE instance, Operation&& operation) {
  if (instance == nullptr) return QXOL_ERR_INVALID_ARGUMENT;
  return Guarded([&] { return operation(Api(instance)); });
}

const char* Text(const char* p) {
  return p != nullptr ? p : "(null)";
}

// The instance's storage is zero-filled before construction, so members the
// constructor leaves alone start as zero bytes.
tavik::TavikApi* NewInstance() {
  void* storage = ::operator new(sizeof(tavik::TavikApi));
  std::memset(storage, 0, sizeof(tavik::TavikApi));
  try {
    return new (storage) tavik::TavikApi();
  } catch (...) {
    ::operator delete(storage);
    throw;
  }
}

template <typename Init>
std::int32_t Create(QXOL_HANDLE* p_instance, Init&& init) {
  if (p_instance == nullptr) return QXOL_ERR_INVALID_ARGUMENT;
  return Guarded([&] {
    std::unique_ptr<OrlenApi> instance(NewInstance());
    const std::int32_t result = init(instance.get());
    if (result == QXOL_OK) *p_instance = static_cast<QXOL_HANDLE>(instance.release());
    return result;
  });
}

}  // namespace

extern "C" {

QXOL_API int32_t QXOL_CALL QXOL_CreateInstance(QXOL_HANDLE* p_instance, const char* p_ini_filepath,
                                               QXOL_SPOOL_FUNC spool_func, void* spool_context) {
  Log(kTrace, "[QXOL_CreateInstance] p_ini_filepath = {} ", Text(p_ini_filepath));
  return Create(p_instance, [&](OrlenApi* api) {
    return api->Init(p_ini_filepath, spool_func, spool_context);
  });
}

QXOL_API int32_t QXOL_CALL QXOL_CreateInstance2(QXOL_HANDLE* p_instance, const char* p_ini_filepath,
                                                int32_t spool_func_type, QXOL_SPOOL_FUNC spool_func,
                                                void* spool_context) {
  Log(kTrace, "[QXOL_CreateInstance2] p_ini_filepath = {} spool_func_type = {} ",
      Text(p_ini_filepath), spool_func_type);
  return Create(p_instance, [&](OrlenApi* api) {
    return api->Init2(p_ini_filepath, spool_func_type, spool_func, spool_context);
  });
}

QXOL_API int32_t QXOL_CALL QXOL_DeleteInstance(QXOL_HANDLE instance) {
  Log(kTrace, "[QXOL_DeleteInstance] instance = {} ", instance);
  return Call(instance, [](OrlenApi* api) {
    const std::int32_t result = api->Delete();
    // The handle is dead after this call: the instance and its module go now.
    delete api;
    return result;
  });
}

QXOL_API int32_t QXOL_CALL QXOL_StartJob(QXOL_HANDLE instance) {
  Log(kTrace, "[QXOL_StartJob] instance = {} ", instance);
  return Call(instance, [](OrlenApi* api) { return api->StartJob(); });
}

QXOL_API int32_t QXOL_CALL QXOL_EndJob(QXOL_HANDLE instance) {
  Log(kTrace, "[QXOL_EndJob] instance = {} ", instance);
  return Call(instance, [](OrlenApi* api) { return api->EndJob(); });
}

QXOL_API int32_t QXOL_CALL QXOL_StartPage(QXOL_HANDLE instance, const QXOL_BASE_INFO* p_base_info,
                                          int32_t base_info_num,
                                          const QXOL_IMAGE_INFO* p_image_info,
                                          int32_t image_info_num,
                                          const QXOL_CONVERT_INFO* p_convert_info) {
  Log(kTrace, "[QXOL_StartPage] instance = {} ", instance);
  return Call(instance, [&](OrlenApi* api) {
    return api->StartPage(p_base_info, base_info_num, p_image_info, image_info_num, p_convert_info);
  });
}

QXOL_API int32_t QXOL_CALL QXOL_EndPage(QXOL_HANDLE instance, int32_t terminate) {
  Log(kTrace, "[QXOL_EndPage] instance = {} terminate = {} ", instance, terminate);
  return Call(instance, [&](OrlenApi* api) { return api->EndPage(terminate); });
}

QXOL_API int32_t QXOL_CALL QXOL_StartRepeatMode(QXOL_HANDLE instance) {
  Log(kTrace, "[QXOL_StartRepeatMode] instance = {} ", instance);
  return Call(instance, [](OrlenApi* api) { return api->StartRepeatMode(); });
}

QXOL_API int32_t QXOL_CALL QXOL_DoRepeat(QXOL_HANDLE instance) {
  Log(kTrace, "[QXOL_DoRepeat] instance = {} ", instance);
  return Call(instance, [](OrlenApi* api) { return api->DoRepeat(); });
}

QXOL_API int32_t QXOL_CALL QXOL_EndRepeatMode(QXOL_HANDLE instance) {
  Log(kTrace, "[QXOL_EndRepeatMode] instance = {} ", instance);
  return Call(instance, [](OrlenApi* api) { return api->EndRepeatMode(); });
}

QXOL_API int32_t QXOL_CALL QXOL_BandOut(QXOL_HANDLE instance, int32_t band_info_num,
                                        const QXOL_BAND_INFO* p_band_info, int32_t band_data_num,
                                        const QXOL_BAND_DATA* p_band_data) {
  Log(kTrace, "[QXOL_BandOut] instance = {} ", instance);
  return Call(instance, [&](OrlenApi* api) {
    return api->BandOut(band_info_num, p_band_info, band_data_num, p_band_data);
  });
}

QXOL_API int32_t QXOL_CALL QXOL_BandOut2(QXOL_HANDLE instance, int32_t band_info_num,
                                         const QXOL_BAND_INFO* p_band_info, int32_t band_data_num,
                                         const QXOL_BAND_DATA* p_band_data, int32_t ignored) {
  Log(kTrace, "[QXOL_BandOut2] instance = {} ", instance);
  return Call(instance, [&](OrlenApi* api) {
    return api->BandOut2(band_info_num, p_band_info, band_data_num, p_band_data, ignored);
  });
}

QXOL_API int32_t QXOL_CALL QXOL_SetValue(QXOL_HANDLE instance, QXOL_PARAM_ID param_id,
                                         const void* p_value, int32_t value_num) {
  Log(kTrace, "[QXOL_SetValue] instance = {} param_id = {} value_num = {} ", instance, param_id,
      value_num);
  return Call(instance, [&](OrlenApi* api) { return api->SetValue(param_id, p_value, value_num); });
}

QXOL_API int32_t QXOL_CALL QXOL_GetValue(QXOL_HANDLE instance, QXOL_PARAM_ID param_id,
                                         void* p_value, int32_t* p_value_num) {
  Log(kTrace, "[QXOL_GetValue] instance = {} param_id = {} p_value_num = {} ", instance, param_id,
      p_value_num != nullptr ? *p_value_num : -1);
  return Call(instance,
              [&](OrlenApi* api) { return api->GetValue(param_id, p_value, p_value_num); });
}

QXOL_API int32_t QXOL_CALL QXOL_EnumPmIndex(QXOL_HANDLE instance, int32_t* p_pmi,
                                            int32_t* p_pmi_num) {
  Log(kTrace, "[QXOL_EnumPmIndex] instance = {} ", instance);
  return Call(instance, [&](OrlenApi* api) { return api->EnumPmIndex(p_pmi, p_pmi_num); });
}

QXOL_API int32_t QXOL_CALL QXOL_EnumPmInfoID(QXOL_HANDLE instance, void* p_unused1,
                                             void* p_unused2) {
  Log(kTrace, "[QXOL_EnumPmInfoID] instance = {} ", instance);
  return Call(instance, [&](OrlenApi* api) { return api->EnumPmInfoID(p_unused1, p_unused2); });
}

QXOL_API int32_t QXOL_CALL QXOL_GetPmInfoValue(QXOL_HANDLE instance, int32_t pmi,
                                               QXOL_PARAM_ID param_id, void* p_value,
                                               int32_t* p_value_num) {
  Log(kTrace, "[QXOL_GetPmInfoValue] instance = {} ", instance);
  return Call(instance, [&](OrlenApi* api) {
    return api->GetPmInfoValue(pmi, param_id, p_value, p_value_num);
  });
}

QXOL_API int32_t QXOL_CALL QXOL_PrvGetIDFData1(QXOL_HANDLE instance, QXOL_IDF_DATA* p_data_a,
                                               QXOL_IDF_DATA* p_data_b) {
  Log(kTrace, "[QXOL_PrvGetIDFData1] instance = {} ", instance);
  return Call(instance, [&](OrlenApi* api) { return api->PrvGetIDFData1(p_data_a, p_data_b); });
}

QXOL_API int32_t QXOL_CALL QXOL_PrvGetIDFData2(QXOL_HANDLE instance, int32_t* p_value_a,
                                               int32_t* p_value_b, int32_t* p_list_a,
                                               int32_t* p_list_b) {
  Log(kTrace, "[QXOL_PrvGetIDFData2] instance = {} ", instance);
  return Call(instance, [&](OrlenApi* api) {
    return api->PrvGetIDFData2(p_value_a, p_value_b, p_list_a, p_list_b);
  });
}

QXOL_API int32_t QXOL_CALL QXTV_CalcPrivatePMI(QXOL_HANDLE instance, int32_t pmi_on_mpk,
                                               const char* mpk_control_file_content) {
  Log(kTrace, "[QXTV_CalcPrivatePMI] pmi_on_mpk = {} mpk_control_file_content = {}", pmi_on_mpk,
      "(control file content)");
  return Call(instance, [&](OrlenApi* api) {
    return static_cast<tavik::TavikApi*>(api)->CalcPrivatePMI(pmi_on_mpk, mpk_control_file_content);
  });
}

}  // extern "C"
