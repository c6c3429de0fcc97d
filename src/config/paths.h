// Where the library lives, and how configured paths are made absolute.
#pragma once

#include <string>

namespace tavik {

// Recorded once when the library is loaded; empty when it could not be found.
void SetLibraryFilePath(std::string path);
const std::string& LibraryFilePath();

// Makes a configured path absolute against the library's directory (the
// working directory when the library path is unknown). The base directory is
// computed at the first call and cached for the process.
std::string ResolvePath(const std::string& path);

// True for paths that are absolute on the platform the library runs on.
bool IsAbsolutePath(const std::string& path);

// The diagnostic directory: TAVIK_DIAG_DIR when set, else the platform default.
std::string DiagnosticDirectory();
// Band dumps are written while this path exists.
std::string BandDumpSwitchPath();

}  // namespace tavik
