// The media option record: media handling settings, each marked valid when set.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "api/tavik_api.h"
#include "config/log.h"
#include "legacy/param_reads.h"

namespace tavik {

std::optional<dorva::MediaOption> TavikApi::CreateMediaOption() {
  dorva::MediaOption media;
  media.SetVersion(8);

  // Feed offset steps 1..141 are centred on 71.
  if (const auto feed_offset = options_.GetParam(QXIDS32_M_FEED_OFFSET);
      feed_offset && *feed_offset != 0) {
    media.SetFeedOffset(std::clamp<std::int32_t>(*feed_offset, 1, 141) - 71);
  }
  if (const auto wait = options_.GetParam(QXIDS32_M_WAIT_TIME_PER_PATH)) {
    media.SetWaitTimePerPath(*wait);
  }
  // 128 is the printer's own default thickness.
  if (const auto thick = options_.GetParam(QXIDS32_M_PAPER_THICK); thick && *thick != 128) {
    media.SetPaperThick(*thick);
  }
  if (const auto vacuum = options_.GetParam(QXIDS32_M_VACUUM_INTENSITY); vacuum && *vacuum != 0) {
    media.SetVacuumIntensity(2 * (std::clamp<std::int32_t>(*vacuum, 1, 85) - 1));
  }
  if (options_.GetParam(QXIDS32_E_CUT_ADJUSTMENT)) {
    Log(kCritical, "Not compatible id: QXIDS32_E_CUT_ADJUSTMENT");
    return std::nullopt;
  }
  if (const auto wait = options_.GetParam(QXIDS32_M_WAIT_TIME_PER_PAGE)) {
    media.SetWaitTimePerPage(*wait);
  }
  if (const auto gap = options_.GetParam(QXIDS32_M_PLATEN_GAP)) {
    if (*gap >= 0 && *gap <= 2) {
      media.SetPlatenGap(*gap);
    } else {
      Log(kCritical, "QXIDS32_M_PLATEN_GAP ({}) is not supported id.", *gap);
    }
  }
  if (const auto roller = options_.GetParam(QXIDS32_M_FEED_ROLLER_TYPE); roller && *roller != 0) {
    media.SetFeedRollerType(*roller);
  }
  // The version-8 record has no field of its own for this wait time; it
  // travels in the feed roller field.
  if (const auto wait = options_.GetParam(QXIDS32_M_WAIT_TIME_DSPRT_AUTO)) {
    media.SetFeedRollerType(*wait);
  }
  if (options_.GetParam(QXIDS32_M_ROLL_TENSION)) {
    Log(kCritical, "Not compatible id: QXIDS32_M_ROLL_TENSION");
    return std::nullopt;
  }
  if (const auto pile = options_.GetParam(QXIDS32_E_PILE_PRINT); pile && *pile != 0) {
    media.SetPilePrint(*pile);
  }
  if (const auto margin = options_.GetParam(QXIDS32_M_TOP_MARGIN); margin && *margin != 0) {
    media.SetTopMargin(*margin);
  }
  // Percent to 1/1024 units.
  if (auto ratios = options_.GetParams<std::int32_t>(QXIDS32_H_INK_DENSITY_RATIO_MULTI)) {
    for (std::int32_t& ratio : *ratios) ratio = WrappingMul(ratio, 1024) / 100;
    media.SetInkDensityRatio(ratios->data(), ratios->size());
  }
  if (IsOn(options_, QXIDBOL_TV_M_EX07M2_DONT_SEND)) media.SetEx07m2DontSend(-1);
  if (const auto media_id = options_.GetParam(QXIDS32_TV_HTM_MPK_MEDIA_ID);
      media_id && *media_id > 0) {
    Log(kInfo, "MEDIAOPT::mpk_media_id is not supported.");
  }

  if (media.valid_mask() == 0) return std::nullopt;
  return media;
}

}  // namespace tavik
