// The library's log call: a level number 0..5 and an fmt format text.
#pragma once

#include <spdlog/spdlog.h>

#include <utility>

namespace tavik {

enum LogLevel : int { kTrace = 0, kDebug = 1, kInfo = 2, kWarning = 3, kError = 4, kCritical = 5 };

// Filters on the default logger's level before any formatting, so disabled
// trace calls on the band path cost one comparison. Never throws: the logging
// library absorbs formatting and write errors itself.
template <typename... Args>
inline void Log(int level, fmt::format_string<Args...> text, Args&&... args) noexcept {
  if (level < kTrace || level > kCritical) return;
  const auto spd_level = static_cast<spdlog::level::level_enum>(level);
  spdlog::logger* logger = spdlog::default_logger_raw();
  if (logger == nullptr || !logger->should_log(spd_level)) return;
  logger->log(spd_level, text, std::forward<Args>(args)...);
}

// Pointers are logged in hexadecimal with a 0x prefix.
inline const void* AsPtr(const void* p) noexcept {
  return p;
}

}  // namespace tavik
