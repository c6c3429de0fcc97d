// Process-wide diagnostic log set-up: the file logger and the level filter.
#pragma once

#include <string>

namespace tavik {

// "HTM_TV_YYYYMMDD_HHMMSS.log" for the current local time.
std::string LogFileName();

// Installs the "basic_logger" file logger as the default logger when the
// diagnostic directory exists as a directory. Throws on file-system errors
// other than a missing path, and when the log file cannot be created.
void InstallFileLoggerIfEnabled();

// Sets the process-wide level from a number 0..5; returns false for others.
bool SetLogLevel(int level);

}  // namespace tavik
