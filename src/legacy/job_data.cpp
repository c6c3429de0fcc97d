#include "legacy/job_data.h"

#include "config/log.h"

namespace tavik::dorva {

void JobData::SetHDDOption_XX(std::int32_t index, std::int32_t value) {
  // A negative index is as far out of the block as one past its end.
  if (index < 0 || index >= JOBDATA_HDD_OPTION_SIZE) {
    Log(kError, "SetHDDOption_XX() is supported id [0] ~ [{}]", JOBDATA_HDD_OPTION_SIZE - 1);
    return;
  }
  if (!hdd_option_) hdd_option_ = HddOptionBlock{1, 1, 0, 0, 0, 0, 0, 0};
  (*hdd_option_)[static_cast<std::size_t>(index)] = static_cast<unsigned char>(value & 0xFF);
  tagJOBDATA_6& record = mutable_record();
  if (index + 1 > record.HDDOptionSize) record.HDDOptionSize = index + 1;
}

}  // namespace tavik::dorva
