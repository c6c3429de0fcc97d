// The module as the library sees it: loaded by path, called by name.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dorva.h"
#include "job.h"
#include "module_test_support.h"

namespace dorva_ref {
namespace {

namespace fs = std::filesystem;

class LoadedModule : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(DORVA_REF_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_ != nullptr) dlclose(handle_);
  }
  template <typename F>
  F Entry(const char* name) {
    return reinterpret_cast<F>(dlsym(handle_, name));
  }
  void* handle_ = nullptr;
};

TEST_F(LoadedModule, ExportsTheElevenEntryPoints) {
  for (const char* name :
       {"InitJob", "InitPage", "BandOut", "TerminatePage", "TerminatePageEx", "DestroyJob",
        "ResetJob", "GetCalibData", "GetInkAmount", "GetIDFData1", "GetIDFData2"}) {
    EXPECT_NE(dlsym(handle_, name), nullptr) << name;
  }
}

TEST_F(LoadedModule, JobHandlesAreCheckedAndDestroyedOnce) {
  auto init_job = Entry<DORVA_INIT_JOB>("InitJob");
  auto init_page = Entry<DORVA_INIT_PAGE>("InitPage");
  auto destroy = Entry<DORVA_DESTROY_JOB>("DestroyJob");
  auto idf1 = Entry<DORVA_GET_IDF_DATA1>("GetIDFData1");
  auto idf2 = Entry<DORVA_GET_IDF_DATA2>("GetIDFData2");
  testing::Sink sink;
  testing::JobRecords rec(4, 100, 50, sink);
  void* job = nullptr;
  ASSERT_EQ(init_job(&job, reinterpret_cast<tagPRTSTRUCT3*>(&rec.prt), &rec.option), kOk);
  ASSERT_NE(job, nullptr);
  EXPECT_EQ(init_page(reinterpret_cast<void*>(0x7777), reinterpret_cast<tagHTSTRUCT3*>(&rec.ht)),
            kBadArgument);
  ASSERT_EQ(init_page(job, reinterpret_cast<tagHTSTRUCT3*>(&rec.ht)), kOk);

  DORVA_IDF_DATA a{}, b{};
  ASSERT_EQ(idf1(job, &a, &b), kOk);
  ASSERT_NE(a.data, nullptr);
  const std::string blob(reinterpret_cast<char*>(a.data), static_cast<std::size_t>(a.size));
  EXPECT_NE(blob.find("image=100x50"), std::string::npos) << blob;
  EXPECT_NE(blob.find("inks=C,M,Y,K"), std::string::npos) << blob;
  std::int32_t va = 0, vb = 0, list_a[4] = {1, 2, 3, 4}, list_b[4] = {5, 6, 7, 8};
  ASSERT_EQ(idf2(job, &va, &vb, list_a, list_b), kOk);
  EXPECT_EQ(va, 4);
  EXPECT_EQ(vb, kHalftoneOrdered);
  EXPECT_EQ(list_a[3], 4);  // the lists are not the module's to write
  EXPECT_EQ(list_b[0], 5);

  EXPECT_EQ(destroy(job), kOk);
  EXPECT_EQ(destroy(job), kBadArgument);  // gone; not followed
  const auto decoded = testing::Decode(sink.bytes);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  EXPECT_EQ(decoded.pages.size(), 1u);
}

TEST_F(LoadedModule, FailedDestroyStillReleasesTheJob) {
  auto init_job = Entry<DORVA_INIT_JOB>("InitJob");
  auto destroy = Entry<DORVA_DESTROY_JOB>("DestroyJob");
  testing::Sink sink;
  sink.refuse_from_call = 0;
  testing::JobRecords rec(4, 10, 10, sink);
  void* job = nullptr;
  ASSERT_EQ(init_job(&job, reinterpret_cast<tagPRTSTRUCT3*>(&rec.prt), &rec.option), kOk);
  EXPECT_EQ(destroy(job), kSpoolRefused);
  EXPECT_EQ(destroy(job), kBadArgument);
}

class CalibDir : public LoadedModule {
 protected:
  void SetUp() override {
    LoadedModule::SetUp();
    std::string pattern = (fs::temp_directory_path() / "tavik-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
    LoadedModule::TearDown();
  }
  std::int32_t Request(std::int32_t type, const char* name, const std::string& dir) {
    tag_CalibDataReq_1 req{};
    req.Version = 1;
    req.PrinterType = type;
    req.lpPrinterName = const_cast<char*>(name);
    req.lpWorkDir = const_cast<char*>(dir.c_str());
    return Entry<DORVA_GET_CALIB_DATA>("GetCalibData")(reinterpret_cast<tag_CalibDataReq*>(&req));
  }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path dir_;
};

TEST_F(CalibDir, WritesTheSameThreeFilesEveryTime) {
  ASSERT_EQ(Request(7, "Plotter", dir_.string()), kOk);
  std::vector<std::string> first;
  for (const char* ext : {".HC1", ".CA1", ".BZ1"}) {
    const fs::path p = dir_ / (std::string("REFCAL") + ext);
    ASSERT_TRUE(fs::is_regular_file(p)) << p;
    first.push_back(Read(p));
    EXPECT_FALSE(first.back().empty());
  }
  ASSERT_EQ(Request(7, "Plotter", dir_.string()), kOk);
  int i = 0;
  for (const char* ext : {".HC1", ".CA1", ".BZ1"}) {
    EXPECT_EQ(Read(dir_ / (std::string("REFCAL") + ext)), first[static_cast<std::size_t>(i++)]);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
}

TEST_F(CalibDir, RefusalsHaveTheirOwnStatus) {
  EXPECT_EQ(Request(0, "Plotter", dir_.string()), kPrinterNotSupported);
  EXPECT_EQ(Request(7, "Plotter", (dir_ / "missing").string()), kWorkDirUnusable);
  EXPECT_EQ(Entry<DORVA_GET_CALIB_DATA>("GetCalibData")(nullptr), kBadArgument);
}

}  // namespace
}  // namespace dorva_ref
