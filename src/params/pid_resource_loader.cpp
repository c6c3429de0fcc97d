#include "params/pid_resource_loader.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/log.h"
#include "params/signature.h"

namespace tavik {

namespace {

using nlohmann::json;

// Any value the resource cannot hold for its parameter. The load guard catches
// it and ends the loading quietly.
[[noreturn]] void Refuse() {
  throw std::invalid_argument("resource value of the wrong type");
}

// The low 32 bits of a number (a fraction truncated toward zero first), or 1/0
// for a truth value. The reduction is done exactly, so no value, however large,
// reaches an out-of-range floating conversion.
std::uint32_t LowBits(const json& value) {
  switch (value.type()) {
    case json::value_t::boolean:
      return value.get<bool>() ? 1u : 0u;
    case json::value_t::number_integer:
      return static_cast<std::uint32_t>(value.get<std::int64_t>());
    case json::value_t::number_unsigned:
      return static_cast<std::uint32_t>(value.get<std::uint64_t>());
    case json::value_t::number_float: {
      const double truncated = std::trunc(value.get<double>());
      if (!std::isfinite(truncated)) Refuse();
      constexpr double kModulus = 4294967296.0;
      double low = std::fmod(truncated, kModulus);
      if (low < 0) low += kModulus;
      return static_cast<std::uint32_t>(low);
    }
    default:
      Refuse();
  }
}

std::int32_t ToInt32(const json& value) {
  return static_cast<std::int32_t>(LowBits(value));
}

std::int32_t ToTruth(const json& value) {
  if (!value.is_boolean()) Refuse();
  return value.get<bool>() ? 1 : 0;
}

// Where the values of one JSON object go: the general table or one PMI's table.
class Target {
 public:
  Target(OptionDictionary& dictionary, std::optional<std::int32_t> pmi)
      : dictionary_(dictionary), pmi_(pmi) {}

  void Array(QXOL_PARAM_ID id, const void* values, std::size_t count) {
    if (pmi_) {
      dictionary_.SetParamsPerPmi(*pmi_, id, values, count);
    } else {
      dictionary_.SetParams(id, values, count);
    }
  }

  template <typename T>
  void Single(QXOL_PARAM_ID id, T value) {
    if (pmi_) {
      dictionary_.SetParamsPerPmi<T>(*pmi_, id, value);
    } else {
      dictionary_.SetParams<T>(id, value);
    }
  }

 private:
  OptionDictionary& dictionary_;
  std::optional<std::int32_t> pmi_;
};

template <typename T, typename Convert>
std::vector<T> ConvertEntries(const json& array, Convert convert) {
  std::vector<T> elements;
  elements.reserve(array.size());
  for (const json& entry : array) elements.push_back(static_cast<T>(convert(entry)));
  return elements;
}

template <typename T>
void StoreArray(Target& target, QXOL_PARAM_ID id, const std::vector<T>& elements) {
  target.Array(id, elements.data(), elements.size());
}

// The accepted JSON forms follow the catalogue row's type, which for the one
// private ID whose bits disagree is the row's truth value.
void StoreValue(Target& target, QXOL_PARAM_ID id, ParamType type, const json& value) {
  if (value.is_array()) {
    switch (type) {
      case ParamType::kBol:
        StoreArray(target, id, ConvertEntries<std::int32_t>(value, ToTruth));
        return;
      case ParamType::kS32:
        StoreArray(target, id, ConvertEntries<std::int32_t>(value, ToInt32));
        return;
      case ParamType::kU08:
        StoreArray(target, id, ConvertEntries<unsigned char>(value, LowBits));
        return;
      default:
        Refuse();
    }
  }
  if (value.is_string()) {
    if (type != ParamType::kStr) Refuse();
    const std::string& text = value.get_ref<const std::string&>();
    target.Array(id, text.data(), text.size());
    return;
  }
  if (!value.is_number() && !value.is_boolean()) Refuse();
  switch (type) {
    case ParamType::kBol:
      target.Single<std::int32_t>(id, ToTruth(value));
      return;
    case ParamType::kS32:
      target.Single<std::int32_t>(id, ToInt32(value));
      return;
    case ParamType::kU08:
      target.Single<unsigned char>(id, static_cast<unsigned char>(LowBits(value)));
      return;
    case ParamType::kStr:
      target.Single<char>(id, static_cast<char>(static_cast<unsigned char>(LowBits(value))));
      return;
    case ParamType::kUnknown:
      break;
  }
  Refuse();
}

// `null` and an empty array stand for "no values"; anything else that is not an
// object cannot be read and ends the loading.
bool IsNothing(const json& value) {
  return value.is_null() || (value.is_array() && value.empty());
}

const json& Member(const json& object, const char* name) {
  static const json kNull;
  if (object.is_null()) return kNull;
  if (!object.is_object()) Refuse();
  const auto it = object.find(name);
  return it == object.end() ? kNull : *it;
}

void LoadMembers(OptionDictionary& dictionary, const json& pid, const char* signature) {
  const json& elements = Member(pid, "elements");
  if (elements.is_object()) {
    Target general(dictionary, std::nullopt);
    for (auto it = elements.begin(); it != elements.end(); ++it) {
      const std::optional<QXOL_PARAM_ID> id = FindParamIdByName(it.key());
      if (!id) {
        Log(kError, "Not Support ParamID: {}", it.key());
        continue;
      }
      const ParamType type = FindParamType(*id);
      if (type == ParamType::kUnknown) {
        Log(kError, "TODO: {}", signature);
        continue;
      }
      StoreValue(general, *id, type, it.value());
    }
  } else if (!IsNothing(elements)) {
    Refuse();
  }

  const json& perpmi = Member(pid, "perpmi");
  if (perpmi.is_object()) {
    for (auto mode = perpmi.begin(); mode != perpmi.end(); ++mode) {
      // Read like strtol: leading blanks and a sign, digits up to the first
      // other character; no digits or out of range ends the loading.
      const std::int32_t pmi = std::stoi(mode.key(), nullptr, 10);
      const json& values = mode.value();
      if (!values.is_object()) {
        if (!IsNothing(values)) Refuse();
        continue;
      }
      Target table(dictionary, pmi);
      for (auto it = values.begin(); it != values.end(); ++it) {
        const std::optional<QXOL_PARAM_ID> id = FindParamIdByName(it.key());
        const ParamType type = id ? FindParamType(*id) : ParamType::kUnknown;
        if (type == ParamType::kUnknown) {
          Log(kError, "TODO: {}", signature);
          continue;
        }
        StoreValue(table, *id, type, it.value());
      }
    }
  } else if (!IsNothing(perpmi)) {
    Refuse();
  }
}

}  // namespace

void PidResourceLoader::Load(OptionDictionary& dictionary, std::string_view path) {
  std::ifstream stream{std::string(path), std::ios::in | std::ios::binary};
  // A stream that failed to open reads as empty input, which the parser
  // refuses like any other invalid document.
  const json document = json::parse(stream);
  Log(kInfo, "resource path: {}", path);

  json pid;
  if (document.is_object()) {
    if (const auto it = document.find("pid"); it != document.end()) pid = *it;
  } else if (!document.is_null()) {
    Log(kError, "couldn't load resource: \"pid\"");
  }

  const json* version = nullptr;
  if (pid.is_object()) {
    if (const auto it = pid.find("version"); it != pid.end()) version = &*it;
  }
  if (version == nullptr || !(version->is_number() || version->is_boolean())) {
    Log(kError, "couldn't load resource: \"version\"");
  }

  try {
    LoadMembers(dictionary, pid, TAVIK_SIGNATURE);
  } catch (...) {
    // Whatever was stored before the failing value stays; the rest is dropped.
  }
}

}  // namespace tavik
