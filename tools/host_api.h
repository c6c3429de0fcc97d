// What the host tools know of the library: result code names and the
// parameter catalogue by name, without linking the library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "qxol.h"

namespace tavik_tools {

// "QXOL_ERR_INVALID_COUNT (0x03000000)".
std::string ResultText(std::int32_t result);

// "QXOL_ERR_INVALID_COUNT (0x03000000) from QXOL_StartPage".
std::string CallFailure(std::int32_t result, std::string_view function);

struct ParamRow {
  std::int32_t id;
  int type;  // QXOL_PARAM_TYPE
  const char* name;
};

std::optional<ParamRow> FindParam(std::string_view name);

// A parameter value as QXOL_SetValue takes it: elements of the parameter's
// type and their count.
struct ParamValue {
  std::vector<std::int32_t> ints;    // BOL and S32
  std::vector<unsigned char> bytes;  // U08 and STR
  const void* data() const {
    return ints.empty() ? static_cast<const void*>(bytes.data())
                        : static_cast<const void*>(ints.data());
  }
  std::int32_t count() const {
    return static_cast<std::int32_t>(ints.empty() ? bytes.size() : ints.size());
  }
};

// Parses "NAME=VALUE": BOL takes true/false/on/off/1/0, S32 integers (decimal
// or 0x hex), U08 integers 0..255, all three as comma-separated lists; STR
// takes the text as it stands. Fails with a message for the user.
bool ParseSetting(std::string_view setting, ParamRow& row, ParamValue& value, std::string& error);

}  // namespace tavik_tools
