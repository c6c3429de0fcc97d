// The wrapper family: zero-filled records, owned storage, linking and moves.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "legacy/aux_records.h"
#include "legacy/calib_records.h"
#include "legacy/ht_struct3.h"
#include "legacy/job_data.h"
#include "legacy/media_option.h"
#include "legacy/prt_struct3.h"
#include "unit/legacy/legacy_fixture.h"

namespace tavik::test {
namespace {

using dorva::BRSData;
using dorva::JobData;
using dorva::PrtStruct3;

// Each wrapper with the record size of both builds.
template <typename TWrapper, std::size_t kSize64, std::size_t kSize32>
struct WrapperCase {
  using Wrapper = TWrapper;
  static constexpr std::size_t size = k64 ? kSize64 : kSize32;
};

template <typename TCase>
class FreshWrapperTest : public ::testing::Test {};

using AllWrappers =
    ::testing::Types<WrapperCase<PrtStruct3, 232, 164>, WrapperCase<dorva::HtStruct3, 104, 80>,
                     WrapperCase<JobData, 144, 80>, WrapperCase<dorva::MediaOption, 120, 120>,
                     WrapperCase<dorva::CutCommand, 12, 12>,
                     WrapperCase<dorva::RemoteCommand, 16, 8>, WrapperCase<dorva::TrimInfo, 28, 28>,
                     WrapperCase<dorva::HeadInfo, 24, 12>, WrapperCase<dorva::DorvaOpt, 48, 24>,
                     WrapperCase<dorva::OSDep, 28, 28>, WrapperCase<dorva::TpInfoStruct, 8, 8>,
                     WrapperCase<dorva::GRTNParams, 36, 36>, WrapperCase<BRSData, 104, 52>,
                     WrapperCase<dorva::CalibDataReq, 40, 20>>;
TYPED_TEST_SUITE(FreshWrapperTest, AllWrappers);

// With every owned member absent, linking leaves every byte (pointers and
// padding included) zero, and Get hands over the held record itself.
TYPED_TEST(FreshWrapperTest, RecordIsAllZeroAfterLinking) {
  typename TypeParam::Wrapper wrapper;
  wrapper.UpdatePointers();
  const auto bytes = BytesOf(wrapper.record());
  ASSERT_EQ(bytes.size(), TypeParam::size);
  EXPECT_EQ(bytes, std::vector<unsigned char>(TypeParam::size, 0));
  EXPECT_EQ(static_cast<const void*>(wrapper.Get()), static_cast<const void*>(&wrapper.record()));
}

TEST(StructWrapperTest, EmptyTextMakesTheTextAbsentAndLeavesThePointer) {
  BRSData brs;
  brs.SetBRSFilePath("/opt/brs.bin");
  brs.UpdatePointers();
  char* const linked = brs.record().lpBRSFilePath;
  ASSERT_NE(linked, nullptr);
  EXPECT_STREQ(linked, "/opt/brs.bin");

  brs.SetBRSFilePath("");
  brs.UpdatePointers();
  // Builders only set texts on fresh wrappers because of this.
  EXPECT_EQ(brs.record().lpBRSFilePath, linked);

  BRSData fresh;
  fresh.SetBRSFilePath("/opt/brs.bin");
  fresh.SetBRSFilePath("");
  fresh.UpdatePointers();
  EXPECT_EQ(fresh.record().lpBRSFilePath, nullptr);
}

TEST(StructWrapperTest, SettersWithLengthWriteTheLengthAndOwnOnlyNonEmptyData) {
  struct Case {
    std::string owner;
    std::vector<unsigned char> ca1;
  };
  const Case cases[] = {{"abc", {1, 2, 3, 4}}, {"", {}}, {std::string("a\0b", 3), {0}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.owner.size());
    JobData job;
    job.SetOwnerName(c.owner);
    job.UpdatePointers();
    EXPECT_EQ(job.record().OwnerNameSize, static_cast<std::int32_t>(c.owner.size()));
    if (c.owner.empty()) {
      EXPECT_EQ(job.record().lpOwnerName, nullptr);
    } else {
      ASSERT_NE(job.record().lpOwnerName, nullptr);
      EXPECT_EQ(std::string(job.record().lpOwnerName, c.owner.size()), c.owner);
      EXPECT_EQ(job.record().lpOwnerName[c.owner.size()], '\0');
    }

    BRSData brs;
    brs.SetCA1Data(c.ca1);
    brs.UpdatePointers();
    EXPECT_EQ(brs.record().CA1DataSize, static_cast<std::int32_t>(c.ca1.size()));
    if (c.ca1.empty()) {
      EXPECT_EQ(brs.record().lpCA1Data, nullptr);
    } else {
      ASSERT_NE(brs.record().lpCA1Data, nullptr);
      EXPECT_EQ(
          std::vector<unsigned char>(brs.record().lpCA1Data, brs.record().lpCA1Data + c.ca1.size()),
          c.ca1);
    }
  }
}

TEST(StructWrapperTest, BrsVersionNeverExceedsFour) {
  const struct {
    std::int32_t given, stored;
  } cases[] = {{2, 2}, {4, 4}, {5, 4}, {0x7FFFFFFF, 4}, {-1, -1}};
  for (const auto& c : cases) {
    BRSData brs;
    brs.SetVersion(c.given);
    EXPECT_EQ(brs.record().Version, c.stored) << c.given;
  }
}

TEST(StructWrapperTest, FlagWordsSetOrAndClear) {
  PrtStruct3 prt;
  prt.SetJobOption(0x11);
  prt.AddJobOption(0x100);
  prt.RemoveJobOption(0x10);
  EXPECT_EQ(prt.record().JobOption, 0x101u);
  prt.SetOptionEx2(0x20);
  prt.AddOptionEx2(0x50);
  prt.RemoveOptionEx2(0x10);
  EXPECT_EQ(prt.record().OptionEx2, 0x60u);
  prt.AddPrintOption(0x4);
  prt.RemovePrintOption(0x1);
  EXPECT_EQ(prt.record().PrintOption, 0x4u);
}

// A printer structure with a text, nested records and nested texts and arrays.
PrtStruct3 FilledPrinterStructure() {
  PrtStruct3 prt;
  prt.SetVersion(12);
  prt.SetModulePath("/opt/dorva/module.so");
  dorva::CutCommand cut;
  cut.SetVersion(1);
  cut.SetCutMode(2);
  prt.SetCutCommand(std::move(cut));
  JobData job;
  job.SetOwnerName("owner");
  job.SetHDDOption_XX(2, 7);
  prt.SetJobData(std::move(job));
  BRSData brs;
  brs.SetCDGFilePath("/opt/cdg.bin");
  const unsigned char ca1[] = {9, 8, 7};
  brs.SetCA1Data(ca1);
  prt.SetBRSData(std::move(brs));
  return prt;
}

// Everything one UpdatePointers on the outer record must have linked.
void ExpectLinkedInto(const PrtStruct3& prt) {
  const tagPRTSTRUCT3_12& record = prt.record();
  ASSERT_TRUE(prt.job_data() && prt.brs_data() && prt.cut_command());
  EXPECT_EQ(reinterpret_cast<const void*>(record.lpJobData), &prt.job_data()->record());
  EXPECT_EQ(reinterpret_cast<const void*>(record.lpBRSData), &prt.brs_data()->record());
  EXPECT_EQ(reinterpret_cast<const void*>(record.lpCutCommand), &prt.cut_command()->record());
  ASSERT_NE(record.lpModulePath, nullptr);
  EXPECT_STREQ(record.lpModulePath, "/opt/dorva/module.so");

  const tagJOBDATA_6& job = prt.job_data()->record();
  ASSERT_NE(job.lpOwnerName, nullptr);
  EXPECT_STREQ(job.lpOwnerName, "owner");
  ASSERT_NE(job.lpHDDOption, nullptr);
  EXPECT_EQ(job.HDDOptionSize, 3);
  EXPECT_EQ(job.lpHDDOption[2], 7);
  const tagBRSData_4& brs = prt.brs_data()->record();
  ASSERT_NE(brs.lpCDGFilePath, nullptr);
  EXPECT_STREQ(brs.lpCDGFilePath, "/opt/cdg.bin");
  ASSERT_NE(brs.lpCA1Data, nullptr);
  EXPECT_EQ(brs.lpCA1Data[2], 7);
  EXPECT_EQ(reinterpret_cast<const tagCUTCMD*>(record.lpCutCommand)->CutMode, 2);
}

TEST(StructWrapperTest, OneCallOnThePrinterStructureLinksNestedRecords) {
  PrtStruct3 prt = FilledPrinterStructure();
  prt.UpdatePointers();
  ExpectLinkedInto(prt);
}

// Built and linked in a local, moved into its final place and the local
// destroyed: after linking there, nothing may lead back into the local (the
// sanitizer build reports any read of the freed storage).
TEST(StructWrapperTest, LinkingAfterAMovePointsIntoTheMovedToWrapper) {
  auto local = std::make_unique<PrtStruct3>(FilledPrinterStructure());
  local->UpdatePointers();
  std::optional<PrtStruct3> kept;
  kept.emplace(std::move(*local));
  local.reset();
  kept->UpdatePointers();
  ExpectLinkedInto(*kept);
}

TEST(StructWrapperTest, AssignmentCopiesMemberByMember) {
  PrtStruct3 target;
  target.SetReservedText("only in the target");
  dorva::MediaOption media;
  media.SetPlatenGap(1);
  target.SetMediaOption(media);
  {
    const PrtStruct3 source = FilledPrinterStructure();
    target = source;
  }
  target.UpdatePointers();
  ExpectLinkedInto(target);
  EXPECT_FALSE(target.media_option().has_value());
  EXPECT_EQ(target.record().lpReservedText, nullptr);
  EXPECT_EQ(target.record().lpMediaOption, nullptr);
}

TEST(StructWrapperTest, OptionRebuildsItsPathTableAtItsOwnPlace) {
  std::optional<dorva::DorvaOpt> copy;
  {
    dorva::DorvaOpt option;
    option.SetResourcePaths({"/opt/a.rsc", "/opt/b.rsc"});
    option.UpdatePointers();
    copy = option;
  }
  copy->UpdatePointers();
  const tagOPTION& record = copy->record();
  EXPECT_EQ(record.ResourcePathCount, 2);
  ASSERT_NE(record.lpResourcePaths, nullptr);
  EXPECT_STREQ(record.lpResourcePaths[0], "/opt/a.rsc");
  EXPECT_STREQ(record.lpResourcePaths[1], "/opt/b.rsc");

  dorva::DorvaOpt none;
  none.SetResourcePaths({});
  none.UpdatePointers();
  EXPECT_EQ(none.record().ResourcePathCount, 0);
  EXPECT_EQ(none.record().lpResourcePaths, nullptr);
}

TEST(StructWrapperTest, NestedRecordsOfTheHalftoneStructureAreLinked) {
  dorva::HtStruct3 ht;
  const unsigned char calib[] = {1, 2, 3};
  ht.SetCalibData(calib);
  ht.SetGRTNParams(dorva::GRTNParams());
  ht.SetReservedTextB("b");
  std::optional<dorva::HtStruct3> moved(std::move(ht));
  moved->UpdatePointers();
  const tagHTSTRUCT3_5& record = moved->record();
  ASSERT_NE(record.lpCalibData, nullptr);
  EXPECT_EQ(std::memcmp(record.lpCalibData, calib, sizeof calib), 0);
  EXPECT_NE(record.lpGRTNParams, nullptr);
  ASSERT_NE(record.lpReservedTextB, nullptr);
  EXPECT_STREQ(record.lpReservedTextB, "b");
  EXPECT_EQ(record.lpReservedTextA, nullptr);
  EXPECT_EQ(record.lpReservedArrayA, nullptr);
}

}  // namespace
}  // namespace tavik::test
