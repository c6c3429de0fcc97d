// Small readers over the parameter store shared by the record builders.
#pragma once

#include <cstdint>
#include <optional>

#include "params/option_dictionary.h"

namespace tavik {

// Present with a value other than 0; an absent parameter is never on.
inline bool IsOn(const OptionDictionary& options, QXOL_PARAM_ID id) {
  const std::optional<std::int32_t> value = options.GetParam(id);
  return value && *value != 0;
}

// 32-bit signed product with the wrap-around of two's complement arithmetic.
inline std::int32_t WrappingMul(std::int32_t a, std::int32_t b) noexcept {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

}  // namespace tavik
