// Helpers for tests that drive the library through its exported functions
// with a test double as the legacy module.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "qxol.h"
#include "support/double_module.h"

namespace tavik::test {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes a file (binary, replacing any) and returns its absolute path.
  std::string Write(const std::string& name, const std::string& content) const;

 private:
  std::filesystem::path path_;
};

struct IniSpec {
  // Value of DV_MOD_HMM; no such line when empty.
  std::string module = DoublePath("dorva_double");
  // When set, written as "resource.json" next to the ini and named by TV_RSC.
  std::optional<std::string> resource_json;
  // Further "key=value" lines, written after the ones above in this order.
  std::vector<std::pair<std::string, std::string>> lines;
};

// Writes "tavik.ini" into the directory and returns its absolute path.
std::string WriteIni(const TempDir& dir, const IniSpec& spec = {});

// Collects what the library delivers through the host's spool callback. Pass
// SpoolSink::Func as the callback and the sink as its context.
struct SpoolSink {
  std::vector<std::vector<signed char>> blocks;
  std::vector<void*> contexts;
  std::int32_t answer = 1;  // what the callback returns

  static std::int32_t QXOL_CALL Func(void* context, signed char* data, std::int32_t size);
};

// An instance made by QXOL_CreateInstance and deleted by QXOL_DeleteInstance
// when the object goes (or at Delete).
class Instance {
 public:
  explicit Instance(const std::string& ini_path, QXOL_SPOOL_FUNC spool = nullptr,
                    void* spool_context = nullptr);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  std::int32_t result() const { return result_; }  // of the creation
  QXOL_HANDLE handle() const { return handle_; }
  bool ok() const { return handle_ != nullptr; }
  // Deletes now; returns QXOL_DeleteInstance's result, or 0 when there was none.
  std::int32_t Delete();

 private:
  QXOL_HANDLE handle_ = nullptr;
  std::int32_t result_ = 0;
};

}  // namespace tavik::test
