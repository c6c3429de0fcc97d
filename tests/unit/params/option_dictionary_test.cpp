#include "params/option_dictionary.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "config/log.h"
#include "support/log_capture.h"

namespace tavik {
namespace {

using test::LogCapture;
using Ints = std::vector<std::int32_t>;

constexpr QXOL_PARAM_ID kPmiId = QXIDS32_HTM_PRINTMODE_INDEX;
constexpr QXOL_PARAM_ID kResX = QXIDS32_PRT_RES_X;             // S32, 302
constexpr QXOL_PARAM_ID kMediaType = QXIDS32_PRT_MEDIA_TYPE;   // S32, 301
constexpr QXOL_PARAM_ID kDocName = QXIDSTR_J_DOC_NAME;         // STR
constexpr QXOL_PARAM_ID kSpotTable = QXIDU08_H_SPOTCOLOR_TBL;  // U08

class Dictionary : public ::testing::Test {
 protected:
  void Set(QXOL_PARAM_ID id, const Ints& values) {
    options_.SetParams<std::int32_t>(id, values.data(), values.size());
  }
  void SetPerPmi(std::int32_t pmi, QXOL_PARAM_ID id, const Ints& values) {
    options_.SetParamsPerPmi<std::int32_t>(pmi, id, values.data(), values.size());
  }
  std::optional<Ints> General(QXOL_PARAM_ID id) const {
    const auto it = options_.general_params().find(id);
    if (it == options_.general_params().end()) return std::nullopt;
    return std::get<Ints>(it->second);
  }
  std::optional<Ints> PerPmi(std::int32_t pmi, QXOL_PARAM_ID id) const {
    const auto& tables = options_.pmi_params();
    const auto table = tables.find(pmi);
    if (table == tables.end()) return std::nullopt;
    const auto it = table->second.find(id);
    if (it == table->second.end()) return std::nullopt;
    return std::get<Ints>(it->second);
  }

  OptionDictionary options_;
};

TEST_F(Dictionary, EmptyValueRemovesTheGeneralEntryOnly) {
  const struct {
    const char* name;
    bool null_pointer;
    std::size_t num;
  } kRemovals[] = {{"count 0", false, 0}, {"null pointer", true, 3}, {"both", true, 0}};
  for (const auto& c : kRemovals) {
    SCOPED_TRACE(c.name);
    options_.Clear();
    Set(kResX, {720});
    SetPerPmi(1, kResX, {1440});
    const std::int32_t value = 5;
    options_.SetParams<std::int32_t>(kResX, c.null_pointer ? nullptr : &value, c.num);
    EXPECT_EQ(General(kResX), std::nullopt);
    EXPECT_EQ(PerPmi(1, kResX), Ints{1440});

    LogCapture log;
    EXPECT_EQ(options_.GetParams<std::int32_t>(kResX), std::nullopt);
    EXPECT_TRUE(log.Has(kInfo, "Not registrated QXOL_PARAM_ID: QXIDS32_PRT_RES_X(302)"));
  }
}

TEST_F(Dictionary, WithoutPrintModeIndexPerPmiTablesAreIgnored) {
  Set(kResX, {720});
  SetPerPmi(1, kResX, {1440});
  SetPerPmi(1, kMediaType, {3});
  EXPECT_EQ(options_.GetParams<std::int32_t>(kResX), Ints{720});
  EXPECT_EQ(options_.GetParams<std::int32_t>(kMediaType), std::nullopt);
}

TEST_F(Dictionary, CurrentPmiTableWinsAndGeneralWritesAreMirrored) {
  Set(kMediaType, {5});
  SetPerPmi(3, kMediaType, {7});
  SetPerPmi(4, kMediaType, {1});
  Set(kPmiId, {3});
  EXPECT_EQ(options_.GetParams<std::int32_t>(kMediaType), Ints{7});

  const std::int32_t nine = 9;
  options_.SetParams<std::int32_t>(kMediaType, &nine, 1);
  EXPECT_EQ(General(kMediaType), Ints{9});
  EXPECT_EQ(PerPmi(3, kMediaType), Ints{9});
  EXPECT_EQ(options_.GetParams<std::int32_t>(kMediaType), Ints{9});
  EXPECT_EQ(PerPmi(4, kMediaType), Ints{1});

  // The single-value form goes the same way.
  options_.SetParams<std::int32_t>(kResX, 600);
  EXPECT_EQ(PerPmi(3, kResX), Ints{600});
}

TEST_F(Dictionary, PerPmiValueFallsBackToGeneral) {
  Set(kPmiId, {3});
  SetPerPmi(3, kMediaType, {7});
  Set(kResX, {720});
  EXPECT_EQ(options_.GetParams<std::int32_t>(kResX), Ints{720});
}

TEST_F(Dictionary, CurrentPmiWithoutTableFailsReadsButNotWrites) {
  SetPerPmi(3, kResX, {1});
  Set(kResX, {720});
  Set(kPmiId, {4});
  EXPECT_THROW(options_.GetParams<std::int32_t>(kResX), std::out_of_range);
  EXPECT_THROW(options_.GetParams<unsigned char>(kSpotTable), std::out_of_range);
  EXPECT_THROW(options_.GetParams<char>(kDocName), std::out_of_range);
  EXPECT_THROW(options_.GetParam(kResX), std::out_of_range);

  Set(kResX, {800});
  EXPECT_EQ(General(kResX), Ints{800});
  EXPECT_EQ(PerPmi(3, kResX), Ints{1});
  EXPECT_EQ(options_.GetPmIndexes(), Ints{3});
}

TEST_F(Dictionary, ChangingThePrintModeIsRecordedInTheTableBeingLeft) {
  SetPerPmi(3, kResX, {1});
  Set(kPmiId, {3});
  Set(kPmiId, {5});
  EXPECT_EQ(General(kPmiId), Ints{5});
  EXPECT_EQ(PerPmi(3, kPmiId), Ints{5});
}

TEST_F(Dictionary, OnlyTheFirstGeneralElementSelectsThePmi) {
  SetPerPmi(3, kResX, {33});
  SetPerPmi(4, kResX, {44});
  Set(kPmiId, {4, 3});
  EXPECT_EQ(options_.GetParams<std::int32_t>(kResX), Ints{44});

  // A per-PMI entry for the print mode index does not select anything.
  options_.Clear();
  SetPerPmi(3, kResX, {33});
  SetPerPmi(3, kPmiId, {3});
  Set(kResX, {1});
  EXPECT_EQ(options_.GetParams<std::int32_t>(kResX), Ints{1});
}

TEST_F(Dictionary, GeneralTypeMismatchIsLoggedAndEmpty) {
  options_.SetParams<char>(kDocName, "hello", 5);
  LogCapture log;
  EXPECT_EQ(options_.GetParams<std::int32_t>(kDocName), std::nullopt);
  EXPECT_TRUE(log.Has(kCritical, "type mismatch"));
  EXPECT_EQ(options_.GetParams<char>(kDocName), (std::vector<char>{'h', 'e', 'l', 'l', 'o'}));
}

TEST_F(Dictionary, PerPmiTypeMismatchPropagatesFromGetParamsOnly) {
  options_.SetParamsPerPmi<char>(2, kDocName, "ab", 2);
  Set(kPmiId, {2});
  EXPECT_THROW(options_.GetParams<std::int32_t>(kDocName), std::bad_variant_access);

  LogCapture log;
  EXPECT_EQ(options_.GetParamsPerPmi<std::int32_t>(2, kDocName), std::nullopt);
  EXPECT_TRUE(log.Has(kCritical, "type mismatch"));
}

TEST_F(Dictionary, GetParamsPerPmi) {
  Set(kResX, {720});
  SetPerPmi(2, kMediaType, {4});
  SetPerPmi(5, kResX, {1440});
  EXPECT_EQ(options_.GetParamsPerPmi<std::int32_t>(5, kResX), Ints{1440});
  EXPECT_EQ(options_.GetParamsPerPmi<std::int32_t>(2, kResX), Ints{720});
  EXPECT_EQ(options_.GetParamsPerPmi<std::int32_t>(5, kMediaType), std::nullopt);
  EXPECT_THROW(options_.GetParamsPerPmi<std::int32_t>(3, kResX), std::out_of_range);
  // The current print mode plays no part.
  Set(kPmiId, {2});
  EXPECT_EQ(options_.GetParamsPerPmi<std::int32_t>(5, kResX), Ints{1440});
}

TEST_F(Dictionary, GetParamGivesTheFirstOfSeveral) {
  Set(kResX, {1, 2});
  LogCapture log;
  EXPECT_EQ(options_.GetParam(kResX), 1);
  EXPECT_TRUE(log.Has(kInfo, "param is multi value, size: 2"));

  log.Clear();
  Set(kResX, {3});
  EXPECT_EQ(options_.GetParam(kResX), 3);
  EXPECT_EQ(log.Count("param is multi value, size: 1"), 0);
  EXPECT_EQ(options_.GetParam(kMediaType), std::nullopt);
}

TEST_F(Dictionary, RemovingAPerPmiEntryKeepsThePmiListed) {
  SetPerPmi(5, kResX, {1});
  SetPerPmi(0, kResX, {1});
  SetPerPmi(2, kResX, {1});
  SetPerPmi(2, kResX, {});
  options_.SetParamsPerPmi<std::int32_t>(7, kResX, nullptr, 0);  // no table made for a removal
  EXPECT_EQ(options_.GetPmIndexes(), (Ints{0, 2, 5}));
  EXPECT_EQ(PerPmi(2, kResX), std::nullopt);
  EXPECT_TRUE(options_.pmi_params().at(2).empty());
}

TEST_F(Dictionary, UntypedDispatchFollowsTheParameterType) {
  const std::int32_t ints[] = {720, 360};
  const unsigned char bytes[] = {1, 2, 3};
  const char text[] = {'a', 'b'};
  options_.SetParams(kResX, ints, 2);
  options_.SetParams(kSpotTable, bytes, 3);
  options_.SetParams(kDocName, text, 2);
  options_.SetParams(QXIDBOL_H_SAVE_BKINK, ints, 1);
  options_.SetParams(QXIDBOL_TV_M_EX07M2_DONT_SEND, ints + 1, 1);
  EXPECT_EQ(options_.GetParams<std::int32_t>(kResX), (Ints{720, 360}));
  EXPECT_EQ(options_.GetParams<unsigned char>(kSpotTable), (std::vector<unsigned char>{1, 2, 3}));
  EXPECT_EQ(options_.GetParams<char>(kDocName), (std::vector<char>{'a', 'b'}));
  EXPECT_EQ(options_.GetParams<std::int32_t>(QXIDBOL_H_SAVE_BKINK), Ints{720});
  EXPECT_EQ(options_.GetParams<std::int32_t>(QXIDBOL_TV_M_EX07M2_DONT_SEND), Ints{360});

  options_.SetParamsPerPmi(4, kSpotTable, bytes, 2);
  EXPECT_EQ(options_.GetParams<unsigned char>(kSpotTable), (std::vector<unsigned char>{1, 2, 3}));
  Set(kPmiId, {4});
  EXPECT_EQ(options_.GetParams<unsigned char>(kSpotTable), (std::vector<unsigned char>{1, 2}));
}

TEST_F(Dictionary, UntypedSetOfAnUnknownIdStoresNothing) {
  const struct {
    QXOL_PARAM_ID id;
    int records;
  } kCases[] = {{350, 2}, {0x40000000, 1}, {0x40000042, 1}};
  const std::int32_t value = 1;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.id);
    LogCapture log;
    options_.SetParams(c.id, &value, 1);
    options_.SetParamsPerPmi(1, c.id, &value, 1);
    EXPECT_EQ(log.Count("Unknown QXOL_PARAM_ID: " + std::to_string(c.id)), 2 * c.records);
    EXPECT_TRUE(options_.general_params().empty());
    EXPECT_TRUE(options_.pmi_params().empty());
  }
}

// The single-value forms store what the parameter's type says, whatever form
// the caller used, so a form narrower than the type never leaves the store
// reading bytes that were not given.
TEST_F(Dictionary, SingleValueFormsConvertToTheParameterType) {
  options_.SetParams<unsigned char>(kResX, 200);
  options_.SetParams<char>(kMediaType, 'A');
  options_.SetParams<std::int32_t>(kSpotTable, 300);
  options_.SetParams<std::int32_t>(kDocName, 66);
  options_.SetParams<std::int32_t>(QXIDBOL_H_SAVE_BKINK, 1);
  EXPECT_EQ(General(kResX), Ints{200});
  EXPECT_EQ(General(kMediaType), Ints{'A'});
  EXPECT_EQ(options_.GetParams<unsigned char>(kSpotTable), std::vector<unsigned char>{44});
  EXPECT_EQ(options_.GetParams<char>(kDocName), std::vector<char>{'B'});
  EXPECT_EQ(General(QXIDBOL_H_SAVE_BKINK), Ints{1});

  options_.SetParamsPerPmi<unsigned char>(2, kResX, 17);
  options_.SetParamsPerPmi<std::int32_t>(2, kDocName, 67);
  EXPECT_EQ(PerPmi(2, kResX), Ints{17});
  Set(kPmiId, {2});
  EXPECT_EQ(options_.GetParams<char>(kDocName), std::vector<char>{'C'});

  options_.SetParams<std::int32_t>(kResX);
  EXPECT_EQ(General(kResX), std::nullopt);
  EXPECT_EQ(PerPmi(2, kResX), Ints{17});
}

TEST_F(Dictionary, StoresCopiesAndReplacesAnyElementType) {
  std::int32_t values[] = {1, 2};
  options_.SetParams<std::int32_t>(kResX, values, 2);
  values[0] = 99;
  EXPECT_EQ(General(kResX), (Ints{1, 2}));

  options_.SetParams<char>(kResX, "xy", 2);  // typed form: the element type is the caller's
  EXPECT_EQ(options_.GetParams<char>(kResX), (std::vector<char>{'x', 'y'}));
  Set(kResX, {3});
  EXPECT_EQ(General(kResX), Ints{3});
}

// A negative host count widened to a size must fail before the copy reads
// past the caller's buffer.
TEST_F(Dictionary, HugeCountIsRefusedWithALengthError) {
  const std::int32_t value = 1;
  const char text = 'a';
  const auto huge = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(-1));
  EXPECT_THROW(options_.SetParams(kResX, &value, huge), std::length_error);
  EXPECT_THROW(options_.SetParams(kDocName, &text, huge), std::length_error);
  EXPECT_THROW(options_.SetParamsPerPmi(1, kResX, &value, huge), std::length_error);
  EXPECT_TRUE(options_.general_params().empty());
  EXPECT_TRUE(options_.pmi_params().empty());
}

TEST_F(Dictionary, TraceRecordsNameTheElementTypeAndShowTheArrayAsAPointer) {
  LogCapture log;
  const char text[] = {'a', 'b', 'c'};  // no terminator
  options_.SetParams<char>(kDocName, text, 3);
  const auto records = log.records();
  ASSERT_GE(records.size(), 2u);
  EXPECT_EQ(records[0].level, kTrace);
  EXPECT_NE(records[0].text.find("SetParams"), std::string::npos);
  EXPECT_NE(records[0].text.find("char"), std::string::npos);
  const std::string expected =
      fmt::format("id: {}, value: {}, num: 3", kDocName, static_cast<const void*>(text));
  EXPECT_EQ(records[1].text, expected);
  EXPECT_EQ(expected.find("abc"), std::string::npos);
}

TEST_F(Dictionary, ClearEmptiesBothTables) {
  Set(kResX, {1});
  SetPerPmi(1, kResX, {2});
  options_.Clear();
  EXPECT_TRUE(options_.general_params().empty());
  EXPECT_TRUE(options_.GetPmIndexes().empty());
}

TEST_F(Dictionary, RestoreEntriesPutsBackExactlyWhatWasSaved) {
  Set(kPmiId, {1});
  SetPerPmi(1, kResX, {1});
  SetPerPmi(2, kPmiId, {8});
  const ParamEntries saved = options_.SaveEntries(kPmiId);

  Set(kPmiId, {2});  // mirrored into PMI 1's table
  SetPerPmi(2, kPmiId, {9});
  options_.RestoreEntries(kPmiId, saved);
  EXPECT_EQ(General(kPmiId), Ints{1});
  EXPECT_EQ(PerPmi(1, kPmiId), std::nullopt);
  EXPECT_EQ(PerPmi(2, kPmiId), Ints{8});

  options_.Clear();
  SetPerPmi(1, kResX, {1});
  const ParamEntries absent = options_.SaveEntries(kPmiId);
  Set(kPmiId, {1});
  Set(kPmiId, {3});
  options_.RestoreEntries(kPmiId, absent);
  EXPECT_EQ(General(kPmiId), std::nullopt);
  EXPECT_EQ(PerPmi(1, kPmiId), std::nullopt);
}

}  // namespace
}  // namespace tavik
