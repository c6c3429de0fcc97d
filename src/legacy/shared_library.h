// Owner of one dynamically loaded library: load by path, resolve by exact
// name, unload exactly once. Failures give null, never an error.
#pragma once

#include <string>

namespace zarn {

class SharedLibrary {
 public:
  explicit SharedLibrary(const std::string& path);
  virtual ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  void* Resolve(const char* name) const;
  bool loaded() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};

}  // namespace zarn
