// The printer structure of a module job, from the parameters, the page
// description and the configuration.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "api/tavik_api.h"
#include "config/log.h"
#include "config/paths.h"
#include "legacy/param_reads.h"

namespace tavik {

namespace {

constexpr std::int32_t kInputFormatPlanar = 1000;

// Pixel format code of the module; none for a data type the module has no code for.
std::optional<std::int32_t> InputFormatOf(const orlen::ImageInfo& image) {
  switch (image.record().data_type) {
    case 1:
    case -1:
      return 1;
    case 2:
    case -2:
      return 4;
    case 3:
    case -3:
      return 100 + image.GetChannelNum();
    default:
      return std::nullopt;
  }
}

// Scales a paper dimension from source dots to image dots. A source resolution
// of 0 leaves the dimension as it is rather than dividing by zero.
std::int32_t ScaleToImage(std::int32_t dots, std::int32_t image_res, std::int32_t source_res,
                          const char* parameter_name) {
  if (source_res == 0) {
    Log(kError, "{} (0) is not valid; the paper size is not scaled by it.", parameter_name);
    return dots;
  }
  const std::int64_t scaled = static_cast<std::int64_t>(image_res) * dots / source_res;
  return static_cast<std::int32_t>(scaled);
}

// Walks the (from, to) pairs in table order; a conversion feeds the pairs after it.
std::int32_t ConvertMediaType(const OptionDictionary& options, std::int32_t media_type) {
  const auto table = options.GetParams<std::int32_t>(QXIDS32_TV_PRT_MEDIA_TYPE_CONVERT_TABLE);
  if (!table || table->empty()) return media_type;
  if (table->size() % 2 != 0) {
    Log(kError, "QXIDS32_TV_PRT_MEDIA_TYPE_CONVERT_TABLE num is odd.");
    return media_type;
  }
  for (std::size_t i = 0; i < table->size(); i += 2) {
    const std::int32_t from = (*table)[i];
    const std::int32_t to = (*table)[i + 1];
    if (from != media_type) continue;
    Log(kInfo, "Convert media_type {} to {}.", media_type, to);
    media_type = to;
  }
  return media_type;
}

struct FlagBit {
  QXOL_PARAM_ID id;
  std::uint32_t bit;
};

}  // namespace

std::optional<dorva::PrtStruct3> TavikApi::CreatePrtStruct3(bool planar) {
  static const PageDescription kNoPage{};
  const PageDescription& page = page_ ? *page_ : kNoPage;
  const QXOL_IMAGE_INFO& image = page.image.record();
  const QXOL_BASE_INFO& base = page.base.record();

  dorva::PrtStruct3 prt;
  prt.SetVersion(12);

  const std::optional<std::int32_t> input_format = InputFormatOf(page.image);
  if (!input_format) {
    Log(kCritical, "QXOL_IMAGE_INFO::data_type({}) is unknown id.", image.data_type);
    return std::nullopt;
  }
  // A bitwise OR, as the module decodes it: codes above 100 share bits with 1000.
  prt.SetInputFormat(planar ? (*input_format | kInputFormatPlanar) : *input_format);

  prt.SetMode(101);
  prt.SetImageRes(image.res_x, image.res_y);
  const auto printer_res_x = options_.GetParam(QXIDS32_PRT_RES_X);
  const auto printer_res_y = options_.GetParam(QXIDS32_PRT_RES_Y);
  if (printer_res_x && printer_res_y) prt.SetPrinterRes(*printer_res_x, *printer_res_y);

  std::int32_t paper_width = base.paper_width;
  std::int32_t paper_length = base.paper_height;
  if (const auto source_res_x = options_.GetParam(QXIDS32_SRC_RES_X)) {
    paper_width = ScaleToImage(paper_width, image.res_x, *source_res_x, "QXIDS32_SRC_RES_X");
  }
  if (const auto source_res_y = options_.GetParam(QXIDS32_SRC_RES_Y)) {
    if (*source_res_y == 0 || *source_res_y != image.res_y) {
      paper_length = ScaleToImage(paper_length, image.res_y, *source_res_y, "QXIDS32_SRC_RES_Y");
    }
  }
  if (const auto min_length = options_.GetParam(QXIDS32_TV_PRT_MIN_PAPER_LENGTH);
      min_length && *min_length > 0) {
    // Millimetres to image dots, rounded up.
    const double dots = std::ceil(WrappingMul(*min_length, image.res_y) / 25.4);
    paper_length = std::max(paper_length, static_cast<std::int32_t>(dots));
  }
  prt.SetPaperSize(paper_width, paper_length);

  prt.SetImageSize(image.width, image.height);
  prt.SetPrintSize(image.width, image.height);
  prt.SetOrigin(0, 0);

  if (const auto media_type = options_.GetParam(QXIDS32_PRT_MEDIA_TYPE)) {
    prt.SetMediaType(ConvertMediaType(options_, *media_type));
  }

  if (const auto copies = options_.GetParam(QXIDS32_PRT_COPY_NUM); copies && *copies != 1) {
    prt.AddJobOption(PRTSTRUCT3_JO_COPIES);
    prt.SetCopies(*copies);
  }

  if (IsOn(options_, QXIDBOL_PRT_BI_DIRECTION)) prt.AddPrintOption(PRTSTRUCT3_PO_BI_DIRECTION);
  // Microweave is on unless the driver switches it off explicitly.
  if (const auto microweave = options_.GetParam(QXIDS32_TV_H_DRV_MW);
      !microweave || *microweave != 0) {
    prt.AddPrintOption(PRTSTRUCT3_PO_MICROWEAVE);
  }
  static constexpr FlagBit kPrintOptionBits[] = {
      {QXIDS32_TV_H_DRV_MWSP, PRTSTRUCT3_PO_MICROWEAVE_SP},
      {QXIDBOL_GRTN_HPAT, PRTSTRUCT3_PO_GRTN_HPAT},
      {QXIDS32_TV_H_DRV_MWSP2, PRTSTRUCT3_PO_MICROWEAVE_SP2},
      {QXIDS32_TV_H_DRV_MWP3, PRTSTRUCT3_PO_MICROWEAVE_P3},
  };
  for (const FlagBit& flag : kPrintOptionBits) {
    if (IsOn(options_, flag.id)) prt.AddPrintOption(flag.bit);
  }

  if (options_.GetParam(QXIDS32_PRT_BANNER_PRINT)) {
    Log(kCritical, "Not compatible id: QXIDS32_PRT_BANNER_PRINT");
  }
  if (IsOn(options_, QXIDBOL_J_PACKET_SPOOL_OUT)) prt.AddJobOption(PRTSTRUCT3_JO_PACKET_SPOOL_OUT);

  if (const auto cut_mode = options_.GetParam(QXIDS32_E_CUT_MODE); cut_mode && *cut_mode != 0) {
    prt.AddJobOption(PRTSTRUCT3_JO_CUT);
    if (IsOn(options_, QXIDS32_PRT_T4_MODE)) {
      if (*cut_mode == 1 || *cut_mode == 2) {
        dorva::CutCommand cut;
        cut.SetVersion(1);
        cut.SetCutMode(static_cast<std::uint16_t>(*cut_mode));
        prt.SetCutCommand(std::move(cut));
      } else {
        Log(kCritical, "QXIDS32_E_CUT_MODE ({}) is unknown id.", *cut_mode);
      }
    }
  }

  static constexpr FlagBit kPaperBits[] = {
      {QXIDBOL_PRT_CUTLINE, PRTSTRUCT3_JO_CUTLINE},
      {QXIDBOL_E_EMPTY_PAPER_PRINT, PRTSTRUCT3_JO_EMPTY_PAPER_PRINT},
      {QXIDBOL_E_SAVE_PAPER, PRTSTRUCT3_JO_SAVE_PAPER},
  };
  for (const FlagBit& flag : kPaperBits) {
    if (IsOn(options_, flag.id)) prt.AddJobOption(flag.bit);
  }
  if (const auto two_side = options_.GetParam(QXIDS32_E_2SIDE_PRT_MODE)) {
    switch (*two_side) {
      case 0:
        break;
      case 1:
        prt.AddJobOption(PRTSTRUCT3_JO_2SIDE_MODE_1);
        break;
      case 2:
        prt.AddJobOption(PRTSTRUCT3_JO_2SIDE_MODE_2);
        break;
      default:
        Log(kCritical, "QXIDS32_E_2SIDE_PRT_MODE ({}) is unknown id.", *two_side);
    }
  }
  if (IsOn(options_, QXIDBOL_E_2SIDE_PRT_MANUAL_REVERSE)) {
    prt.AddJobOption(PRTSTRUCT3_JO_2SIDE_MANUAL_REVERSE);
  }
  if (const auto job_pos = options_.GetParam(QXIDS32_E_DSPRT_MANUAL_SET_JOB_POS)) {
    switch (*job_pos) {
      case 0:
        break;
      case 1:
        prt.AddJobOption(PRTSTRUCT3_JO_DSPRT_JOB_POS_1);
        break;
      case 2:
        prt.AddJobOption(PRTSTRUCT3_JO_DSPRT_JOB_POS_2);
        break;
      default:
        Log(kCritical, "QXIDS32_E_DSPRT_MANUAL_SET_JOB_POS ({}) is unknown id.", *job_pos);
    }
  }

  if (const auto t4_mode = options_.GetParam(QXIDS32_PRT_T4_MODE); t4_mode && *t4_mode != 0) {
    if (*t4_mode != 1) Log(kCritical, "Not Support Variable Borderles Print.");
    prt.AddJobOption(PRTSTRUCT3_JO_T4_MODE);
  }
  static constexpr FlagBit kJobBits[] = {
      {QXIDBOL_H_COMPOSITE_BK_PRINT, PRTSTRUCT3_JO_COMPOSITE_BK_PRINT},
      {QXIDBOL_E_TEAROFF_AUTO, PRTSTRUCT3_JO_TEAROFF_AUTO},
      {QXIDBOL_E_SILENT_MODE, PRTSTRUCT3_JO_SILENT_MODE},
      {QXIDBOL_J_JSJE_DONT_SEND, PRTSTRUCT3_JO_JSJE_DONT_SEND},
      {QXIDBOL_E_QUICK_PAPERFEED, PRTSTRUCT3_JO_QUICK_PAPERFEED},
      {QXIDBOL_E_PLATEN_PRINT_BLOCK, PRTSTRUCT3_JO_PLATEN_PRINT_BLOCK},
      {QXIDBOL_E_NEXTPAGE_INFO_SEND, PRTSTRUCT3_JO_NEXTPAGE_INFO_SEND},
  };
  for (const FlagBit& flag : kJobBits) {
    if (IsOn(options_, flag.id)) prt.AddJobOption(flag.bit);
  }
  // Read for completeness; the version-12 record has no bit for it.
  static_cast<void>(options_.GetParam(QXIDS32_TV_PRT_SCF_ENABLE));
  prt.AddJobOption(PRTSTRUCT3_JO_ALWAYS);

  if (const auto paper_bin = options_.GetParam(QXIDS32_TV_PRT_DRIVER_PAPER_BIN)) {
    prt.SetPaperBin(*paper_bin);
  }
  prt.SetReserved5(0xFFFF);
  prt.SetSubMode(prt.GetMode());
  if (auto media_option = CreateMediaOption()) prt.SetMediaOption(std::move(*media_option));
  prt.SetJobData(CreateJobData());

  prt.SetOptionEx2(OPT_EX2_ALWAYS);
  if (const auto edge_quality = options_.GetParam(QXIDS32_TV_PRT_PAPER_EDGE_QUALITY)) {
    switch (*edge_quality) {
      case 0:
        break;
      case 1:
        prt.AddOptionEx2(OPT_EX2_EDGE_QUALITY_1);
        prt.RemoveOptionEx2(OPT_EX2_1HD_BIT);
        prt.AddOptionEx2(OPT_EX2_ALWAYS);
        break;
      case 2:
        if (IsOn(options_, QXIDS32_TV_PRT_ENABLE_1HD_BIT)) {
          prt.AddOptionEx2(OPT_EX2_1HD_BIT);
        } else {
          Log(kError, "Not Support OPT_EX2_1HD_BIT at this PMI.");
        }
        break;
      default:
        Log(kCritical, "QXIDS32_TV_PRT_PAPER_EDGE_QUALITY ({}) is unknown id.", *edge_quality);
    }
  }

  if (const auto module_path = configuration_.GetKnown(DV_MOD_HMM)) {
    prt.SetModulePath(ResolvePath(*module_path));
  }

  if (auto brs_data = CreateBRSData()) prt.SetBRSData(std::move(*brs_data));
  return prt;
}

}  // namespace tavik
