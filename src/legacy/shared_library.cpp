#include "legacy/shared_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace zarn {

SharedLibrary::SharedLibrary(const std::string& path) {
#if defined(_WIN32)
  handle_ = reinterpret_cast<void*>(::LoadLibraryA(path.c_str()));
#else
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

SharedLibrary::~SharedLibrary() {
  if (handle_ == nullptr) return;
#if defined(_WIN32)
  ::FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
  ::dlclose(handle_);
#endif
  handle_ = nullptr;
}

void* SharedLibrary::Resolve(const char* name) const {
  if (handle_ == nullptr) return nullptr;
#if defined(_WIN32)
  return reinterpret_cast<void*>(::GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
#else
  return ::dlsym(handle_, name);
#endif
}

}  // namespace zarn
