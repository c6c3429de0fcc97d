// The shared library as a host loads it: by path, resolving the exports.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "qxol.h"
#include "support/end_to_end.h"

namespace tavik::test {
namespace {

namespace fs = std::filesystem;

class Deliverable : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(TAVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_ != nullptr) dlclose(handle_);
  }
  template <typename F>
  F Get(const char* name) {
    return reinterpret_cast<F>(dlsym(handle_, name));
  }
  void* handle_ = nullptr;
};

TEST_F(Deliverable, RelativePathsAreTakenFromTheLibrarysOwnDirectory) {
  using Create = decltype(&QXOL_CreateInstance);
  using Delete = decltype(&QXOL_DeleteInstance);
  using StartJob = decltype(&QXOL_StartJob);
  const auto create = Get<Create>("QXOL_CreateInstance");
  const auto remove = Get<Delete>("QXOL_DeleteInstance");
  const auto start_job = Get<StartJob>("QXOL_StartJob");
  ASSERT_NE(create, nullptr);
  ASSERT_NE(remove, nullptr);
  ASSERT_NE(start_job, nullptr);
  // Internal names stay hidden.
  EXPECT_EQ(dlsym(handle_,
                  "_ZN5tavik11ResolvePathERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"),
            nullptr);

  // The module is named relative to the library file, not to the working directory.
  const fs::path library_dir = fs::path(TAVIK_LIBRARY_PATH).parent_path();
  const fs::path module = fs::relative(DoublePath("dorva_double"), library_dir);
  ASSERT_TRUE(module.is_relative());
  TempDir dir;
  IniSpec spec;
  spec.module = module.string();
  const std::string ini = WriteIni(dir, spec);
  const fs::path old_cwd = fs::current_path();
  fs::current_path(dir.path());
  QXOL_HANDLE instance = nullptr;
  const std::int32_t result = create(&instance, ini.c_str(), nullptr, nullptr);
  fs::current_path(old_cwd);
  ASSERT_EQ(result, QXOL_OK);
  EXPECT_EQ(start_job(instance), QXOL_OK);
  EXPECT_EQ(start_job(nullptr), QXOL_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(remove(instance), QXOL_OK);
}

}  // namespace
}  // namespace tavik::test
