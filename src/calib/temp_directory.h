// A fresh private directory in the system's temporary area for one
// calibration acquisition or expansion, removed with its content when the
// object goes, whatever path the caller leaves by.
#pragma once

#include <filesystem>
#include <optional>

namespace tavik {

class TempDirectory {
 public:
  // Creates a new directory named "tavik-" plus a unique suffix, readable by
  // the owner only. Logs and returns nothing when none can be created.
  static std::optional<TempDirectory> Create();

  TempDirectory(TempDirectory&& other) noexcept;
  TempDirectory& operator=(TempDirectory&& other) noexcept;
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  ~TempDirectory();

  const std::filesystem::path& path() const noexcept { return path_; }

 private:
  explicit TempDirectory(std::filesystem::path path) : path_(std::move(path)) {}
  void Remove() noexcept;

  std::filesystem::path path_;
};

}  // namespace tavik
