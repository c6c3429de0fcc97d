// The printer structure built from the parameters, the page and the configuration.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/paths.h"
#include "support/log_capture.h"
#include "unit/legacy/legacy_fixture.h"

namespace tavik::test {
namespace {

struct Param {
  QXOL_PARAM_ID id;
  std::int32_t value;
};

struct Message {
  int level;
  std::string text;
};

class PrtStruct3Test : public LegacyTest {
 protected:
  void SetAll(const std::vector<Param>& params) {
    for (const Param& p : params) Set(p.id, p.value);
  }
  // Builds with an RGB page unless the test described another, and links the
  // structure at its final place.
  const dorva::PrtStruct3& Build(bool planar = false) {
    if (!api_.page_) StartPage(1);
    built_ = api_.CreatePrtStruct3(planar);
    EXPECT_TRUE(built_.has_value());
    if (!built_) built_.emplace();
    built_->UpdatePointers();
    return *built_;
  }
  std::optional<dorva::PrtStruct3> built_;
};

TEST_F(PrtStruct3Test, RecordIsByteExact) {
  Configure({{"DV_MOD_HMM", "/opt/dorva/module.so"}});
  StartPage(2);
  SetAll({{QXIDS32_PRT_RES_X, 1440},
          {QXIDS32_PRT_RES_Y, 720},
          {QXIDS32_PRT_MEDIA_TYPE, 5},
          {QXIDS32_PRT_COPY_NUM, 3},
          {QXIDS32_E_CUT_MODE, 2},
          {QXIDS32_PRT_T4_MODE, 1},
          {QXIDS32_TV_PRT_DRIVER_PAPER_BIN, 7},
          {QXIDS32_TV_PRT_PAPER_EDGE_QUALITY, 1},
          {QXIDS32_M_FEED_OFFSET, 71}});
  const dorva::PrtStruct3& prt = Build();
  const tagPRTSTRUCT3_12& record = prt.record();
  ASSERT_TRUE(prt.cut_command() && prt.media_option() && prt.job_data() && prt.brs_data());
  ASSERT_NE(record.lpModulePath, nullptr);

  Bytes expected(232, 164);
  expected.U16(0, 0, 12)
      .I32(4, 4, 4)
      .I32(8, 8, 101)
      .I32(12, 12, 720)
      .I32(16, 16, 720)
      .I32(20, 20, 1440)
      .I32(24, 24, 720)
      .I32(28, 28, 1000)
      .I32(32, 32, 2000)
      .I32(36, 36, 640)
      .I32(40, 40, 480)
      .I32(44, 44, 640)
      .I32(48, 48, 480)
      .I32(60, 60, 5)
      .I32(68, 68, 3)
      .U32(72, 72, 0x1)
      .U32(76, 76, 0x80000000u | 0x10010u | 0x20u | 0x4u)
      .I32(84, 84, 7)
      .U16(92, 92, 0xFFFF)
      .I32(104, 100, 101)
      .Ptr(112, 104, &prt.cut_command()->record())
      .Ptr(136, 116, &prt.media_option()->record())
      .Ptr(144, 120, &prt.job_data()->record())
      .U32(176, 136, 0x60)
      .Ptr(184, 140, record.lpModulePath)
      .Ptr(192, 144, &prt.brs_data()->record());
  EXPECT_EQ(BytesOf(record), expected.data());
  EXPECT_STREQ(record.lpModulePath, "/opt/dorva/module.so");

  Bytes cut(12, 12);
  cut.U16(0, 0, 1).U16(2, 2, 2);
  EXPECT_EQ(BytesOf(prt.cut_command()->record()), cut.data());
}

TEST_F(PrtStruct3Test, InputFormatFollowsThePixelFormatAndLayout) {
  const struct Case {
    std::int32_t data_type;
    std::vector<std::int32_t> channels;
    bool planar;
    std::int32_t input_format;
  } cases[] = {
      {1, {}, false, 1},
      {-1, {}, true, 1001},
      {2, {}, false, 4},
      {-2, {}, true, 1004},
      {3, {1, 2, 3, 4}, false, 104},
      {3, {1, 2, 3, 4}, true, 1000},  // 104 shares bits with 1000
      {-3, {1, 2, 3, 4, 5, 6}, false, 106},
      {-3, {1, 2, 3, 4, 5, 6}, true, 1002},
      {3, {}, false, 99},  // no channel list: -1 channels
      {-3, {}, true, 1003},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "data_type " << c.data_type << " channels "
                                      << c.channels.size() << " planar " << c.planar);
    StartPage(c.data_type, c.channels);
    EXPECT_EQ(Build(c.planar).record().InputFormat, c.input_format);
  }
}

TEST_F(PrtStruct3Test, UnknownPixelFormatGivesNoStructure) {
  for (const std::int32_t data_type : {0, 4, -4, 100}) {
    LogCapture log;
    StartPage(data_type);
    EXPECT_FALSE(api_.CreatePrtStruct3(false).has_value()) << data_type;
    EXPECT_TRUE(log.Has(
        kCritical, "QXOL_IMAGE_INFO::data_type(" + std::to_string(data_type) + ") is unknown id."));
  }
}

TEST_F(PrtStruct3Test, NoPageGivesNoStructure) {
  LogCapture log;
  EXPECT_FALSE(api_.CreatePrtStruct3(true).has_value());
  EXPECT_TRUE(log.Has(kCritical, "QXOL_IMAGE_INFO::data_type(0) is unknown id."));
}

TEST_F(PrtStruct3Test, PaperSizeIsScaledToImageDots) {
  const struct Case {
    std::int32_t paper_width, paper_height, res_x, res_y;
    std::optional<std::int32_t> source_x, source_y, min_length_mm;
    std::int32_t width, length;
    const char* error;
  } cases[] = {
      {1000, 2000, 720, 720, {}, {}, {}, 1000, 2000, nullptr},
      {1000, 2000, 720, 720, 360, {}, {}, 2000, 2000, nullptr},
      {1000, 2000, 720, 720, {}, 720, {}, 1000, 2000, nullptr},  // same as res_y: kept
      {1000, 2000, 720, 720, {}, 360, {}, 1000, 4000, nullptr},
      {1001, 1001, 720, 720, 300, 300, {}, 2402, 2402, nullptr},                  // truncated
      {-1001, -1001, 720, 720, 300, 300, {}, -2402, -2402, nullptr},              // toward zero
      {3000000, 3000000, 1440, 1440, 360, 360, {}, 12000000, 12000000, nullptr},  // 64-bit
      {1000, 2000, 720, 720, {}, {}, 100, 1000, 2835, nullptr},                   // ceil of 2834.6
      {1000, 2000, 720, 720, {}, {}, 10, 1000, 2000, nullptr},                    // 284 is shorter
      {1000, 100, 720, 720, {}, {}, 10, 1000, 284, nullptr},
      {1000, 2000, 720, 720, {}, {}, 0, 1000, 2000, nullptr},
      {1000, 2000, 720, 720, {}, {}, -100, 1000, 2000, nullptr},
      {1000, 2000, 720, 720, {}, 360, 100, 1000, 4000, nullptr},  // minimum after scaling
      {1000, 2000, 720, 720, 0, {}, {}, 1000, 2000, "QXIDS32_SRC_RES_X"},
      {1000, 2000, 720, 720, {}, 0, {}, 1000, 2000, "QXIDS32_SRC_RES_Y"},
      {1000, 2000, 720, 0, {}, 0, {}, 1000, 2000, "QXIDS32_SRC_RES_Y"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.paper_width << "x" << c.paper_height << " at " << c.res_x << "x" << c.res_y);
    api_.options_.Clear();
    if (c.source_x) Set(QXIDS32_SRC_RES_X, *c.source_x);
    if (c.source_y) Set(QXIDS32_SRC_RES_Y, *c.source_y);
    if (c.min_length_mm) Set(QXIDS32_TV_PRT_MIN_PAPER_LENGTH, *c.min_length_mm);
    paper_width_ = c.paper_width;
    paper_height_ = c.paper_height;
    res_x_ = c.res_x;
    res_y_ = c.res_y;
    StartPage(1);
    LogCapture log(kError);
    const dorva::PrtStruct3& prt = Build();
    EXPECT_EQ(prt.record().PaperWidth, c.width);
    EXPECT_EQ(prt.record().PaperLength, c.length);
    // A zero source resolution is reported once and never divides.
    const auto records = log.records();
    if (c.error == nullptr) {
      EXPECT_TRUE(records.empty());
    } else {
      ASSERT_EQ(records.size(), 1u);
      EXPECT_EQ(records[0].level, kError);
      EXPECT_NE(records[0].text.find(c.error), std::string::npos) << records[0].text;
    }
  }
}

TEST_F(PrtStruct3Test, ResolutionsAndSizesComeFromThePage) {
  const struct Case {
    std::optional<std::int32_t> printer_x, printer_y;
    std::int32_t expected_x, expected_y;
  } cases[] = {{1440, 720, 1440, 720}, {1440, {}, 0, 0}, {{}, 720, 0, 0}, {{}, {}, 0, 0}};
  for (const Case& c : cases) {
    api_.options_.Clear();
    if (c.printer_x) Set(QXIDS32_PRT_RES_X, *c.printer_x);
    if (c.printer_y) Set(QXIDS32_PRT_RES_Y, *c.printer_y);
    res_x_ = 360;
    res_y_ = 180;
    StartPage(1);
    const tagPRTSTRUCT3_12 record = Build().record();
    EXPECT_EQ(record.PrinterResX, c.expected_x);
    EXPECT_EQ(record.PrinterResY, c.expected_y);
    EXPECT_EQ(record.ImageResX, 360);
    EXPECT_EQ(record.ImageResY, 180);
    EXPECT_EQ(record.ImageWidth, 640);
    EXPECT_EQ(record.PrintHeight, 480);
    EXPECT_EQ(record.SubMode, record.Mode);
  }
}

TEST_F(PrtStruct3Test, MediaTypeConversionsChainInTableOrder) {
  const struct Case {
    std::optional<std::int32_t> media_type;
    std::vector<std::int32_t> table;  // empty: not set
    std::int32_t expected;
    std::vector<std::string> infos;
    bool odd;
  } cases[] = {
      {5, {5, 7, 7, 9}, 9, {"Convert media_type 5 to 7.", "Convert media_type 7 to 9."}, false},
      {5, {7, 9, 5, 7}, 7, {"Convert media_type 5 to 7."}, false},
      {5, {5, 7, 7}, 5, {}, true},
      {5, {}, 5, {}, false},
      {5, {1, 2, 3, 4}, 5, {}, false},
      {5, {5, 5, 5, 6}, 6, {"Convert media_type 5 to 5.", "Convert media_type 5 to 6."}, false},
      {{}, {5, 7}, 0, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "table of " << c.table.size());
    api_.options_.Clear();
    if (c.media_type) Set(QXIDS32_PRT_MEDIA_TYPE, *c.media_type);
    if (!c.table.empty()) {
      api_.options_.SetParams<std::int32_t>(QXIDS32_TV_PRT_MEDIA_TYPE_CONVERT_TABLE, c.table.data(),
                                            c.table.size());
    }
    LogCapture log;
    EXPECT_EQ(Build().record().MediaType, c.expected);
    std::vector<std::string> infos;
    for (const LogRecord& r : log.records()) {
      if (r.text.rfind("Convert media_type", 0) == 0) {
        EXPECT_EQ(r.level, kInfo);
        infos.push_back(r.text);
      }
    }
    EXPECT_EQ(infos, c.infos);
    EXPECT_EQ(log.Has(kError, "QXIDS32_TV_PRT_MEDIA_TYPE_CONVERT_TABLE num is odd."), c.odd);
  }
}

TEST_F(PrtStruct3Test, PrintOptionBits) {
  const struct Case {
    std::vector<Param> params;
    std::uint32_t expected;
  } cases[] = {
      {{}, 0x1},
      {{{QXIDS32_TV_H_DRV_MW, 0}}, 0x0},
      {{{QXIDS32_TV_H_DRV_MW, 2}}, 0x1},
      {{{QXIDS32_TV_H_DRV_MW, 0}, {QXIDBOL_PRT_BI_DIRECTION, 1}}, 0x4},
      {{{QXIDS32_TV_H_DRV_MW, 0}, {QXIDS32_TV_H_DRV_MWSP, 1}}, 0x2},
      {{{QXIDS32_TV_H_DRV_MW, 0}, {QXIDBOL_GRTN_HPAT, 1}}, 0x200},
      {{{QXIDS32_TV_H_DRV_MWSP2, 3}}, 0x401},
      {{{QXIDS32_TV_H_DRV_MWP3, -1}}, 0x801},
      {{{QXIDS32_TV_H_DRV_MW, 1},
        {QXIDBOL_PRT_BI_DIRECTION, 1},
        {QXIDS32_TV_H_DRV_MWSP, 1},
        {QXIDBOL_GRTN_HPAT, 1},
        {QXIDS32_TV_H_DRV_MWSP2, 1},
        {QXIDS32_TV_H_DRV_MWP3, 1}},
       0xE07},
      {{{QXIDS32_TV_H_DRV_MW, 0},
        {QXIDBOL_PRT_BI_DIRECTION, 0},
        {QXIDS32_TV_H_DRV_MWSP, 0},
        {QXIDBOL_GRTN_HPAT, 0},
        {QXIDS32_TV_H_DRV_MWSP2, 0},
        {QXIDS32_TV_H_DRV_MWP3, 0}},
       0x0},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    api_.options_.Clear();
    SetAll(cases[i].params);
    EXPECT_EQ(Build().record().PrintOption, cases[i].expected);
  }
}

TEST_F(PrtStruct3Test, JobOptionBitsAndCopies) {
  constexpr std::uint32_t kAlways = 0x80000000u;
  const struct Case {
    std::vector<Param> params;
    std::uint32_t bits;  // besides the one always set
    std::int32_t copies;
    std::optional<Message> message;
  } cases[] = {
      {{}, 0, 0, {}},
      {{{QXIDS32_PRT_COPY_NUM, 1}}, 0, 0, {}},
      {{{QXIDS32_PRT_COPY_NUM, 0}}, 0x4, 0, {}},
      {{{QXIDS32_PRT_COPY_NUM, 2}}, 0x4, 2, {}},
      {{{QXIDBOL_J_PACKET_SPOOL_OUT, 1}}, 0x2, 0, {}},
      {{{QXIDBOL_J_PACKET_SPOOL_OUT, 0}}, 0, 0, {}},
      {{{QXIDS32_E_CUT_MODE, 2}}, 0x20, 0, {}},
      {{{QXIDS32_E_CUT_MODE, 2}, {QXIDS32_PRT_T4_MODE, 1}}, 0x10030, 0, {}},
      {{{QXIDS32_PRT_T4_MODE, 1}}, 0x10010, 0, {}},
      {{{QXIDS32_PRT_T4_MODE, 2}},
       0x10010,
       0,
       Message{kCritical, "Not Support Variable Borderles Print."}},
      {{{QXIDBOL_PRT_CUTLINE, 1}}, 0x40, 0, {}},
      {{{QXIDBOL_E_EMPTY_PAPER_PRINT, 1}}, 0x200, 0, {}},
      {{{QXIDBOL_E_SAVE_PAPER, 1}}, 0x800, 0, {}},
      {{{QXIDS32_E_2SIDE_PRT_MODE, 0}}, 0, 0, {}},
      {{{QXIDS32_E_2SIDE_PRT_MODE, 1}}, 0x400000, 0, {}},
      {{{QXIDS32_E_2SIDE_PRT_MODE, 2}}, 0x1000, 0, {}},
      {{{QXIDS32_E_2SIDE_PRT_MODE, 3}},
       0,
       0,
       Message{kCritical, "QXIDS32_E_2SIDE_PRT_MODE (3) is unknown id."}},
      {{{QXIDBOL_E_2SIDE_PRT_MANUAL_REVERSE, 1}}, 0x2000, 0, {}},
      {{{QXIDS32_E_DSPRT_MANUAL_SET_JOB_POS, 1}}, 0x4000, 0, {}},
      {{{QXIDS32_E_DSPRT_MANUAL_SET_JOB_POS, 2}}, 0x8000, 0, {}},
      {{{QXIDS32_E_DSPRT_MANUAL_SET_JOB_POS, -1}},
       0,
       0,
       Message{kCritical, "QXIDS32_E_DSPRT_MANUAL_SET_JOB_POS (-1) is unknown id."}},
      {{{QXIDBOL_H_COMPOSITE_BK_PRINT, 1}}, 0x40000, 0, {}},
      {{{QXIDBOL_E_TEAROFF_AUTO, 1}}, 0x80000, 0, {}},
      {{{QXIDBOL_E_SILENT_MODE, 1}}, 0x200000, 0, {}},
      {{{QXIDBOL_J_JSJE_DONT_SEND, 1}}, 0x800000, 0, {}},
      {{{QXIDBOL_E_QUICK_PAPERFEED, 1}}, 0x1000000, 0, {}},
      {{{QXIDBOL_E_PLATEN_PRINT_BLOCK, 1}}, 0x2000000, 0, {}},
      {{{QXIDBOL_E_NEXTPAGE_INFO_SEND, 1}}, 0x8000000, 0, {}},
      {{{QXIDS32_PRT_BANNER_PRINT, 0}},
       0,
       0,
       Message{kCritical, "Not compatible id: QXIDS32_PRT_BANNER_PRINT"}},
      {{{QXIDS32_TV_PRT_SCF_ENABLE, 1}}, 0, 0, {}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(i);
    api_.options_.Clear();
    SetAll(c.params);
    LogCapture log(kWarning);
    const tagPRTSTRUCT3_12 record = Build().record();
    EXPECT_EQ(record.JobOption, kAlways | c.bits);
    EXPECT_EQ(record.Copies, c.copies);
    const auto records = log.records();
    if (c.message) {
      ASSERT_EQ(records.size(), 1u);
      EXPECT_EQ(records[0].level, c.message->level);
      EXPECT_EQ(records[0].text, c.message->text);
    } else {
      EXPECT_TRUE(records.empty());
    }
  }
}

TEST_F(PrtStruct3Test, CutCommandOnlyWithT4Mode) {
  const struct Case {
    std::int32_t cut_mode;
    std::optional<std::int32_t> t4_mode;
    std::optional<std::uint16_t> command_mode;
    bool unknown;
  } cases[] = {
      {2, 1, 2, false},  {1, 1, 1, false}, {1, 2, 1, false},  {2, {}, {}, false},
      {2, 0, {}, false}, {3, 1, {}, true}, {-1, 1, {}, true}, {0, 1, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "cut " << c.cut_mode);
    api_.options_.Clear();
    Set(QXIDS32_E_CUT_MODE, c.cut_mode);
    if (c.t4_mode) Set(QXIDS32_PRT_T4_MODE, *c.t4_mode);
    LogCapture log;
    const dorva::PrtStruct3& prt = Build();
    ASSERT_EQ(prt.cut_command().has_value(), c.command_mode.has_value());
    if (c.command_mode) {
      EXPECT_EQ(reinterpret_cast<const void*>(prt.record().lpCutCommand),
                &prt.cut_command()->record());
      EXPECT_EQ(prt.cut_command()->record().Version, 1);
      EXPECT_EQ(prt.cut_command()->record().CutMode, *c.command_mode);
    } else {
      EXPECT_EQ(prt.record().lpCutCommand, nullptr);
    }
    EXPECT_EQ(log.Has(kCritical,
                      "QXIDS32_E_CUT_MODE (" + std::to_string(c.cut_mode) + ") is unknown id."),
              c.unknown);
  }
}

TEST_F(PrtStruct3Test, OptionEx2FollowsThePaperEdgeQuality) {
  const struct Case {
    std::optional<std::int32_t> edge_quality, one_hd;
    std::uint32_t expected;
    std::optional<Message> message;
  } cases[] = {
      {{}, {}, 0x20, {}},
      {0, 1, 0x20, {}},
      {1, {}, 0x60, {}},
      {1, 1, 0x60, {}},
      {2, 1, 0x30, {}},
      {2, {}, 0x20, Message{kError, "Not Support OPT_EX2_1HD_BIT at this PMI."}},
      {2, 0, 0x20, Message{kError, "Not Support OPT_EX2_1HD_BIT at this PMI."}},
      {3, 1, 0x20, Message{kCritical, "QXIDS32_TV_PRT_PAPER_EDGE_QUALITY (3) is unknown id."}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(i);
    api_.options_.Clear();
    if (c.edge_quality) Set(QXIDS32_TV_PRT_PAPER_EDGE_QUALITY, *c.edge_quality);
    if (c.one_hd) Set(QXIDS32_TV_PRT_ENABLE_1HD_BIT, *c.one_hd);
    LogCapture log(kWarning);
    EXPECT_EQ(Build().record().OptionEx2, c.expected);
    const auto records = log.records();
    if (c.message) {
      ASSERT_EQ(records.size(), 1u);
      EXPECT_EQ(records[0].level, c.message->level);
      EXPECT_EQ(records[0].text, c.message->text);
    } else {
      EXPECT_TRUE(records.empty());
    }
  }
}

TEST_F(PrtStruct3Test, ModulePathIsResolvedWhenConfigured) {
  const struct Case {
    std::optional<std::string> configured;
    std::optional<std::string> expected;
  } cases[] = {
      {"/opt/dorva/module.so", "/opt/dorva/module.so"},
      {"module.so", ResolvePath("module.so")},
      {{}, {}},
  };
  for (const Case& c : cases) {
    if (c.configured) {
      Configure({{"DV_MOD_HMM", *c.configured}});
    } else {
      Configure({{"DV_MOD_HT", "/opt/other.so"}});
    }
    const dorva::PrtStruct3& prt = Build();
    if (c.expected) {
      ASSERT_NE(prt.record().lpModulePath, nullptr);
      EXPECT_EQ(std::string(prt.record().lpModulePath), *c.expected);
    } else {
      EXPECT_EQ(prt.record().lpModulePath, nullptr);
    }
  }
}

TEST_F(PrtStruct3Test, NestedRecordsAreAttached) {
  const struct Case {
    std::vector<Param> params;
    bool media_option;
  } cases[] = {
      {{}, false},
      {{{QXIDS32_M_PLATEN_GAP, 1}}, true},
      {{{QXIDS32_M_PLATEN_GAP, 1}, {QXIDS32_M_ROLL_TENSION, 0}}, false},
  };
  for (const Case& c : cases) {
    api_.options_.Clear();
    SetAll(c.params);
    const dorva::PrtStruct3& prt = Build();
    EXPECT_EQ(prt.media_option().has_value(), c.media_option);
    EXPECT_EQ(prt.record().lpMediaOption != nullptr, c.media_option);
    // Job data and BRS data are always there.
    ASSERT_TRUE(prt.job_data().has_value());
    EXPECT_EQ(reinterpret_cast<const void*>(prt.record().lpJobData), &prt.job_data()->record());
    ASSERT_TRUE(prt.brs_data().has_value());
    EXPECT_EQ(reinterpret_cast<const void*>(prt.record().lpBRSData), &prt.brs_data()->record());
  }
}

// Reads see the current print mode's value where one is stored.
TEST_F(PrtStruct3Test, ParametersOfTheCurrentPrintModeApply) {
  std::int32_t media_type = 9;
  api_.options_.SetParamsPerPmi<std::int32_t>(3, QXIDS32_PRT_MEDIA_TYPE, &media_type, 1);
  Set(QXIDS32_HTM_PRINTMODE_INDEX, 3);
  EXPECT_EQ(Build().record().MediaType, 9);
}

}  // namespace
}  // namespace tavik::test
