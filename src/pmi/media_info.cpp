#include "pmi/media_info.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <pugixml.hpp>
#include <sstream>
#include <string>

namespace tavik {

namespace {

// One value that is not a number spoils the whole document.
struct NotNumeric {};

constexpr const char* kRegions[] = {"WW", "JP", "US", "GB", "FR", "DE"};

// Leading white space and a sign are allowed and reading stops at the first
// non-digit, as the C conversion does; but a text without a leading number, or
// one that does not fit 32 bits, is refused instead of quietly becoming 0 or
// being clamped.
std::optional<std::int32_t> ToInt32(const char* text) {
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, 10);
  if (end == text || errno == ERANGE || value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

// A whole token that is a decimal number in 32 bits, nothing else.
std::optional<std::int32_t> TokenToInt32(const std::string& token) {
  std::size_t digits = (token[0] == '+' || token[0] == '-') ? 1 : 0;
  if (digits == token.size()) return std::nullopt;
  for (std::size_t i = digits; i < token.size(); ++i) {
    if (token[i] < '0' || token[i] > '9') return std::nullopt;
  }
  return ToInt32(token.c_str());
}

// The element's value is the text of its first child node; an element
// without children (white space only counts as none) has no value.
std::optional<std::int32_t> ReadValue(pugi::xml_node element) {
  const pugi::xml_node child = element.first_child();
  if (!child) return std::nullopt;
  const auto value = ToInt32(child.value());
  if (!value) throw NotNumeric{};
  return value;
}

std::optional<std::int32_t> ReadIntent(pugi::xml_node element) {
  const pugi::xml_node child = element.first_child();
  if (!child) return std::nullopt;
  return ReduceIntentList(child.value());
}

// The regions are tried in a fixed order of preference, whatever order the
// document lists them in; only then does any element of that name count.
std::optional<std::int32_t> ReadRegional(const pugi::xml_document& document,
                                         const std::string& base) {
  for (const char* region : kRegions) {
    const std::string query = base + "[@region='" + region + "']";
    const pugi::xml_node element = document.select_node(query.c_str()).node();
    if (element.first_child()) return ReadValue(element);
  }
  return ReadValue(document.select_node(base.c_str()).node());
}

ModeInfo ReadMode(pugi::xml_node element) {
  ModeInfo mode;
  const pugi::xml_node resolution = element.child("Resolution");
  mode.ResolutionH = ReadValue(resolution.child("H")).value_or(0);
  mode.ResolutionV = ReadValue(resolution.child("V")).value_or(0);
  mode.PMI = ReadValue(element.child("PMI")).value_or(0);
  mode.Intent = ReadIntent(element.child("Intent"));
  mode.DrvDefaultIntent = ReadValue(element.child("DrvDefaultIntent"));
  mode.DrvLevel = ReadValue(element.child("DrvLevel"));
  mode.DrvBitPerColor = ReadValue(element.child("DrvBitPerColor"));
  mode.DrvMW = ReadValue(element.child("DrvMW"));
  mode.DrvMWSP = ReadValue(element.child("DrvMWSP"));
  mode.DrvProofingMode = ReadValue(element.child("DrvProofingMode"));
  mode.DrvHTType = ReadValue(element.child("DrvHTType"));
  mode.DrvOutputType = ReadValue(element.child("DrvOutputType"));
  return mode;
}

}  // namespace

std::int32_t ReduceIntentList(const char* text) {
  std::string list(text);
  for (char& c : list) {
    if (c == ',') c = ' ';
  }
  std::istringstream tokens(list);
  std::optional<std::int32_t> first;
  bool has_four = false;
  std::string token;
  while (tokens >> token) {
    const auto value = TokenToInt32(token);
    if (!value) break;
    if (!first) first = value;
    if (*value == 4) has_four = true;
  }
  if (!first || has_four) return 4;
  return *first == 11 ? 90 : *first;
}

std::optional<MediaInfo> LoadMediaInfo(const char* content) {
  pugi::xml_document document;
  // The text is UTF-8 whatever it looks like; no encoding guess.
  if (!document.load_buffer(content, std::strlen(content), pugi::parse_default,
                            pugi::encoding_utf8)) {
    return std::nullopt;
  }
  try {
    MediaInfo info;
    info.WinDrvMediaID = ReadRegional(document, "/Model/MediaInfo/WinDrvMediaID");
    info.MacDrvMediaID = ReadRegional(document, "/Model/MediaInfo/MacDrvMediaID");
    info.PrinterMediaID = ReadValue(document.select_node("/Model/MediaInfo/PrinterMediaID").node());
    pugi::xpath_node_set modes = document.select_nodes("/Model/MediaInfo/ModeInfo");
    modes.sort();
    for (const pugi::xpath_node& mode : modes) info.modes.push_back(ReadMode(mode.node()));
    return info;
  } catch (const NotNumeric&) {
    return std::nullopt;
  }
}

}  // namespace tavik
