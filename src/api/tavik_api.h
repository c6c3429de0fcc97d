// The instance: everything one host session of the library holds.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "api/orlen_api.h"
#include "config/ini.h"
#include "legacy/ht_struct3.h"
#include "legacy/module_binding.h"
#include "legacy/prt_struct3.h"
#include "params/option_dictionary.h"
#include "pipeline/nch16to8.h"
#include "pipeline/page_description.h"

namespace tavik {

class TavikApi : public orlen::OrlenApi {
 public:
  TavikApi() = default;
  ~TavikApi() override;
  TavikApi(const TavikApi&) = delete;
  TavikApi& operator=(const TavikApi&) = delete;

  // Instance life (tavik_api.cpp).
  std::int32_t Init(const char* p_ini_filepath, QXOL_SPOOL_FUNC spool_func,
                    void* spool_context) override;
  std::int32_t Init2(const char* p_ini_filepath, std::int32_t spool_func_type,
                     QXOL_SPOOL_FUNC spool_func, void* spool_context) override;
  std::int32_t Delete() override;
  std::int32_t StartRepeatMode() override;
  std::int32_t DoRepeat() override;
  std::int32_t EndRepeatMode() override;
  std::int32_t EnumPmInfoID(void* p_unused1, void* p_unused2) override;

  // Job and page control (pipeline/).
  std::int32_t StartJob() override;
  std::int32_t EndJob() override;
  std::int32_t StartPage(const QXOL_BASE_INFO* p_base_info, std::int32_t base_info_num,
                         const QXOL_IMAGE_INFO* p_image_info, std::int32_t image_info_num,
                         const QXOL_CONVERT_INFO* p_convert_info) override;
  std::int32_t EndPage(std::int32_t terminate) override;
  // Open the module's job or page; a failure leaves the state closed.
  std::int32_t OpenJob(bool planar);
  std::int32_t OpenPage(std::int32_t opened_state = 1);
  // Calls the module's InitJob with the given printer structure and a fresh
  // option record; returns the module's status.
  std::int32_t InitModuleJob(dorva::PrtStruct3& printer_structure);

  // Band output (pipeline/).
  std::int32_t BandOut(std::int32_t band_info_num, const QXOL_BAND_INFO* p_band_info,
                       std::int32_t band_data_num, const QXOL_BAND_DATA* p_band_data) override;
  std::int32_t BandOut2(std::int32_t band_info_num, const QXOL_BAND_INFO* p_band_info,
                        std::int32_t band_data_num, const QXOL_BAND_DATA* p_band_data,
                        std::int32_t ignored) override;

  // Value access (params/).
  std::int32_t SetValue(QXOL_PARAM_ID param_id, const void* p_value,
                        std::int32_t value_num) override;
  std::int32_t GetValue(QXOL_PARAM_ID param_id, void* p_value, std::int32_t* p_value_num) override;
  std::int32_t EnumPmIndex(std::int32_t* p_pmi, std::int32_t* p_pmi_num) override;
  std::int32_t GetPmInfoValue(std::int32_t pmi, QXOL_PARAM_ID param_id, void* p_value,
                              std::int32_t* p_value_num) override;
  // Empties the parameter store and refills it from the TV_RSC resource file, if configured.
  void LoadParamResource();
  // Sets the process-wide log level from QXIDS32_TV_HTM_LOG_LEVEL_FILTER, if stored.
  void ApplyLogLevelParameter();

  // IDF data requests (calib/).
  std::int32_t PrvGetIDFData1(QXOL_IDF_DATA* p_data_a, QXOL_IDF_DATA* p_data_b) override;
  std::int32_t PrvGetIDFData2(std::int32_t* p_value_a, std::int32_t* p_value_b,
                              std::int32_t* p_list_a, std::int32_t* p_list_b) override;

  // Calibration data (calib/): runs the module's calibration request and
  // stores the archive of its files; returns a result code.
  std::int32_t AcquireCalibData();
  // Expands the stored calibration archive (if any) into the BRS data record
  // and the calibration buffer; false when the BRS data record must be dropped.
  bool ExpandCalibArchiveInto(dorva::BRSData& brs_data);

  // Legacy records (legacy/), built from the parameters, the page description
  // and the configuration. Pointer fields are linked by the caller
  // (UpdatePointers) at the record's final place.
  // No structure when the page's pixel format is unknown.
  std::optional<dorva::PrtStruct3> CreatePrtStruct3(bool planar);
  dorva::HtStruct3 CreateHtStruct3();
  dorva::JobData CreateJobData();
  // No record when no media setting applies or an incompatible one is set.
  std::optional<dorva::MediaOption> CreateMediaOption();
  // The option record of the module's job start: module paths and the spool relay.
  dorva::DorvaOpt CreateOption();
  // No record when the stored calibration archive cannot be expanded.
  std::optional<dorva::BRSData> CreateBRSData();
  // Fills the calibration data request's tool path, printer type and printer
  // name; returns 0, or QXOL_ERR_NOT_SUPPORTED when the printer is not named.
  std::int32_t CreateCalibDataReq(dorva::CalibDataReq& request);
  static dorva::TpInfoStruct CreateTpInfoStruct(std::int32_t terminate);
  static dorva::OSDep CreateOSDep();

  // Private print-mode index from a media control file (pmi/).
  std::int32_t CalcPrivatePMI(std::int32_t pmi_on_mpk, const char* mpk_control_file_content);

  // Hands module output to the host's callback: 1 when taken (or when there is
  // no callback), 0 when the callback refused it.
  static std::int32_t QXOL_CALL SpoolRelay(void* context, signed char* data, std::int32_t size);

  // Members, in the order they are built; destroyed in reverse, so the module
  // library is unloaded last.
  std::unique_ptr<ModuleBinding> module_;
  Ini configuration_;
  OptionDictionary options_;
  std::optional<PageDescription> page_;
  void* spool_context_ = nullptr;
  QXOL_SPOOL_FUNC spool_callback_ = nullptr;
  std::vector<unsigned char> calibration_buffer_;
  Nch16to8 converter_;
  std::int32_t job_state_ = 0;
  std::int32_t page_state_ = 0;
  std::uint32_t band_layout_ = 0;
  std::optional<dorva::PrtStruct3> printer_structure_;
};

}  // namespace tavik
