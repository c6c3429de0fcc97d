// The constant table of known parameter IDs, their value types and names, and
// the lookups over it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "qxol.h"

namespace tavik {

// Value type of a parameter; the numbers are the codes that cross the boundary.
enum class ParamType : std::int32_t {
  kBol = QXOL_TYPE_BOL,
  kS32 = QXOL_TYPE_S32,
  kU08 = QXOL_TYPE_U08,
  kStr = QXOL_TYPE_STR,
  kUnknown = QXOL_TYPE_UNKNOWN,
};

struct ParamIdEntry {
  std::int32_t id;
  ParamType type;
  const char* name;
};

inline constexpr std::size_t kParamIdTableSize = 227;

// Expanded from the same row list as the header's ID constants, so the two
// cannot drift apart.
extern const std::array<ParamIdEntry, kParamIdTableSize> olparamidtable_detail;

// Name of the first row holding `id`, or "UNKNOWN".
std::string GetParamName(QXOL_PARAM_ID id);

// Row type of `id`; logs "Unknown QXOL_PARAM_ID: {}" and answers kUnknown when no row holds it.
ParamType FindParamType(QXOL_PARAM_ID id);

// Storage type: from the type bits for private IDs (no table lookup), else FindParamType.
ParamType GetParamType(QXOL_PARAM_ID id);

// ID of the first row whose name equals `name` exactly (case-sensitive).
std::optional<QXOL_PARAM_ID> FindParamIdByName(std::string_view name);

// Bytes per element of a value of type `type` (0 for kUnknown).
std::size_t ParamElementSize(ParamType type) noexcept;

}  // namespace tavik
