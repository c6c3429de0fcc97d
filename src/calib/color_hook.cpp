#include "calib/color_hook.h"

#include <exception>
#include <string>

#include "config/paths.h"
#include "legacy/shared_library.h"

namespace tavik {

bool HasColorConversionHook(const Ini& configuration) {
  const auto configured = configuration.GetKnown(DV_MOD_HT);
  if (!configured) return false;
  std::string path;
  try {
    path = ResolvePath(*configured);
  } catch (const std::exception&) {
    // No base directory to resolve against: the library cannot be found.
    return false;
  }
  const zarn::SharedLibrary library(path);
  return library.Resolve("MTZ_CPR_ConvertColor") != nullptr;
}

}  // namespace tavik
