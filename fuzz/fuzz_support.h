// Shared pieces of the fuzz targets: a private scratch directory, failure
// reports that libFuzzer records as crashes, and a quiet log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tavik::fuzz {

// A directory of this process's own under the system's temporary area,
// created on first use and removed when the process exits normally.
const std::filesystem::path& ScratchDirectory();

// Writes the bytes as the whole content of `path`.
void WriteFile(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size);

// Reports a broken property and aborts, so libFuzzer keeps the input.
[[noreturn]] void Fail(const std::string& what);

// True for 0 and every failure code the exported functions may return.
bool IsResultCode(std::int32_t result);

// Switches the library's log off: every refused input would otherwise print.
void QuietLogs();

// Names of the entries directly inside `directory`, sorted.
std::string ListDirectory(const std::filesystem::path& directory);

}  // namespace tavik::fuzz
