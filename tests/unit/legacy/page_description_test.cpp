// The host's page records: copy rules, derived pixel format values and page start.
#include "pipeline/page_description.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "api/tavik_api.h"
#include "support/log_capture.h"
#include "unit/legacy/legacy_fixture.h"

namespace tavik::test {
namespace {

using orlen::BaseInfo;
using orlen::ConvertInfo;
using orlen::ImageInfo;
using orlen::OutGroupInfo;

TEST(PageRecordsTest, PixelFormatGivesChannelsBytesPerSampleAndLayout) {
  const struct Case {
    std::int32_t data_type;
    std::int32_t channel_num;
    std::int32_t bpp;
    std::int32_t channels;
    std::int32_t bytes_per_sample;
    bool planar;
  } cases[] = {
      {1, 0, 1, 3, 1, true},    {1, 0, 3, 3, 1, false},   {-1, 0, 2, 3, 2, true},
      {-1, 0, 6, 3, 2, false},  {2, 0, 4, 4, 1, false},   {-2, 0, 2, 4, 2, true},
      {3, 5, 1, 5, 1, true},    {-3, 5, 10, 5, 2, false}, {3, 0, 1, -1, 1, true},
      {-3, -2, 2, -1, 2, true}, {0, 0, 1, -1, -1, false}, {0, 0, -1, -1, -1, true},
      {4, 3, 1, -1, 1, true},   {-4, 3, 2, -1, 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "data_type " << c.data_type << " channel_num "
                                      << c.channel_num << " bpp " << c.bpp);
    std::vector<std::int32_t> channel_list(c.channel_num > 0 ? c.channel_num : 0, 7);
    QXOL_IMAGE_INFO raw{};
    raw.data_type = c.data_type;
    raw.channel_num = c.channel_num;
    raw.channels = channel_list.empty() ? nullptr : channel_list.data();
    raw.bpp = c.bpp;
    const ImageInfo image(raw);
    EXPECT_EQ(image.GetChannelNum(), c.channels);
    EXPECT_EQ(image.GetBytesPerSample(), c.bytes_per_sample);
    EXPECT_EQ(image.IsPlanar(), c.planar);
  }
}

// Counts and pointers as a host may send them; the copy is engaged (possibly
// empty) or not.
TEST(PageRecordsTest, OutGroupListsAreCopiedByTheirCounts) {
  std::int32_t host_list[] = {10, 20, 30};
  const struct Case {
    std::int32_t num;
    bool null_pointer;
    std::optional<std::vector<std::int32_t>> copy;
  } cases[] = {
      {3, false, std::vector<std::int32_t>{10, 20, 30}},
      {1, false, std::vector<std::int32_t>{10}},
      {0, false, std::vector<std::int32_t>{}},
      {0, true, std::vector<std::int32_t>{}},
      {-1, false, std::nullopt},
      {2, true, std::nullopt},  // a count with no list: nothing to read
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "num " << c.num << " null " << c.null_pointer);
    QXOL_OUT_GROUP_INFO raw{};
    raw.list_a_num = c.num;
    raw.list_a = c.null_pointer ? nullptr : host_list;
    raw.list_b_num = c.num;
    raw.list_b = c.null_pointer ? nullptr : host_list;
    OutGroupInfo group(raw);
    EXPECT_EQ(group.list_a(), c.copy);
    EXPECT_EQ(group.list_b(), c.copy);
    group.UpdatePointers();
    if (!c.copy) {
      EXPECT_EQ(group.record().list_a, raw.list_a);
    } else if (c.copy->empty()) {
      EXPECT_EQ(group.record().list_a, nullptr);
      EXPECT_EQ(group.record().list_b, nullptr);
    } else {
      EXPECT_EQ(group.record().list_a, group.list_a()->data());
      EXPECT_EQ(group.record().list_b, group.list_b()->data());
    }
  }
}

TEST(PageRecordsTest, ArraysOfRecordsAreCopiedOnlyForPositiveCounts) {
  QXOL_OUT_GROUP_INFO groups[2] = {};
  QXOL_COLOR_CONVERT_CH_INFO chs[3] = {};
  const struct {
    std::int32_t num;
    bool engaged;
  } cases[] = {{2, true}, {0, false}, {-4, false}};
  for (const auto& c : cases) {
    QXOL_BASE_INFO raw{};
    raw.out_group_num = c.num;
    raw.out_groups = groups;
    raw.color_convert_ch_num = c.num;
    raw.color_convert_chs = chs;
    const BaseInfo base(raw);
    ASSERT_EQ(base.out_groups().has_value(), c.engaged) << c.num;
    ASSERT_EQ(base.color_convert_chs().has_value(), c.engaged) << c.num;
    if (c.engaged) {
      EXPECT_EQ(base.out_groups()->size(), static_cast<std::size_t>(c.num));
      EXPECT_EQ(base.color_convert_chs()->size(), static_cast<std::size_t>(c.num));
    }
  }
}

TEST(PageRecordsTest, CustomParameterValuesFollowTheParameterType) {
  const unsigned char host_values[12] = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};
  const struct Case {
    QXOL_PARAM_ID id;
    std::int32_t num;
    std::optional<std::size_t> copied_bytes;
  } cases[] = {
      {QXIDS32_H_GAMMA, 3, 12},
      {QXIDBOL_E_SAVE_PAPER, 2, 8},
      {QXIDU08_H_EEC_CALIB_DATA, 5, 5},
      {QXIDSTR_J_DOC_NAME, 7, 7},
      {QXIDS32_TV_J_FOLDER_ID, 1, 4},  // private: the type from the ID's bits
      {QXIDS32_H_GAMMA, 0, std::nullopt},
      {350, 3, std::nullopt},  // not in the catalogue
      {QXOL_PARAM_PRIVATE_BIT, 3, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "id " << c.id << " num " << c.num);
    QXOL_CUSTOM_PARAM raw{};
    raw.param_id = c.id;
    raw.value_num = c.num;
    raw.values = const_cast<unsigned char*>(host_values);
    orlen::CustomParams param(raw);
    EXPECT_EQ(param.record().param_id, c.id);
    EXPECT_EQ(param.record().value_num, c.num);
    ASSERT_EQ(param.values().has_value(), c.copied_bytes.has_value());
    if (c.copied_bytes) {
      EXPECT_EQ(*param.values(),
                std::vector<unsigned char>(host_values, host_values + *c.copied_bytes));
    }
  }
}

TEST(PageRecordsTest, UnknownCustomParameterIsReportedOnce) {
  LogCapture log;
  QXOL_CUSTOM_PARAM raw{};
  raw.param_id = 350;
  raw.value_num = 1;
  std::int32_t value = 5;
  raw.values = &value;
  const orlen::CustomParams param(raw);
  EXPECT_FALSE(param.values().has_value());
  EXPECT_EQ(log.Count("Unknown QXOL_PARAM_ID: 350"), 1);
}

TEST(PageRecordsTest, ResetLeavesAPresentAllZeroPage) {
  std::optional<PageDescription> page;
  ResetPageDescription(page);
  ASSERT_TRUE(page.has_value());
  EXPECT_EQ(BytesOf(page->base.record()), std::vector<unsigned char>(By(40, 28), 0));
  EXPECT_EQ(BytesOf(page->image.record()), std::vector<unsigned char>(By(40, 32), 0));
  EXPECT_EQ(BytesOf(page->convert.record()), std::vector<unsigned char>(By(32, 24), 0));
  EXPECT_FALSE(page->image.channels().has_value());
  EXPECT_FALSE(page->base.out_groups().has_value());
  EXPECT_FALSE(page->convert.custom_params().has_value());
}

// The host's page records, with every array they can point to.
struct HostPage {
  std::int32_t list[2] = {11, 12};
  QXOL_OUT_GROUP_INFO group{2, list, 1, list};
  QXOL_COLOR_CONVERT_CH_INFO ch{5, 6, list, nullptr};
  QXOL_BASE_INFO base{0, 1000, 2000, 1, &group, 1, &ch};
  std::int32_t channels[5] = {1, 2, 3, 4, 5};
  QXOL_IMAGE_INFO image{360, 720, 64, 32, -3, 5, channels, 2};
  std::int32_t values[3] = {7, 8, 9};
  std::int32_t custom_value = 42;
  QXOL_CUSTOM_PARAM custom{QXIDS32_H_GAMMA, 1, &custom_value};
  QXOL_CONVERT_INFO convert{0, 3, values, 2, 1, &custom};
};

using StartPageTest = LegacyTest;

TEST_F(StartPageTest, RefusedRecordsKeepThePreviousPageAndDropTheModulePage) {
  auto host = std::make_unique<HostPage>();
  ASSERT_EQ(api_.StartPage(&host->base, 1, &host->image, 1, &host->convert), QXOL_OK);
  const struct {
    bool base, image, convert;
    std::int32_t base_num;
    std::int32_t result;
  } cases[] = {
      {false, true, true, 1, QXOL_ERR_INVALID_ARGUMENT},
      {true, false, true, 1, QXOL_ERR_INVALID_ARGUMENT},
      {true, true, false, 1, QXOL_ERR_INVALID_ARGUMENT},
      {true, true, true, 0, QXOL_ERR_INVALID_COUNT},
      {true, true, true, 2, QXOL_ERR_INVALID_COUNT},
  };
  QXOL_BASE_INFO other_base{};
  QXOL_IMAGE_INFO other_image{};
  QXOL_CONVERT_INFO other_convert{};
  for (const auto& c : cases) {
    api_.page_state_ = 1;
    EXPECT_EQ(
        api_.StartPage(c.base ? &other_base : nullptr, c.base_num, c.image ? &other_image : nullptr,
                       1, c.convert ? &other_convert : nullptr),
        c.result);
    EXPECT_EQ(api_.page_state_, 0);
    ASSERT_TRUE(api_.page_.has_value());
    EXPECT_EQ(api_.page_->image.record().data_type, -3);
    EXPECT_EQ(api_.page_->base.record().paper_width, 1000);
  }
}

// After page start the page refers only to its own copies: the host may free
// its records at once (the sanitizer build reports any later read of them).
TEST_F(StartPageTest, PageOwnsCopiesOfEveryArray) {
  auto host = std::make_unique<HostPage>();
  api_.converter_.state = 1234;
  ASSERT_EQ(api_.StartPage(&host->base, 1, &host->image, 1, &host->convert), QXOL_OK);
  EXPECT_EQ(api_.converter_.state, 0u);
  const void* const host_table = host->list;
  host.reset();

  const PageDescription& page = *api_.page_;
  EXPECT_EQ(page.image.GetChannelNum(), 5);
  const QXOL_IMAGE_INFO& image = page.image.record();
  EXPECT_EQ(std::vector<std::int32_t>(image.channels, image.channels + 5),
            (std::vector<std::int32_t>{1, 2, 3, 4, 5}));

  const QXOL_BASE_INFO& base = page.base.record();
  ASSERT_NE(base.out_groups, nullptr);
  EXPECT_EQ(base.out_groups[0].list_a[1], 12);
  EXPECT_EQ(base.out_groups[0].list_b[0], 11);
  ASSERT_NE(base.color_convert_chs, nullptr);
  EXPECT_EQ(base.color_convert_chs[0].value_b, 6);
  // Tables of unknown length travel as pointer values only.
  EXPECT_EQ(static_cast<const void*>(base.color_convert_chs[0].table_a), host_table);

  const QXOL_CONVERT_INFO& convert = page.convert.record();
  EXPECT_EQ(convert.intent, 2);
  EXPECT_EQ(convert.values[2], 9);
  ASSERT_NE(convert.custom_params, nullptr);
  EXPECT_EQ(*static_cast<const std::int32_t*>(convert.custom_params[0].values), 42);
}

TEST_F(StartPageTest, SecondPageReplacesTheFirst) {
  auto first = std::make_unique<HostPage>();
  ASSERT_EQ(api_.StartPage(&first->base, 1, &first->image, 1, &first->convert), QXOL_OK);
  first.reset();

  QXOL_BASE_INFO base{};
  base.paper_width = 77;
  QXOL_IMAGE_INFO image{};
  image.data_type = 2;
  QXOL_CONVERT_INFO convert{};
  ASSERT_EQ(api_.StartPage(&base, 1, &image, 1, &convert), QXOL_OK);
  const PageDescription& page = *api_.page_;
  EXPECT_EQ(page.base.record().paper_width, 77);
  EXPECT_FALSE(page.base.out_groups().has_value());
  EXPECT_FALSE(page.image.channels().has_value());
  EXPECT_FALSE(page.convert.values().has_value());
  EXPECT_FALSE(page.convert.custom_params().has_value());
  EXPECT_EQ(page.image.GetChannelNum(), 4);
}

// The exported function reaches the same operation.
TEST(StartPageExportTest, ExportedStartPageCopiesThePage) {
  TempDir dir;
  Instance instance(WriteIni(dir));
  ASSERT_TRUE(instance.ok()) << instance.result();
  HostPage host;
  EXPECT_EQ(QXOL_StartPage(instance.handle(), &host.base, 1, &host.image, 1, &host.convert),
            QXOL_OK);
  EXPECT_EQ(QXOL_StartPage(instance.handle(), &host.base, 0, &host.image, 1, &host.convert),
            QXOL_ERR_INVALID_COUNT);
  EXPECT_EQ(QXOL_StartPage(instance.handle(), nullptr, 1, &host.image, 1, &host.convert),
            QXOL_ERR_INVALID_ARGUMENT);
}

}  // namespace
}  // namespace tavik::test
