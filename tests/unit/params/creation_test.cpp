// What the parameter resource and the log-level parameter do when an instance is created.
#include <gtest/gtest.h>
#include <spdlog/spdlog.h>

#include <cstdint>
#include <optional>
#include <string>

#include "config/log.h"
#include "qxol.h"
#include "support/end_to_end.h"
#include "support/log_capture.h"

namespace tavik {
namespace {

using test::IniSpec;
using test::Instance;
using test::LogCapture;
using test::TempDir;

TEST(ParamsAtCreation, LogLevelFollowsItsParameter) {
  const struct {
    const char* value;         // JSON value of the parameter; nullptr: not in the resource
    std::optional<int> level;  // nullopt: the level in force before stays
    const char* report;        // error record about the value, if any
  } kCases[] = {
      {"0", 0, nullptr},
      {"3", 3, nullptr},
      {"5", 5, nullptr},
      {"[1, 9]", 1, nullptr},
      {"7", std::nullopt, "QXIDS32_TV_HTM_LOG_LEVEL_FILTER (7) is not supported id."},
      {"-1", std::nullopt, "QXIDS32_TV_HTM_LOG_LEVEL_FILTER (-1) is not supported id."},
      {nullptr, std::nullopt, nullptr},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.value ? c.value : "absent");
    LogCapture log(kError);  // restores the process-wide level afterwards
    TempDir dir;
    IniSpec spec;
    spec.resource_json =
        std::string(R"({"pid":{"version":1,"elements":{)") +
        (c.value ? std::string(R"("QXIDS32_TV_HTM_LOG_LEVEL_FILTER":)") + c.value : std::string()) +
        "}}}";
    Instance instance(WriteIni(dir, spec));
    ASSERT_EQ(instance.result(), QXOL_OK);
    EXPECT_EQ(static_cast<int>(spdlog::get_level()), c.level.value_or(kError));
    int reports = 0;
    for (const auto& r : log.records()) {
      if (r.text.rfind("QXIDS32_TV_HTM_LOG_LEVEL_FILTER", 0) == 0) ++reports;
    }
    EXPECT_EQ(reports, c.report ? 1 : 0);
    if (c.report) {
      EXPECT_TRUE(log.Has(kError, c.report));
    }
  }
}

TEST(ParamsAtCreation, ResourceThatCannotBeReadFailsTheCreation) {
  const struct {
    const char* name;
    std::optional<std::string> json;  // nullopt: TV_RSC names a missing file
  } kCases[] = {
      {"invalid JSON", "{\"pid\":"},
      {"missing file", std::nullopt},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    IniSpec spec;
    spec.resource_json = c.json;
    if (!c.json) spec.lines.push_back({"TV_RSC", (dir.path() / "missing.json").string()});
    Instance instance(WriteIni(dir, spec));
    EXPECT_EQ(instance.result(), QXOL_ERR_INTERNAL);
    EXPECT_FALSE(instance.ok());
  }
}

TEST(ParamsAtCreation, WithoutResourceTheStoreStartsEmpty) {
  TempDir dir;
  Instance instance(WriteIni(dir));
  ASSERT_EQ(instance.result(), QXOL_OK);
  std::int32_t count = 5;
  EXPECT_EQ(QXOL_GetValue(instance.handle(), QXIDS32_PRT_RES_X, nullptr, &count), QXOL_OK);
  EXPECT_EQ(count, 0);
  count = 5;
  EXPECT_EQ(QXOL_EnumPmIndex(instance.handle(), nullptr, &count), QXOL_OK);
  EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace tavik
