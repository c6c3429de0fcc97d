// Placeholder: replaced by the 16-to-8-bit band converter.
#pragma once

#include <cstdint>

namespace tavik {
class Nch16to8 {
 public:
  virtual ~Nch16to8() = default;
  std::uint32_t state = 0;
};
}  // namespace tavik
