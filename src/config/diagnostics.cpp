#include "config/diagnostics.h"

#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include <chrono>
#include <ctime>
#include <filesystem>

#include "config/paths.h"

namespace tavik {

namespace fs = std::filesystem;

namespace {
constexpr const char* kFileLoggerName = "basic_logger";
// The logging library's default line layout, ended CR LF as on the original platform.
constexpr const char* kLinePattern = "[%Y-%m-%d %H:%M:%S.%e] [%n] [%l] %v";
constexpr const char* kLineEnd = "\r\n";
}  // namespace

std::string LogFileName() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[64];
  std::strftime(text, sizeof text, "HTM_TV_%Y%m%d_%H%M%S.log", &local);
  return text;
}

void InstallFileLoggerIfEnabled() {
  const fs::path directory = DiagnosticDirectory();
  if (!fs::exists(directory) || !fs::is_directory(directory)) return;
  const fs::path file = directory / LogFileName();
  auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(file.string(), false);
  auto logger = std::make_shared<spdlog::logger>(kFileLoggerName, std::move(sink));
  // A later creation in the same process replaces the earlier file logger
  // rather than failing on the duplicate name.
  spdlog::drop(kFileLoggerName);
  spdlog::initialize_logger(logger);
  logger->set_formatter(std::make_unique<spdlog::pattern_formatter>(
      kLinePattern, spdlog::pattern_time_type::local, kLineEnd));
  spdlog::set_default_logger(std::move(logger));
}

bool SetLogLevel(int level) {
  if (level < 0 || level > 5) return false;
  spdlog::set_level(static_cast<spdlog::level::level_enum>(level));
  return true;
}

}  // namespace tavik
