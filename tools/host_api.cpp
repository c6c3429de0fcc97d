#include "host_api.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace tavik_tools {

namespace {

constexpr ParamRow kRows[] = {
#define QXOL_PARAM_ROW(id, type, name) {static_cast<std::int32_t>(id), type, #name},
#include "qxol_param_rows.h"
#undef QXOL_PARAM_ROW
};

bool ParseInteger(std::string_view text, std::int64_t low, std::int64_t high, std::int64_t& out) {
  const std::string s(text);
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(s.c_str(), &end, 0);
  if (errno != 0 || end == s.c_str() || *end != '\0' || v < low || v > high) return false;
  out = v;
  return true;
}

std::vector<std::string_view> SplitCommas(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    std::string_view part =
        text.substr(start, comma == std::string_view::npos ? comma : comma - start);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    parts.push_back(part);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return parts;
}

}  // namespace

std::string ResultText(std::int32_t result) {
  const char* name = "unknown result";
  switch (result) {
    case QXOL_OK:
      name = "QXOL_OK";
      break;
    case QXOL_ERR_NOT_SUPPORTED:
      name = "QXOL_ERR_NOT_SUPPORTED";
      break;
    case QXOL_ERR_BUFFER_TOO_SMALL:
      name = "QXOL_ERR_BUFFER_TOO_SMALL";
      break;
    case QXOL_ERR_INVALID_COUNT:
      name = "QXOL_ERR_INVALID_COUNT";
      break;
    case QXOL_ERR_INVALID_ARGUMENT:
      name = "QXOL_ERR_INVALID_ARGUMENT";
      break;
    case QXOL_ERR_INIT_FAILED:
      name = "QXOL_ERR_INIT_FAILED";
      break;
    case QXOL_ERR_INTERNAL:
      name = "QXOL_ERR_INTERNAL";
      break;
    case QXOL_ERR_CALIB_MODULE_1:
      name = "QXOL_ERR_CALIB_MODULE_1";
      break;
    case QXOL_ERR_CALIB_MODULE_2:
      name = "QXOL_ERR_CALIB_MODULE_2";
      break;
    default:
      break;
  }
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(result));
  return std::string(name) + " (" + hex + ")";
}

std::string CallFailure(std::int32_t result, std::string_view function) {
  return ResultText(result) + " from " + std::string(function);
}

std::optional<ParamRow> FindParam(std::string_view name) {
  for (const ParamRow& row : kRows) {
    if (name == row.name) return row;
  }
  return std::nullopt;
}

bool ParseSetting(std::string_view setting, ParamRow& row, ParamValue& value, std::string& error) {
  const std::size_t eq = setting.find('=');
  if (eq == std::string_view::npos || eq == 0) {
    error = "setting '" + std::string(setting) + "' is not NAME=VALUE";
    return false;
  }
  const std::string_view name = setting.substr(0, eq);
  const std::string_view text = setting.substr(eq + 1);
  const auto found = FindParam(name);
  if (!found) {
    error = "unknown parameter name '" + std::string(name) + "'";
    return false;
  }
  row = *found;
  value = ParamValue{};
  if (row.type == QXOL_TYPE_STR) {
    value.bytes.assign(text.begin(), text.end());
    return true;
  }
  if (text.empty()) {
    error = "no value for " + std::string(name);
    return false;
  }
  for (std::string_view part : SplitCommas(text)) {
    std::int64_t v = 0;
    if (row.type == QXOL_TYPE_BOL) {
      if (part == "true" || part == "on" || part == "1") {
        v = 1;
      } else if (part == "false" || part == "off" || part == "0") {
        v = 0;
      } else {
        error = std::string(name) + " takes true or false, not '" + std::string(part) + "'";
        return false;
      }
      value.ints.push_back(static_cast<std::int32_t>(v));
    } else if (row.type == QXOL_TYPE_S32) {
      // Hexadecimal IDs up to 0xFFFFFFFF are accepted and kept as their 32 bits.
      if (!ParseInteger(part, std::numeric_limits<std::int32_t>::min(),
                        std::numeric_limits<std::uint32_t>::max(), v)) {
        error = std::string(name) + " takes 32-bit integers, not '" + std::string(part) + "'";
        return false;
      }
      value.ints.push_back(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
    } else {
      if (!ParseInteger(part, 0, 255, v)) {
        error = std::string(name) + " takes bytes 0..255, not '" + std::string(part) + "'";
        return false;
      }
      value.bytes.push_back(static_cast<unsigned char>(v));
    }
  }
  return true;
}

}  // namespace tavik_tools
