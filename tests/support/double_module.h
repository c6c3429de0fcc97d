// Access from tests to the test doubles of the legacy module.
//
// A test opens the double by the path the library under test is configured
// with. Both dlopen the same file, so they share one loaded image and the
// test sees, through the double's Control, every call the library makes.
//
// Unloading: while a DoubleModule is alive the double stays loaded whatever
// the library does. To see the library unload the double, use LoadCounter
// (counts kept in a helper library the doubles link to) and IsLoaded.
#pragma once

#include <string>

#include "doubles/dorva_double.h"
#include "doubles/load_counter.h"

namespace tavik::test {

// Absolute path of a built double: "dorva_double", "dorva_double_no_ink",
// "dorva_double_no_idf", "ht_hook", "ht_nohook", or "not_a_module" (a file
// that is no shared library).
std::string DoublePath(const std::string& name);

// True when the library at this path is loaded in the process right now.
bool IsLoaded(const std::string& path);

class DoubleModule {
 public:
  // Loads the double (RTLD_NOW | RTLD_LOCAL) and resets its Control. Throws
  // std::runtime_error when it cannot be loaded.
  explicit DoubleModule(const std::string& name = "dorva_double");
  ~DoubleModule();
  DoubleModule(const DoubleModule&) = delete;
  DoubleModule& operator=(const DoubleModule&) = delete;

  tavik_double::Control& control() const { return *control_; }
  const std::string& path() const { return path_; }

  // Address of an export of the double, or null.
  void* Resolve(const char* name) const;
  template <typename F>
  F Entry(const char* name) const {
    return reinterpret_cast<F>(Resolve(name));
  }

 private:
  std::string path_;
  void* handle_ = nullptr;
  tavik_double::Control* control_ = nullptr;
};

// Load and unload counts of all dorva_double variants since the last Reset.
class LoadCounter {
 public:
  LoadCounter();  // throws std::runtime_error when the counter library is missing
  ~LoadCounter();
  LoadCounter(const LoadCounter&) = delete;
  LoadCounter& operator=(const LoadCounter&) = delete;

  int loads() const { return counts_->loads; }
  int unloads() const { return counts_->unloads; }
  void Reset() { *counts_ = DorvaDoubleLoadCounts{0, 0}; }

 private:
  void* handle_ = nullptr;
  DorvaDoubleLoadCounts* counts_ = nullptr;
};

}  // namespace tavik::test
