// The option, BRS data, calibration request, TP information and OS-dependent records.
#include <cstdint>
#include <string>
#include <vector>

#include "api/tavik_api.h"
#include "config/log.h"
#include "config/paths.h"
#include "legacy/param_reads.h"

namespace tavik {

dorva::DorvaOpt TavikApi::CreateOption() {
  dorva::DorvaOpt option;
  if (const auto path = configuration_.GetKnown(DV_MOD_HT)) {
    option.SetHTModulePath(ResolvePath(*path));
  }
  if (const auto path = configuration_.GetKnown(DV_MOD_MW)) {
    option.SetMWModulePath(ResolvePath(*path));
  }
  if (const auto path = configuration_.GetKnown(DV_MOD_RSC)) {
    option.SetResourcePaths({ResolvePath(*path)});
  }
  option.SetOutputCallback(&TavikApi::SpoolRelay, this);
  return option;
}

std::optional<dorva::BRSData> TavikApi::CreateBRSData() {
  dorva::BRSData brs_data;
  brs_data.SetVersion(2);
  if (const auto path = configuration_.GetKnown(DV_MOD_BRS)) {
    brs_data.SetBRSFilePath(ResolvePath(*path));
  } else {
    Log(kInfo, "BRSFile path is not set");
  }
  if (const auto path = configuration_.GetKnown(DV_MOD_CDG)) {
    brs_data.SetCDGFilePath(ResolvePath(*path));
  } else {
    Log(kInfo, "CDGFile path is not set");
  }

  if (!ExpandCalibArchiveInto(brs_data)) return std::nullopt;

  if (IsOn(options_, QXIDS32_H_EFFECTIVE_EEC_CALIB)) {
    brs_data.SetVersion(4);
    if (const auto path = configuration_.GetKnown(DV_MOD_ECALIB)) {
      brs_data.SetECalibPath(ResolvePath(*path));
    }
    if (const auto bytes = options_.GetParams<unsigned char>(QXIDU08_H_EEC_CALIB_DATA)) {
      brs_data.SetEECCalibData(*bytes);
    }
  }
  return brs_data;
}

std::int32_t TavikApi::CreateCalibDataReq(dorva::CalibDataReq& request) {
  request.SetVersion(1);
  if (const auto path = configuration_.GetKnown(DV_MOD_ISV)) {
    request.SetToolPath(ResolvePath(*path));
  } else {
    Log(kInfo, "ISVTool path is not set.");
  }
  const auto printer_type = options_.GetParam(QXIDS32_TV_ISV_PRINTER_TYPE);
  if (!printer_type) {
    Log(kInfo, "Printer type is not set");
    return QXOL_ERR_NOT_SUPPORTED;
  }
  request.SetPrinterType(*printer_type);
  const auto printer_name = options_.GetParams<char>(QXIDSTR_TV_ISV_PRINTER_NAME);
  if (!printer_name) {
    Log(kError, "Printer name is not set.");
    return QXOL_ERR_NOT_SUPPORTED;
  }
  request.SetPrinterName(std::string_view(printer_name->data(), printer_name->size()));
  return QXOL_OK;
}

dorva::TpInfoStruct TavikApi::CreateTpInfoStruct(std::int32_t terminate) {
  dorva::TpInfoStruct tp_info;
  tp_info.SetVersion(1);
  tp_info.SetNormalEnd(terminate == 0 ? 1 : 0);
  return tp_info;
}

dorva::OSDep TavikApi::CreateOSDep() {
  return dorva::OSDep();
}

}  // namespace tavik
