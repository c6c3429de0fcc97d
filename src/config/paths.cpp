#include "config/paths.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace tavik {

namespace fs = std::filesystem;

namespace {
std::string& LibraryPathStorage() {
  static std::string path;
  return path;
}

std::optional<fs::path>& BaseDirectoryCache() {
  static std::optional<fs::path> base;
  return base;
}

const fs::path& BaseDirectory() {
  auto& base = BaseDirectoryCache();
  if (!base) {
    const std::string& own = LibraryPathStorage();
    // current_path() throws when the working directory cannot be read.
    base = own.empty() ? fs::current_path() : fs::path(own).parent_path();
  }
  return *base;
}

[[maybe_unused]] bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}
}  // namespace

void SetLibraryFilePath(std::string path) {
  LibraryPathStorage() = std::move(path);
  BaseDirectoryCache().reset();
}

const std::string& LibraryFilePath() {
  return LibraryPathStorage();
}

bool IsAbsolutePath(const std::string& path) {
#if defined(_WIN32)
  const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                     path[1] == ':' && IsSeparator(path[2]);
  const bool network =
      path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
  return drive || network;
#else
  return !path.empty() && path[0] == '/';
#endif
}

std::string ResolvePath(const std::string& path) {
  if (IsAbsolutePath(path)) return fs::path(path).string();
  return (BaseDirectory() / fs::path(path)).string();
}

std::string DiagnosticDirectory() {
  if (const char* dir = std::getenv("TAVIK_DIAG_DIR"); dir != nullptr && *dir != '\0') return dir;
#if defined(_WIN32)
  return "C:/tmp/qxollog";
#else
  return "/tmp/qxollog";
#endif
}

std::string BandDumpSwitchPath() {
  return (fs::path(DiagnosticDirectory()) / "3").string();
}

}  // namespace tavik
