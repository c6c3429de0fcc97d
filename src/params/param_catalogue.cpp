#include "params/param_catalogue.h"

#include <algorithm>

#include "config/log.h"

namespace tavik {

const std::array<ParamIdEntry, kParamIdTableSize> olparamidtable_detail = {{
#define QXOL_PARAM_ROW(id, type, name) {(id), static_cast<ParamType>(type), #name},
#include "qxol_param_rows.h"
#undef QXOL_PARAM_ROW
}};

namespace {

// A short row list would leave zero rows at the end of the table, which would
// then answer lookups of ID 0.
constexpr std::size_t CountRows() {
  std::size_t rows = 0;
#define QXOL_PARAM_ROW(id, type, name) ++rows;
#include "qxol_param_rows.h"
#undef QXOL_PARAM_ROW
  return rows;
}
static_assert(CountRows() == kParamIdTableSize);

const ParamIdEntry* FindRow(QXOL_PARAM_ID id) noexcept {
  const auto it = std::find_if(olparamidtable_detail.begin(), olparamidtable_detail.end(),
                               [id](const ParamIdEntry& row) { return row.id == id; });
  return it == olparamidtable_detail.end() ? nullptr : &*it;
}

}  // namespace

std::string GetParamName(QXOL_PARAM_ID id) {
  const ParamIdEntry* row = FindRow(id);
  return row != nullptr ? std::string(row->name) : std::string("UNKNOWN");
}

ParamType FindParamType(QXOL_PARAM_ID id) {
  const ParamIdEntry* row = FindRow(id);
  if (row == nullptr) {
    Log(kError, "Unknown QXOL_PARAM_ID: {}", id);
    return ParamType::kUnknown;
  }
  return row->type;
}

ParamType GetParamType(QXOL_PARAM_ID id) {
  const auto bits = static_cast<std::uint32_t>(id);
  if ((bits & QXOL_PARAM_PRIVATE_BIT) == 0) return FindParamType(id);
  // Private IDs are trusted by their bits, listed or not; the first set bit wins.
  if ((bits & QXOL_PARAM_PRIVATE_BOL) != 0) return ParamType::kBol;
  if ((bits & QXOL_PARAM_PRIVATE_S32) != 0) return ParamType::kS32;
  if ((bits & QXOL_PARAM_PRIVATE_U08) != 0) return ParamType::kU08;
  if ((bits & QXOL_PARAM_PRIVATE_STR) != 0) return ParamType::kStr;
  return ParamType::kUnknown;
}

std::optional<QXOL_PARAM_ID> FindParamIdByName(std::string_view name) {
  for (const ParamIdEntry& row : olparamidtable_detail) {
    if (name == row.name) return row.id;
  }
  return std::nullopt;
}

std::size_t ParamElementSize(ParamType type) noexcept {
  switch (type) {
    case ParamType::kBol:
    case ParamType::kS32:
      return 4;
    case ParamType::kU08:
    case ParamType::kStr:
      return 1;
    case ParamType::kUnknown:
      break;
  }
  return 0;
}

}  // namespace tavik
