// Whether the halftone library configured under DV_MOD_HT offers the colour
// conversion entry point; the first IDF request prepares the page geometry
// differently when it does.
#pragma once

#include "config/ini.h"

namespace tavik {

// Loads the configured library, looks the entry point up and frees the
// library again. Every failure (nothing configured, not loadable, no such
// export) gives false; nothing is logged and nothing is kept.
bool HasColorConversionHook(const Ini& configuration);

}  // namespace tavik
