#include "legacy/module_binding.h"

namespace tavik {

namespace {
// Entry points are looked up by their exact exported names.
template <typename Fn>
void Bind(const zarn::SharedLibrary& library, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(library.Resolve(name));
}
}  // namespace

ModuleBinding::ModuleBinding(const std::string& path) : library(path) {
  if (!library.loaded()) return;
  Bind(library, "InitJob", InitJob);
  Bind(library, "InitPage", InitPage);
  Bind(library, "BandOut", BandOut);
  Bind(library, "TerminatePage", TerminatePage);
  Bind(library, "TerminatePageEx", TerminatePageEx);
  Bind(library, "DestroyJob", DestroyJob);
  Bind(library, "ResetJob", ResetJob);
  Bind(library, "GetCalibData", GetCalibData);
  Bind(library, "GetInkAmount", GetInkAmount);
  Bind(library, "GetIDFData1", GetIDFData1);
  Bind(library, "GetIDFData2", GetIDFData2);
}

bool ModuleBinding::Complete() const {
  return InitJob && InitPage && BandOut && TerminatePage && TerminatePageEx && DestroyJob &&
         ResetJob && GetCalibData && GetInkAmount;
}

}  // namespace tavik
