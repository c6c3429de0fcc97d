// The job data record: identification texts, job number, hard-disk options.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "api/tavik_api.h"
#include "config/log.h"
#include "legacy/param_reads.h"

namespace tavik {

namespace {

struct JobText {
  QXOL_PARAM_ID text_id;
  QXOL_PARAM_ID max_length_id;
  std::int32_t default_max_length;
  void (dorva::JobData::*setter)(std::string_view);
};

constexpr JobText kOwnerName{QXIDSTR_J_OWNER_NAME, QXIDS32_TV_J_MAX_OWNER_NAME_LENGTH, 62,
                             &dorva::JobData::SetOwnerName};
constexpr JobText kDocName{QXIDSTR_J_DOC_NAME, QXIDS32_TV_J_MAX_DOC_NAME_LENGTH, 128,
                           &dorva::JobData::SetDocName};
constexpr JobText kHostName{QXIDSTR_J_HOST_NAME, QXIDS32_TV_J_MAX_HOST_NAME_LENGTH, 32,
                            &dorva::JobData::SetHostName};
constexpr JobText kVenderInfo{QXIDSTR_J_VENDER_INFO, QXIDS32_TV_J_MAX_VENDER_INFO_LENGTH, 40,
                              &dorva::JobData::SetVenderInfo};
constexpr JobText kOSInfo{QXIDSTR_J_OS_INFO, QXIDS32_TV_J_MAX_OS_INFO_LENGTH, 10,
                          &dorva::JobData::SetOSInfo};
constexpr JobText kMediaInfo{QXIDSTR_J_MEDIA_INFO, QXIDS32_TV_J_MAX_MEDIA_INFO_LENGTH, 10,
                             &dorva::JobData::SetMediaInfo};

bool IsUtf8LeadByte(char c) {
  return static_cast<unsigned char>(c) >= 0xC0;
}

// The text ends at its first NUL. Past the maximum it is cut, and a lead byte
// left dangling at the cut is dropped with it.
std::string_view LimitJobText(std::string_view text, std::int32_t max_length) {
  text = text.substr(0, text.find('\0'));
  if (max_length < 0 || text.size() <= static_cast<std::size_t>(max_length)) return text;
  text = text.substr(0, static_cast<std::size_t>(max_length));
  while (!text.empty() && IsUtf8LeadByte(text.back())) text.remove_suffix(1);
  return text;
}

void SetJobText(const OptionDictionary& options, dorva::JobData& job_data, const JobText& rule) {
  const auto text = options.GetParams<char>(rule.text_id);
  if (!text) return;
  const std::int32_t max_length =
      options.GetParam(rule.max_length_id).value_or(rule.default_max_length);
  (job_data.*rule.setter)(LimitJobText(std::string_view(text->data(), text->size()), max_length));
}

}  // namespace

dorva::JobData TavikApi::CreateJobData() {
  dorva::JobData job_data;
  job_data.SetVersion(6);

  SetJobText(options_, job_data, kOwnerName);
  SetJobText(options_, job_data, kDocName);
  SetJobText(options_, job_data, kHostName);
  if (const auto type = options_.GetParam(QXIDS32_J_HOST_NAMETYPE)) {
    job_data.SetHostNameType(*type);
  }
  if (const auto job_id = options_.GetParam(QXIDS32_J_JOB_ID)) job_data.SetJobID(*job_id);
  SetJobText(options_, job_data, kVenderInfo);
  SetJobText(options_, job_data, kOSInfo);
  SetJobText(options_, job_data, kMediaInfo);

  if (const auto bytes = options_.GetParams<std::int32_t>(QXIDS32_TV_PRT_HDD_OPTION_JX_02_X)) {
    for (std::size_t i = 0; i < bytes->size(); ++i) {
      job_data.SetHDDOption_XX(static_cast<std::int32_t>(i), (*bytes)[i] & 0xFF);
    }
  }
  if (IsOn(options_, QXIDS32_TV_PRT_HDD_OPTION_ENABLE)) {
    const std::int32_t print_mode =
        options_.GetParam(QXIDS32_TV_PRT_HDD_OPTION_PRINT_MODE).value_or(0);
    switch (print_mode) {
      case 0:
        job_data.SetHDDOption_XX(0, 1);
        job_data.SetHDDOption_XX(1, 1);
        job_data.SetHDDOption_XX(3, 0);
        break;
      case 1:
        job_data.SetHDDOption_XX(0, 1);
        job_data.SetHDDOption_XX(1, 1);
        job_data.SetHDDOption_XX(3, 1);
        break;
      case 2:
        job_data.SetHDDOption_XX(0, 1);
        job_data.SetHDDOption_XX(1, 0);
        job_data.SetHDDOption_XX(3, 0);
        break;
      default:
        Log(kError, "QXIDS32_TV_PRT_HDD_OPTION_PRINT_MODE ({}) is unknown id.", print_mode);
    }
    const std::int32_t store_first =
        options_.GetParam(QXIDS32_TV_PRT_HDD_OPTION_STORE_DATA_FIRST).value_or(0);
    switch (store_first) {
      case 0:
      case 1:
        job_data.SetHDDOption_XX(2, store_first);
        break;
      default:
        Log(kError, "QXIDS32_TV_PRT_HDD_OPTION_STORE_DATA_FIRST ({}) is unknown id.", store_first);
    }
  }

  if (IsOn(options_, QXIDS32_TV_PRT_DISABLE_PRINTER_ERROR_CHECK)) {
    job_data.SetDisablePrinterErrorCheck(1);
  }

  // The version-6 record has no fields for these.
  if (const auto folder_id = options_.GetParam(QXIDS32_TV_J_FOLDER_ID);
      folder_id && *folder_id != -1) {
    Log(kError, "JobData::FolderID is not supported.");
  }
  if (options_.GetParams<char>(QXIDSTR_TV_J_FOLDER_AUTH_CODE)) {
    Log(kError, "JobData::lpFolderAuthCode and JobData::FolderAuthCodeSize are not supported.");
  }
  if (options_.GetParams<char>(QXIDSTR_TV_J_FILE_AUTH_CODE)) {
    Log(kError, "JobData::lpFileAuthCode and JobData::FileAuthCodeSize are not supported.");
  }
  return job_data;
}

}  // namespace tavik
