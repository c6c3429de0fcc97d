// The option, TP information, OS-dependent, BRS data and calibration request records.
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

using AuxRecordsTest = LegacyTest;

std::optional<std::string> TextAt(const char* p) {
  if (p == nullptr) return std::nullopt;
  return std::string(p);
}

TEST_F(AuxRecordsTest, OptionRecordCarriesPathsAndTheSpoolRelay) {
  const struct Case {
    std::vector<std::pair<std::string, std::string>> ini;
    std::optional<std::string> ht, mw, rsc;
  } cases[] = {
      {{}, {}, {}, {}},
      {{{"DV_MOD_HT", "/opt/ht.so"}, {"DV_MOD_MW", "/opt/mw.so"}, {"DV_MOD_RSC", "/opt/rsc"}},
       "/opt/ht.so",
       "/opt/mw.so",
       "/opt/rsc"},
      {{{"DV_MOD_RSC", "res/dorva.rsc"}}, {}, {}, ResolvePath("res/dorva.rsc")},
      {{{"DV_MOD_MW", "mw.so"}}, {}, ResolvePath("mw.so"), {}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const Case& c = cases[i];
    Configure(c.ini);
    dorva::DorvaOpt option = api_.CreateOption();
    option.UpdatePointers();
    const tagOPTION& r = option.record();
    EXPECT_EQ(TextAt(r.lpHTModulePath), c.ht);
    EXPECT_EQ(TextAt(r.lpMWModulePath), c.mw);
    EXPECT_EQ(r.ResourcePathCount, c.rsc ? 1 : 0);
    if (c.rsc) {
      ASSERT_NE(r.lpResourcePaths, nullptr);
      EXPECT_EQ(TextAt(r.lpResourcePaths[0]), c.rsc);
    } else {
      EXPECT_EQ(r.lpResourcePaths, nullptr);
    }
    Bytes expected(48, 24);
    expected.Ptr(0, 0, r.lpHTModulePath)
        .Ptr(8, 4, r.lpMWModulePath)
        .Ptr(16, 8, r.lpResourcePaths)
        .I32(24, 12, c.rsc ? 1 : 0)
        .Ptr(32, 16, reinterpret_cast<const void*>(&TavikApi::SpoolRelay))
        .Ptr(40, 20, &api_);
    EXPECT_EQ(BytesOf(r), expected.data());
  }
}

TEST_F(AuxRecordsTest, TpInformationTellsANormalEnd) {
  const struct {
    std::int32_t terminate;
    std::int32_t normal_end;
  } cases[] = {{0, 1}, {1, 0}, {-1, 0}, {0x7FFFFFFF, 0}};
  for (const auto& c : cases) {
    dorva::TpInfoStruct tp = TavikApi::CreateTpInfoStruct(c.terminate);
    tp.UpdatePointers();
    Bytes expected(8, 8);
    expected.U16(0, 0, 1).I32(4, 4, c.normal_end);
    EXPECT_EQ(BytesOf(tp.record()), expected.data()) << c.terminate;
  }
}

TEST_F(AuxRecordsTest, OsDependentRecordIsZero) {
  dorva::OSDep os_dep = TavikApi::CreateOSDep();
  os_dep.UpdatePointers();
  EXPECT_EQ(BytesOf(os_dep.record()), std::vector<unsigned char>(28, 0));
}

TEST_F(AuxRecordsTest, BrsDataPathsAndEecCalibration) {
  const std::vector<unsigned char> eec{0xEE, 0xC0, 0x01};
  const struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> ini;
    std::optional<std::int32_t> effective_eec;
    bool eec_data;
    std::int32_t version;
    std::optional<std::string> brs, cdg, ecalib;
    bool eec_bytes;
    std::vector<std::string> infos;
  } cases[] = {
      {"nothing configured",
       {},
       {},
       false,
       2,
       {},
       {},
       {},
       false,
       {"BRSFile path is not set", "CDGFile path is not set"}},
      {"paths",
       {{"DV_MOD_BRS", "/opt/a.brs"}, {"DV_MOD_CDG", "b.cdg"}, {"DV_MOD_ECALIB", "/e"}},
       {},
       true,
       2,
       "/opt/a.brs",
       ResolvePath("b.cdg"),
       {},
       false,
       {}},
      {"EEC in effect",
       {{"DV_MOD_ECALIB", "/opt/e.cal"}},
       1,
       true,
       4,
       {},
       {},
       "/opt/e.cal",
       true,
       {"BRSFile path is not set", "CDGFile path is not set"}},
      {"EEC without path or data",
       {},
       1,
       false,
       4,
       {},
       {},
       {},
       false,
       {"BRSFile path is not set", "CDGFile path is not set"}},
      {"EEC off",
       {{"DV_MOD_ECALIB", "/opt/e.cal"}},
       0,
       true,
       2,
       {},
       {},
       {},
       false,
       {"BRSFile path is not set", "CDGFile path is not set"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    api_.options_.Clear();
    Configure(c.ini);
    if (c.effective_eec) Set(QXIDS32_H_EFFECTIVE_EEC_CALIB, *c.effective_eec);
    if (c.eec_data) SetBytes(QXIDU08_H_EEC_CALIB_DATA, eec);
    LogCapture log(kInfo);
    auto brs = api_.CreateBRSData();
    ASSERT_TRUE(brs.has_value());
    brs->UpdatePointers();
    const tagBRSData_4& r = brs->record();
    EXPECT_EQ(TextAt(r.lpBRSFilePath), c.brs);
    EXPECT_EQ(TextAt(r.lpCDGFilePath), c.cdg);
    EXPECT_EQ(TextAt(r.lpECalibPath), c.ecalib);
    if (c.eec_bytes) {
      ASSERT_NE(r.lpEECCalibData, nullptr);
      EXPECT_EQ(std::vector<unsigned char>(r.lpEECCalibData, r.lpEECCalibData + eec.size()), eec);
    }
    Bytes expected(104, 52);
    expected.I32(0, 0, c.version)
        .Ptr(8, 4, r.lpBRSFilePath)
        .Ptr(24, 12, r.lpCDGFilePath)
        .Ptr(80, 40, r.lpECalibPath)
        .Ptr(88, 44, c.eec_bytes ? r.lpEECCalibData : nullptr)
        .I32(96, 48, c.eec_bytes ? static_cast<std::int32_t>(eec.size()) : 0);
    EXPECT_EQ(BytesOf(r), expected.data());
    std::vector<std::string> infos;
    for (const LogRecord& record : log.records()) {
      if (record.text.find("path is not set") != std::string::npos) infos.push_back(record.text);
    }
    EXPECT_EQ(infos, c.infos);
  }
}

TEST_F(AuxRecordsTest, CalibrationRequestNeedsPrinterTypeAndName) {
  const struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> ini;
    std::optional<std::int32_t> type;
    std::optional<std::string> printer_name;
    std::int32_t result;
    std::optional<std::string> tool;
    std::optional<LogRecord> message;
  } cases[] = {
      {"complete",
       {{"DV_MOD_ISV", "/opt/isv"}},
       3,
       std::string("SC-P\0X", 6),
       QXOL_OK,
       "/opt/isv",
       {}},
      {"no tool", {}, 3, "SC-P", QXOL_OK, {}, LogRecord{kInfo, "ISVTool path is not set."}},
      {"no type",
       {{"DV_MOD_ISV", "/opt/isv"}},
       {},
       "SC-P",
       QXOL_ERR_NOT_SUPPORTED,
       "/opt/isv",
       LogRecord{kInfo, "Printer type is not set"}},
      {"no name",
       {{"DV_MOD_ISV", "isv"}},
       3,
       {},
       QXOL_ERR_NOT_SUPPORTED,
       ResolvePath("isv"),
       LogRecord{kError, "Printer name is not set."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    api_.options_.Clear();
    Configure(c.ini);
    if (c.type) Set(QXIDS32_TV_ISV_PRINTER_TYPE, *c.type);
    if (c.printer_name) SetText(QXIDSTR_TV_ISV_PRINTER_NAME, *c.printer_name);
    LogCapture log(kInfo);
    dorva::CalibDataReq request;
    EXPECT_EQ(api_.CreateCalibDataReq(request), c.result);
    if (c.message) {
      EXPECT_TRUE(log.Has(c.message->level, c.message->text));
    }
    request.SetWorkDir("/tmp/work");
    request.UpdatePointers();
    const tag_CalibDataReq_1& r = request.record();
    EXPECT_EQ(r.Version, 1);
    EXPECT_EQ(TextAt(r.lpToolPath), c.tool);
    if (c.result != QXOL_OK) continue;
    // Every stored character of the name, embedded NULs included.
    ASSERT_NE(r.lpPrinterName, nullptr);
    EXPECT_EQ(std::string(r.lpPrinterName, c.printer_name->size()), *c.printer_name);
    Bytes expected(40, 20);
    expected.I32(0, 0, 1)
        .Ptr(8, 4, r.lpToolPath)
        .I32(16, 8, *c.type)
        .Ptr(24, 12, r.lpPrinterName)
        .Ptr(32, 16, r.lpWorkDir);
    EXPECT_EQ(BytesOf(r), expected.data());
    EXPECT_EQ(TextAt(r.lpWorkDir), "/tmp/work");
  }
}

}  // namespace
}  // namespace tavik::test
