#include "support/log_capture.h"

#include <spdlog/sinks/stdout_color_sinks.h>

#include <algorithm>

namespace tavik::test {

class LogCapture::Sink : public spdlog::sinks::base_sink<std::mutex> {
 public:
  std::vector<LogRecord> Snapshot() {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.clear();
  }

 protected:
  void sink_it_(const spdlog::details::log_msg& msg) override {
    records_.push_back(
        {static_cast<int>(msg.level), std::string(msg.payload.begin(), msg.payload.end())});
  }
  void flush_() override {}

 private:
  std::vector<LogRecord> records_;
};

LogCapture::LogCapture(int level)
    : sink_(std::make_shared<Sink>()),
      previous_(spdlog::default_logger()),
      previous_level_(spdlog::get_level()) {
  auto logger = std::make_shared<spdlog::logger>("", sink_);
  spdlog::set_default_logger(logger);
  spdlog::set_level(static_cast<spdlog::level::level_enum>(level));
}

LogCapture::~LogCapture() {
  spdlog::set_default_logger(previous_);
  spdlog::set_level(previous_level_);
}

std::vector<LogRecord> LogCapture::records() const {
  return sink_->Snapshot();
}

bool LogCapture::Has(int level, const std::string& text) const {
  const auto all = records();
  return std::any_of(all.begin(), all.end(),
                     [&](const LogRecord& r) { return r.level == level && r.text == text; });
}

int LogCapture::Count(const std::string& text) const {
  const auto all = records();
  return static_cast<int>(
      std::count_if(all.begin(), all.end(), [&](const LogRecord& r) { return r.text == text; }));
}

void LogCapture::Clear() {
  sink_->Clear();
}

void RestoreConsoleLogger() {
  spdlog::drop("basic_logger");
  spdlog::set_default_logger(std::make_shared<spdlog::logger>(
      "", std::make_shared<spdlog::sinks::stdout_color_sink_mt>()));
  spdlog::set_level(spdlog::level::info);
}

}  // namespace tavik::test
