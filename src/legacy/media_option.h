// Wrapper of the media option record: each setter also marks its field valid.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "dorva_records.h"
#include "legacy/struct_wrapper.h"

namespace tavik::dorva {

class MediaOption : public CStructWrapperBase<tagMEDIAOPT_8, tagMEDIAOPT*> {
 public:
  void SetVersion(std::uint16_t version) noexcept { mutable_record().Version = version; }

  // 16-bit fields take the low 16 bits of the value.
  void SetFeedOffset(std::int32_t v) noexcept {
    Store(mutable_record().feed_offset, v, MEDIAOPT_VALID_FEED_OFFSET);
  }
  void SetWaitTimePerPath(std::int32_t v) noexcept {
    Store(mutable_record().wait_time_per_path, v, MEDIAOPT_VALID_WAIT_TIME_PER_PATH);
  }
  void SetPaperThick(std::int32_t v) noexcept {
    Store(mutable_record().paper_thick, v, MEDIAOPT_VALID_PAPER_THICK);
  }
  void SetVacuumIntensity(std::int32_t v) noexcept {
    Store(mutable_record().vacuum_intensity, v, MEDIAOPT_VALID_VACUUM_INTENSITY);
  }
  void SetWaitTimePerPage(std::int32_t v) noexcept {
    Store(mutable_record().wait_time_per_page, v, MEDIAOPT_VALID_WAIT_TIME_PER_PAGE);
  }
  void SetPlatenGap(std::int32_t v) noexcept {
    Store(mutable_record().platen_gap, v, MEDIAOPT_VALID_PLATEN_GAP);
  }
  void SetFeedRollerType(std::int32_t v) noexcept {
    Store(mutable_record().feed_roller_type, v, MEDIAOPT_VALID_FEED_ROLLER_TYPE);
  }
  void SetPilePrint(std::int32_t v) noexcept {
    Store(mutable_record().pile_print, v, MEDIAOPT_VALID_PILE_PRINT);
  }
  void SetTopMargin(std::int32_t v) noexcept {
    Store(mutable_record().top_margin, v, MEDIAOPT_VALID_TOP_MARGIN);
  }
  // Stores up to the record's 16 ratios from index 0; the rest keep their value.
  void SetInkDensityRatio(const std::int32_t* ratios, std::size_t num) noexcept {
    tagMEDIAOPT_8& record = mutable_record();
    const std::size_t count = std::min<std::size_t>(num, MEDIAOPT_INK_DENSITY_RATIO_NUM);
    std::copy_n(ratios, count, record.ink_density_ratio);
    record.valid_mask |= MEDIAOPT_VALID_INK_DENSITY_RATIO;
  }
  void SetEx07m2DontSend(std::int32_t v) noexcept {
    mutable_record().ex07m2_dont_send = v;
    mutable_record().valid_mask |= MEDIAOPT_VALID_EX07M2_DONT_SEND;
  }

  std::uint32_t valid_mask() const noexcept { return record().valid_mask; }

 private:
  template <typename TField>
  void Store(TField& field, std::int32_t value, std::uint32_t valid_bit) noexcept {
    field = static_cast<TField>(static_cast<std::uint32_t>(value) & 0xFFFFu);
    mutable_record().valid_mask |= valid_bit;
  }
};

}  // namespace tavik::dorva
