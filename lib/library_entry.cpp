// Load-time hook of the shared library: remember where the library file is,
// since relative paths in the configuration are taken from its directory.
#include <string>

#include "config/log.h"
#include "config/paths.h"

#if defined(_MSC_VER)
#define TAVIK_FUNCTION_SIGNATURE __FUNCSIG__
#else
#define TAVIK_FUNCTION_SIGNATURE __PRETTY_FUNCTION__
#endif

#if defined(_WIN32)
#include <windows.h>

namespace {
std::string LastErrorText() {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, GetLastError(), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string result = n != 0 ? std::string(text, n) : std::string();
  LocalFree(text);
  return result;
}
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  try {
    char path[MAX_PATH] = {};
    if (GetModuleFileNameA(module, path, MAX_PATH) == 0) {
      tavik::Log(tavik::kError, "Win32API GetModuleFileName(): {}", LastErrorText());
      return FALSE;
    }
    tavik::SetLibraryFilePath(path);
    return TRUE;
  } catch (const std::exception& e) {
    tavik::Log(tavik::kCritical, "exception at {}: {}", TAVIK_FUNCTION_SIGNATURE, e.what());
    return FALSE;
  }
}

#else
#include <dlfcn.h>

namespace {
// Failing the load is not possible from a constructor here; the base
// directory then falls back to the working directory.
__attribute__((constructor)) void RecordLibraryPath() {
  try {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&RecordLibraryPath), &info) == 0 ||
        info.dli_fname == nullptr) {
      const char* error = dlerror();
      tavik::Log(tavik::kError, "dladdr(): {}", error != nullptr ? error : "unknown error");
      return;
    }
    tavik::SetLibraryFilePath(info.dli_fname);
  } catch (const std::exception& e) {
    tavik::Log(tavik::kCritical, "exception at {}: {}", TAVIK_FUNCTION_SIGNATURE, e.what());
  }
}
}  // namespace
#endif
