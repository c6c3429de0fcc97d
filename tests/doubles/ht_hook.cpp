// Stand-in for the halftone library probed for the colour conversion entry
// point. Built twice: with the entry point, and with an unrelated export only.
#include <cstdint>

#define HT_EXPORT extern "C" __attribute__((visibility("default")))

#ifndef HT_HOOK_WITHOUT_CONVERT_COLOR
HT_EXPORT std::int32_t MTZ_CPR_ConvertColor() {
  return 0;
}
#else
HT_EXPORT std::int32_t MTZ_CPR_Version() {
  return 1;
}
#endif
