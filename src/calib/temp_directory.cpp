#include "calib/temp_directory.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "config/log.h"

#ifdef _WIN32
#include <random>
#else
#include <stdlib.h>
#endif

namespace tavik {

namespace fs = std::filesystem;

std::optional<TempDirectory> TempDirectory::Create() {
  std::error_code ec;
  const fs::path base = fs::temp_directory_path(ec);
  if (ec) {
    Log(kCritical, "fail at std::tmpnam()");
    return std::nullopt;
  }
#ifdef _WIN32
  // No mkdtemp here: try random names until one is created by this call.
  std::random_device device;
  std::mt19937_64 generator((std::uint64_t{device()} << 32) ^ device());
  std::string name;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = (base / ("tavik-" + std::to_string(generator()))).string();
    if (fs::create_directory(name, ec)) return TempDirectory(fs::path(name));
    if (ec) break;
  }
  Log(kError, "fail to create tmp directory {}: {}", name,
      ec ? ec.message() : std::string("name already in use"));
  return std::nullopt;
#else
  std::string name = (base / "tavik-XXXXXX").string();
  if (mkdtemp(name.data()) == nullptr) {
    Log(kError, "fail to create tmp directory {}: {}", name, std::strerror(errno));
    return std::nullopt;
  }
  return TempDirectory(fs::path(name));
#endif
}

TempDirectory::TempDirectory(TempDirectory&& other) noexcept
    : path_(std::exchange(other.path_, fs::path())) {}

TempDirectory& TempDirectory::operator=(TempDirectory&& other) noexcept {
  if (this != &other) {
    Remove();
    path_ = std::exchange(other.path_, fs::path());
  }
  return *this;
}

TempDirectory::~TempDirectory() {
  Remove();
}

void TempDirectory::Remove() noexcept {
  if (path_.empty()) return;
  std::error_code ec;
  fs::remove_all(path_, ec);
  if (ec) {
    try {
      Log(kError, "fail to remove tmp directory {}: {}", path_.string(), ec.message());
    } catch (...) {
      // Nothing more can be reported without memory.
    }
  }
  path_.clear();
}

}  // namespace tavik
