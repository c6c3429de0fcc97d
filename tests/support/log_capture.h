// Captures the library's log records for the lifetime of the object by
// installing a recording logger as the default logger.
#pragma once

#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tavik::test {

struct LogRecord {
  int level;
  std::string text;
};

class LogCapture {
 public:
  // Captures at the given level and above (trace by default).
  explicit LogCapture(int level = 0);
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<LogRecord> records() const;
  // True when some record has exactly this level and text.
  bool Has(int level, const std::string& text) const;
  // Number of records whose text equals the argument.
  int Count(const std::string& text) const;
  void Clear();

 private:
  class Sink;
  std::shared_ptr<Sink> sink_;
  std::shared_ptr<spdlog::logger> previous_;
  spdlog::level::level_enum previous_level_;
};

// Puts the process back on a console default logger at level info, as at
// start-up; for tests that installed or dropped the file logger.
void RestoreConsoleLogger();

}  // namespace tavik::test
