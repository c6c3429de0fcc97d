#include "fuzz_support.h"

#include <spdlog/spdlog.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "qxol.h"

namespace tavik::fuzz {

namespace fs = std::filesystem;

namespace {

fs::path CreateScratch() {
  std::string pattern = (fs::temp_directory_path() / "tavik-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) Fail("cannot create the scratch directory " + pattern);
  return pattern;
}

void RemoveScratch() {
  std::error_code ec;
  fs::remove_all(ScratchDirectory(), ec);
}

}  // namespace

const fs::path& ScratchDirectory() {
  static const fs::path directory = [] {
    fs::path created = CreateScratch();
    std::atexit(RemoveScratch);
    return created;
  }();
  return directory;
}

void WriteFile(const fs::path& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) Fail("cannot write " + path.string());
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz property broken: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

bool IsResultCode(std::int32_t result) {
  switch (result) {
    case QXOL_OK:
    case QXOL_ERR_NOT_SUPPORTED:
    case QXOL_ERR_BUFFER_TOO_SMALL:
    case QXOL_ERR_INVALID_COUNT:
    case QXOL_ERR_INVALID_ARGUMENT:
    case QXOL_ERR_INIT_FAILED:
    case QXOL_ERR_INTERNAL:
    case QXOL_ERR_CALIB_MODULE_1:
    case QXOL_ERR_CALIB_MODULE_2:
      return true;
    default:
      return false;
  }
}

void QuietLogs() {
  spdlog::set_level(spdlog::level::off);
}

std::string ListDirectory(const fs::path& directory) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

}  // namespace tavik::fuzz
