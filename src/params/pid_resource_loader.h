// Reads the JSON parameter resource file into an option dictionary.
#pragma once

#include <string_view>

#include "params/option_dictionary.h"

namespace tavik {

class PidResourceLoader {
 public:
  // Stores the general and per-PMI values of the file at `path` into `dictionary`. Throws when
  // the file is missing or not valid JSON; a value of the wrong JSON type ends the loading
  // quietly, keeping what was stored before it.
  static void Load(OptionDictionary& dictionary, std::string_view path);
};

}  // namespace tavik
