#include "support/double_module.h"

#include <dlfcn.h>

#include <stdexcept>

namespace tavik::test {

namespace {

void* Open(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* error = dlerror();
    throw std::runtime_error("cannot load " + path + ": " + (error != nullptr ? error : "?"));
  }
  return handle;
}

void* Symbol(void* handle, const std::string& path, const char* name) {
  void* symbol = dlsym(handle, name);
  if (symbol == nullptr) {
    dlclose(handle);
    throw std::runtime_error(path + " does not export " + name);
  }
  return symbol;
}

}  // namespace

std::string DoublePath(const std::string& name) {
  return std::string(TAVIK_TEST_DOUBLE_DIR) + "/" + name + ".so";
}

bool IsLoaded(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

DoubleModule::DoubleModule(const std::string& name) : path_(DoublePath(name)) {
  handle_ = Open(path_);
  auto accessor =
      reinterpret_cast<DorvaDoubleControlFunc>(Symbol(handle_, path_, "dorva_double_control"));
  control_ = accessor();
  control_->Reset();
}

DoubleModule::~DoubleModule() {
  dlclose(handle_);
}

void* DoubleModule::Resolve(const char* name) const {
  return dlsym(handle_, name);
}

LoadCounter::LoadCounter() {
  const std::string path = DoublePath("dorva_double_counter");
  handle_ = Open(path);
  auto accessor = reinterpret_cast<DorvaDoubleLoadCountsFunc>(
      Symbol(handle_, path, "dorva_double_load_counts"));
  counts_ = accessor();
  Reset();
}

LoadCounter::~LoadCounter() {
  dlclose(handle_);
}

}  // namespace tavik::test
