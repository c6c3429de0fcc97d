#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "qxol.h"
#include "support/end_to_end.h"
#include "support/log_capture.h"

namespace tavik {
namespace {

using test::IniSpec;
using test::Instance;
using test::LogCapture;
using test::TempDir;
using test::WriteIni;

// Print modes of the parameter store the control files are matched against.
//   0, 1, 2  1440 x 720, media 5, 7, 7 (1 and 2 both match the same entry)
//   3        1440 x 1440, intent 2, halftone 5, MWSP 9, MWSP2 1
//   4        only a vertical resolution of 2880
//   5, 7, 8  360 x 360, intent 90, 4 and 3
//   6        a two-element horizontal resolution {600, 1200} x 600
// Halftone type 3 is general, so every mode without its own has it.
constexpr const char* kResource = R"({"pid": {"version": 1,
  "elements": {"QXIDS32_H_HALFTONE_TYPE": 3},
  "perpmi": {
    "0": {"QXIDS32_PRT_RES_X": 1440, "QXIDS32_PRT_RES_Y": 720, "QXIDS32_PRT_MEDIA_TYPE": 5},
    "1": {"QXIDS32_PRT_RES_X": 1440, "QXIDS32_PRT_RES_Y": 720, "QXIDS32_PRT_MEDIA_TYPE": 7},
    "2": {"QXIDS32_PRT_RES_X": 1440, "QXIDS32_PRT_RES_Y": 720, "QXIDS32_PRT_MEDIA_TYPE": 7},
    "3": {"QXIDS32_PRT_RES_X": 1440, "QXIDS32_PRT_RES_Y": 1440, "QXIDS32_H_SUPPORT_INTENT": 2,
          "QXIDS32_H_HALFTONE_TYPE": 5, "QXIDS32_TV_H_DRV_MWSP": 9, "QXIDS32_TV_H_DRV_MWSP2": 1},
    "4": {"QXIDS32_PRT_RES_Y": 2880},
    "5": {"QXIDS32_PRT_RES_X": 360, "QXIDS32_PRT_RES_Y": 360, "QXIDS32_H_SUPPORT_INTENT": 90},
    "6": {"QXIDS32_PRT_RES_X": [600, 1200], "QXIDS32_PRT_RES_Y": 600},
    "7": {"QXIDS32_PRT_RES_X": 360, "QXIDS32_PRT_RES_Y": 360, "QXIDS32_H_SUPPORT_INTENT": 4},
    "8": {"QXIDS32_PRT_RES_X": 360, "QXIDS32_PRT_RES_Y": 360, "QXIDS32_H_SUPPORT_INTENT": 3}
  }}})";

const std::string kPrinterId = "<PrinterMediaID>12</PrinterMediaID>";

std::string Doc(const std::string& media_info) {
  return "<?xml version=\"1.0\"?><Model><MediaInfo>" + media_info + "</MediaInfo></Model>";
}

std::string Win(const char* region, const char* value) {
  return std::string("<WinDrvMediaID region=\"") + region + "\">" + value + "</WinDrvMediaID>";
}

std::string Mode(const char* pmi, const char* h, const char* v, const std::string& more = "") {
  return std::string("<ModeInfo><Resolution><H>") + h + "</H><V>" + v + "</V></Resolution><PMI>" +
         pmi + "</PMI>" + more + "</ModeInfo>";
}

// A mode entry that PMI 3 matches in everything but what `more` adds or leaves out.
std::string Mode3(const std::string& more) {
  return Mode("10", "1440", "1440", more);
}

struct Case {
  const char* name;
  std::string document;
  std::int32_t pmi_on_mpk;
  std::int32_t expected;
};

std::vector<Case> Cases() {
  const std::string mode10 = Mode("10", "1440", "720");
  return {
      // Without a printer media ID the index is taken as it is, unchecked.
      {"no printer media id", Doc(Win("WW", "5") + Mode("1", "1", "1")), 42, 42},
      {"no printer media id, no mode", Doc(""), -7, -7},

      // Region precedence for the driver media ID.
      {"WW before JP in the file", Doc(kPrinterId + Win("WW", "7") + Win("JP", "5") + mode10), 10,
       1},
      {"WW after JP in the file", Doc(kPrinterId + Win("JP", "5") + Win("WW", "7") + mode10), 10,
       1},
      {"JP outranks US", Doc(kPrinterId + Win("US", "7") + Win("JP", "5") + mode10), 10, 0},
      {"DE is the last region", Doc(kPrinterId + Win("DE", "7") + Win("XX", "5") + mode10), 10, 1},
      {"empty WW element is passed over",
       Doc(kPrinterId + "<WinDrvMediaID region=\"WW\"/>" + Win("JP", "5") + mode10), 10, 0},
      {"no known region: first element in the file",
       Doc(kPrinterId + Win("XX", "5") + Win("YY", "7") + mode10), 10, 0},
      {"no known region: element without attribute",
       Doc(kPrinterId + "<WinDrvMediaID>7</WinDrvMediaID>" + Win("XX", "5") + mode10), 10, 1},
      {"later regions are not read", Doc(kPrinterId + Win("WW", "7") + Win("JP", "x") + mode10), 10,
       1},
      {"no driver media id: media not compared", Doc(kPrinterId + mode10), 10, 0},

      // Numbers are read as the C conversion reads them.
      {"digits then letters", Doc(kPrinterId + Win("WW", "7mm") + mode10), 10, 1},
      {"leading blanks and sign", Doc(kPrinterId + Mode(" -3", "1440", "720")), -3, 0},
      {"non-numeric driver id", Doc(kPrinterId + Win("WW", "seven") + mode10), 10, -1},
      {"driver id beyond 32 bits", Doc(kPrinterId + Win("WW", "4294967303") + mode10), 10, -1},
      {"non-numeric Mac driver id",
       Doc(kPrinterId + "<MacDrvMediaID region=\"JP\">x</MacDrvMediaID>" + mode10), 10, -1},
      {"non-numeric ignored field",
       Doc(kPrinterId + Mode("10", "1440", "720", "<DrvLevel>hi</DrvLevel>")), 10, -1},
      {"non-numeric field spoils even an unchecked file",
       Doc(Mode("10", "1440", "720", "<DrvOutputType>-</DrvOutputType>")), 10, -1},
      {"non-numeric field of another mode", Doc(kPrinterId + mode10 + Mode("11", "a", "1")), 10,
       -1},

      // Mode entry lookup.
      {"no entry for the index", Doc(kPrinterId + mode10), 11, -1},
      {"first entry with the index counts", Doc(kPrinterId + Mode("10", "360", "360") + mode10), 10,
       7},

      // Intent lists.
      {"intent 1,4 contains 4", Doc(kPrinterId + Mode("10", "360", "360", "<Intent>1,4</Intent>")),
       10, 7},
      {"intent 3 4 contains 4", Doc(kPrinterId + Mode("10", "360", "360", "<Intent>3 4</Intent>")),
       10, 7},
      {"intent 3, 2 gives its first",
       Doc(kPrinterId + Mode("10", "360", "360", "<Intent>3, 2</Intent>")), 10, 8},
      {"intent list ends at a non-number",
       Doc(kPrinterId + Mode("10", "360", "360", "<Intent>3,x,4</Intent>")), 10, 8},
      {"intent 11 is 90", Doc(kPrinterId + Mode("10", "360", "360", "<Intent>11</Intent>")), 10, 5},
      {"intent without a number is 4",
       Doc(kPrinterId + Mode("10", "360", "360", "<Intent>none</Intent>")), 10, 7},
      {"no intent is 4", Doc(kPrinterId + Mode("10", "360", "360")), 10, 7},
      {"intent 2 matches a per-mode intent",
       Doc(kPrinterId + Mode3("<Intent>2</Intent><DrvHTType>5</DrvHTType><DrvMWSP>9</DrvMWSP>"
                              "<DrvProofingMode>1</DrvProofingMode>")),
       10, 3},

      // The optional comparisons.
      {"no DrvMWSP: not compared",
       Doc(kPrinterId + Mode3("<Intent>2</Intent><DrvHTType>5</DrvHTType>"
                              "<DrvProofingMode>1</DrvProofingMode>")),
       10, 3},
      {"other DrvMWSP",
       Doc(kPrinterId + Mode3("<Intent>2</Intent><DrvHTType>5</DrvHTType><DrvMWSP>8</DrvMWSP>"
                              "<DrvProofingMode>1</DrvProofingMode>")),
       10, -1},
      {"no DrvProofingMode compares as 0",
       Doc(kPrinterId + Mode3("<Intent>2</Intent><DrvHTType>5</DrvHTType>")), 10, -1},
      {"no DrvHTType compares as 3",
       Doc(kPrinterId + Mode3("<Intent>2</Intent><DrvProofingMode>1</DrvProofingMode>")), 10, -1},
      {"resolution stored nowhere passes", Doc(kPrinterId + Mode("10", "999", "2880")), 10, 4},
      {"missing resolution is 0", Doc(kPrinterId + "<ModeInfo><PMI>10</PMI></ModeInfo>"), 10, -1},
      {"multi-value parameter: first element", Doc(kPrinterId + Mode("10", "600", "600")), 10, 6},
      {"multi-value parameter: only the first", Doc(kPrinterId + Mode("10", "1200", "600")), 10,
       -1},

      // Documents that cannot be read.
      {"not well-formed", "<Model><MediaInfo></Model>", 10, -1},
      {"empty text", "", 10, -1},
  };
}

class CalcPrivatePmi : public ::testing::Test {
 protected:
  void Create(std::optional<std::string> resource) {
    IniSpec spec;
    spec.resource_json = std::move(resource);
    instance_ = std::make_unique<Instance>(WriteIni(dir_, spec));
    ASSERT_TRUE(instance_->ok()) << instance_->result();
  }
  std::int32_t Calc(std::int32_t pmi_on_mpk, const char* text) const {
    return QXTV_CalcPrivatePMI(instance_->handle(), pmi_on_mpk, text);
  }

  TempDir dir_;
  std::unique_ptr<Instance> instance_;
};

TEST_F(CalcPrivatePmi, ControlFileTable) {
  Create(kResource);
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    LogCapture log;
    EXPECT_EQ(Calc(c.pmi_on_mpk, c.document.c_str()), c.expected) << c.document;
    EXPECT_TRUE(log.Has(4, "pmi_on_mpk: " + std::to_string(c.pmi_on_mpk)));
  }
}

TEST_F(CalcPrivatePmi, FailureRecords) {
  Create(kResource);
  const std::string broken = "<Model><MediaInfo><PrinterMediaID>1</Printer";
  const std::string bad_value = Doc(kPrinterId + Mode("10", "1440", "x"));
  const struct {
    const char* name;
    std::optional<std::string> text;
    int level;
    std::string record;
  } kCases[] = {
      {"null text", std::nullopt, 5, "fail at load resource: null"},
      {"not well-formed", broken, 5,
       "fail at load resource: (" + std::to_string(broken.size()) + "), " + broken},
      {"value not numeric", bad_value, 5,
       "fail at load resource: (" + std::to_string(bad_value.size()) + "), " + bad_value},
      {"no mode entry", Doc(kPrinterId + Mode("10", "1", "1")), 4, "not exists pmi_on_mpk."},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    LogCapture log;
    EXPECT_EQ(Calc(11, c.text ? c.text->c_str() : nullptr), -1);
    EXPECT_TRUE(log.Has(c.level, c.record));
  }
}

TEST_F(CalcPrivatePmi, MultiValueParameterIsReported) {
  Create(kResource);
  LogCapture log;
  EXPECT_EQ(Calc(10, Doc(kPrinterId + Mode("10", "600", "600")).c_str()), 6);
  EXPECT_TRUE(log.Has(2, "param is multi value, size: 2"));
}

// Finding no print mode is an ordinary answer: nothing beyond the entry record.
TEST_F(CalcPrivatePmi, NoPrintModeFoundIsNotReported) {
  const struct {
    const char* name;
    std::optional<std::string> resource;
  } kCases[] = {{"store without print modes", std::nullopt}, {"no mode matches", kResource}};
  const std::string document = Doc(kPrinterId + Mode("10", "1", "1"));
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Create(c.resource);
    LogCapture log(3);
    EXPECT_EQ(Calc(10, document.c_str()), -1);
    ASSERT_EQ(log.records().size(), 1u);
    EXPECT_EQ(log.records()[0].text, "pmi_on_mpk: 10");
  }
}

}  // namespace
}  // namespace tavik
