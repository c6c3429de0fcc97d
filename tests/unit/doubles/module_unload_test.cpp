// An instance must give up only its own reference to the module: with the
// test holding the same library open, a second unload by the instance would
// drop the test's reference and run the double's unload hook early. Covers the
// successful and the failing creation path.
#include <gtest/gtest.h>

#include <string>

#include "support/double_module.h"
#include "support/end_to_end.h"

namespace tavik::test {
namespace {

struct UnloadCase {
  const char* module;
  std::int32_t creation;
};

class ModuleUnloadTest : public ::testing::TestWithParam<UnloadCase> {};

TEST_P(ModuleUnloadTest, AnInstanceReleasesNoReferenceItDoesNotOwn) {
  const UnloadCase& c = GetParam();
  TempDir dir;
  const std::string ini = WriteIni(dir, IniSpec{DoublePath(c.module), std::nullopt, {}});
  LoadCounter counter;
  {
    DoubleModule held(c.module);
    {
      Instance instance(ini);
      EXPECT_EQ(instance.result(), c.creation);
    }
    EXPECT_EQ(counter.unloads(), 0);
    EXPECT_TRUE(IsLoaded(held.path()));
  }
  EXPECT_EQ(counter.loads(), 1);
  EXPECT_EQ(counter.unloads(), 1);
}

INSTANTIATE_TEST_SUITE_P(Modules, ModuleUnloadTest,
                         ::testing::Values(UnloadCase{"dorva_double", QXOL_OK},
                                           UnloadCase{"dorva_double_no_idf", QXOL_OK},
                                           UnloadCase{"dorva_double_no_ink", QXOL_ERR_INIT_FAILED}),
                         [](const auto& info) { return std::string(info.param.module); });

}  // namespace
}  // namespace tavik::test
