#include "params/option_dictionary.h"

#include <stdexcept>

#include "config/log.h"
#include "params/signature.h"

namespace tavik {

namespace {

constexpr QXOL_PARAM_ID kPrintModeIndexId = QXIDS32_HTM_PRINTMODE_INDEX;

// A negative host count arrives here widened to a huge size. Refusing it before
// any pointer arithmetic keeps the copy from reading past the caller's buffer.
template <typename T>
std::vector<T> CopyElements(const T* values, std::size_t num) {
  if (num > std::vector<T>().max_size()) {
    throw std::length_error("cannot create std::vector larger than max_size()");
  }
  return std::vector<T>(values, values + num);
}

template <typename T>
std::optional<std::vector<T>> CopyGeneral(const ParamTable& general, QXOL_PARAM_ID id) {
  const auto it = general.find(id);
  if (it == general.end()) {
    Log(kInfo, "Not registrated QXOL_PARAM_ID: {}({})", GetParamName(id), id);
    return std::nullopt;
  }
  try {
    return std::get<std::vector<T>>(it->second);
  } catch (const std::bad_variant_access&) {
    Log(kCritical, "type mismatch");
  } catch (...) {
    Log(kCritical, "unknown");
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::int32_t> OptionDictionary::CurrentPmi() const {
  const auto it = general_params_.find(kPrintModeIndexId);
  if (it == general_params_.end()) return std::nullopt;
  return std::visit(
      [](const auto& elements) -> std::optional<std::int32_t> {
        if (elements.empty()) return std::nullopt;
        return static_cast<std::int32_t>(elements.front());
      },
      it->second);
}

template <typename T>
void OptionDictionary::SetParams(QXOL_PARAM_ID id, const std::type_identity_t<T>* values,
                                 std::size_t num) {
  Log(kTrace, "{}", TAVIK_SIGNATURE);
  Log(kTrace, "id: {}, value: {}, num: {}", id, AsPtr(values), num);
  if (values == nullptr || num == 0) {
    general_params_.erase(id);
    return;
  }
  // The PMI is taken before the store, so changing the print mode itself is
  // recorded in the table of the mode being left.
  if (const auto pmi = CurrentPmi(); pmi && pmi_params_.contains(*pmi)) {
    SetParamsPerPmi<T>(*pmi, id, values, num);
  }
  general_params_.insert_or_assign(id, ParamValue(CopyElements<T>(values, num)));
}

template <typename T>
void OptionDictionary::SetParamsPerPmi(std::int32_t pmi, QXOL_PARAM_ID id,
                                       const std::type_identity_t<T>* values, std::size_t num) {
  Log(kTrace, "{}", TAVIK_SIGNATURE);
  Log(kTrace, "id: {}, value: {}, num: {}", id, AsPtr(values), num);
  if (values == nullptr || num == 0) {
    // The table itself stays, so the PMI is still reported as defined.
    if (const auto it = pmi_params_.find(pmi); it != pmi_params_.end()) it->second.erase(id);
    return;
  }
  ParamValue value(CopyElements<T>(values, num));
  pmi_params_[pmi].insert_or_assign(id, std::move(value));
}

void OptionDictionary::SetDispatched(QXOL_PARAM_ID id, ParamType type, const void* values,
                                     std::size_t num) {
  switch (type) {
    case ParamType::kBol:
    case ParamType::kS32:
      SetParams<std::int32_t>(id, static_cast<const std::int32_t*>(values), num);
      return;
    case ParamType::kU08:
      SetParams<unsigned char>(id, static_cast<const unsigned char*>(values), num);
      return;
    case ParamType::kStr:
      SetParams<char>(id, static_cast<const char*>(values), num);
      return;
    case ParamType::kUnknown:
      break;
  }
  Log(kError, "Unknown QXOL_PARAM_ID: {}", id);
}

void OptionDictionary::SetDispatchedPerPmi(std::int32_t pmi, QXOL_PARAM_ID id, ParamType type,
                                           const void* values, std::size_t num) {
  switch (type) {
    case ParamType::kBol:
    case ParamType::kS32:
      SetParamsPerPmi<std::int32_t>(pmi, id, static_cast<const std::int32_t*>(values), num);
      return;
    case ParamType::kU08:
      SetParamsPerPmi<unsigned char>(pmi, id, static_cast<const unsigned char*>(values), num);
      return;
    case ParamType::kStr:
      SetParamsPerPmi<char>(pmi, id, static_cast<const char*>(values), num);
      return;
    case ParamType::kUnknown:
      break;
  }
  Log(kError, "Unknown QXOL_PARAM_ID: {}", id);
}

void OptionDictionary::SetParams(QXOL_PARAM_ID id, const void* values, std::size_t num) {
  Log(kTrace, "{}", TAVIK_SIGNATURE);
  SetDispatched(id, GetParamType(id), values, num);
}

void OptionDictionary::SetParamsPerPmi(std::int32_t pmi, QXOL_PARAM_ID id, const void* values,
                                       std::size_t num) {
  Log(kTrace, "{}", TAVIK_SIGNATURE);
  SetDispatchedPerPmi(pmi, id, GetParamType(id), values, num);
}

namespace {

// One value converted to each element type; the parameter's type picks which
// one is stored, so a form that does not match the type never hands the store
// a pointer to fewer bytes than it reads.
struct SingleValue {
  template <typename T>
  explicit SingleValue(T value)
      : as_int32(static_cast<std::int32_t>(value)),
        as_byte(static_cast<unsigned char>(value)),
        as_char(static_cast<char>(value)) {}

  const void* For(ParamType type) const {
    switch (type) {
      case ParamType::kBol:
      case ParamType::kS32:
        return &as_int32;
      case ParamType::kU08:
        return &as_byte;
      case ParamType::kStr:
        return &as_char;
      case ParamType::kUnknown:
        break;
    }
    return nullptr;
  }

  std::int32_t as_int32;
  unsigned char as_byte;
  char as_char;
};

}  // namespace

template <typename T>
void OptionDictionary::SetParams(QXOL_PARAM_ID id, std::type_identity_t<T> value) {
  Log(kTrace, "{}", TAVIK_SIGNATURE);
  const ParamType type = GetParamType(id);
  const SingleValue single(value);
  SetDispatched(id, type, single.For(type), 1);
}

template <typename T>
void OptionDictionary::SetParamsPerPmi(std::int32_t pmi, QXOL_PARAM_ID id,
                                       std::type_identity_t<T> value) {
  Log(kTrace, "{}", TAVIK_SIGNATURE);
  const ParamType type = GetParamType(id);
  const SingleValue single(value);
  SetDispatchedPerPmi(pmi, id, type, single.For(type), 1);
}

template <typename T>
void OptionDictionary::SetParams(QXOL_PARAM_ID id) {
  static_assert(std::is_same_v<T, std::int32_t>, "removal is spelled SetParams<std::int32_t>(id)");
  Log(kTrace, "{}", TAVIK_SIGNATURE);
  SetParams(id, static_cast<const void*>(nullptr), 0);
}

template <typename T>
std::optional<std::vector<T>> OptionDictionary::GetParams(QXOL_PARAM_ID id) const {
  Log(kTrace, "{}", TAVIK_SIGNATURE);
  if (const auto pmi = CurrentPmi()) {
    // A selected print mode without a table is a caller error that must not
    // silently fall back to the general values.
    const ParamTable& table = pmi_params_.at(*pmi);
    if (const auto it = table.find(id); it != table.end()) {
      return std::get<std::vector<T>>(it->second);
    }
  }
  return CopyGeneral<T>(general_params_, id);
}

template <typename T>
std::optional<std::vector<T>> OptionDictionary::GetParamsPerPmi(std::int32_t pmi,
                                                                QXOL_PARAM_ID id) const {
  static_assert(std::is_same_v<T, std::int32_t>, "per-PMI values are read as std::int32_t");
  Log(kTrace, "{}", TAVIK_SIGNATURE);
  const ParamTable& table = pmi_params_.at(pmi);
  if (const auto it = table.find(id); it != table.end()) {
    try {
      return std::get<std::vector<T>>(it->second);
    } catch (const std::bad_variant_access&) {
      Log(kCritical, "type mismatch");
    } catch (...) {
      Log(kCritical, "unknown");
    }
    return std::nullopt;
  }
  return CopyGeneral<T>(general_params_, id);
}

std::optional<std::int32_t> OptionDictionary::GetParam(QXOL_PARAM_ID id) const {
  const auto values = GetParams<std::int32_t>(id);
  if (!values) return std::nullopt;
  if (values->size() >= 2) Log(kInfo, "param is multi value, size: {}", values->size());
  return values->front();
}

std::vector<std::int32_t> OptionDictionary::GetPmIndexes() const {
  std::vector<std::int32_t> indexes;
  indexes.reserve(pmi_params_.size());
  for (const auto& entry : pmi_params_) indexes.push_back(entry.first);
  return indexes;
}

void OptionDictionary::Clear() {
  general_params_.clear();
  pmi_params_.clear();
}

ParamEntries OptionDictionary::SaveEntries(QXOL_PARAM_ID id) const {
  ParamEntries saved;
  if (const auto it = general_params_.find(id); it != general_params_.end()) {
    saved.general = it->second;
  }
  for (const auto& [pmi, table] : pmi_params_) {
    const auto it = table.find(id);
    saved.per_pmi.emplace(pmi, it == table.end() ? std::nullopt : std::optional(it->second));
  }
  return saved;
}

void OptionDictionary::RestoreEntries(QXOL_PARAM_ID id, const ParamEntries& saved) {
  if (saved.general) {
    general_params_.insert_or_assign(id, *saved.general);
  } else {
    general_params_.erase(id);
  }
  for (auto& [pmi, table] : pmi_params_) {
    const auto it = saved.per_pmi.find(pmi);
    if (it != saved.per_pmi.end() && it->second) {
      table.insert_or_assign(id, *it->second);
    } else {
      table.erase(id);
    }
  }
}

template void OptionDictionary::SetParams<std::int32_t>(QXOL_PARAM_ID, const std::int32_t*,
                                                        std::size_t);
template void OptionDictionary::SetParams<unsigned char>(QXOL_PARAM_ID, const unsigned char*,
                                                         std::size_t);
template void OptionDictionary::SetParams<char>(QXOL_PARAM_ID, const char*, std::size_t);
template void OptionDictionary::SetParamsPerPmi<std::int32_t>(std::int32_t, QXOL_PARAM_ID,
                                                              const std::int32_t*, std::size_t);
template void OptionDictionary::SetParamsPerPmi<unsigned char>(std::int32_t, QXOL_PARAM_ID,
                                                               const unsigned char*, std::size_t);
template void OptionDictionary::SetParamsPerPmi<char>(std::int32_t, QXOL_PARAM_ID, const char*,
                                                      std::size_t);
template void OptionDictionary::SetParams<std::int32_t>(QXOL_PARAM_ID, std::int32_t);
template void OptionDictionary::SetParams<unsigned char>(QXOL_PARAM_ID, unsigned char);
template void OptionDictionary::SetParams<char>(QXOL_PARAM_ID, char);
template void OptionDictionary::SetParamsPerPmi<std::int32_t>(std::int32_t, QXOL_PARAM_ID,
                                                              std::int32_t);
template void OptionDictionary::SetParamsPerPmi<unsigned char>(std::int32_t, QXOL_PARAM_ID,
                                                               unsigned char);
template void OptionDictionary::SetParamsPerPmi<char>(std::int32_t, QXOL_PARAM_ID, char);
template void OptionDictionary::SetParams<std::int32_t>(QXOL_PARAM_ID);
template std::optional<std::vector<std::int32_t>> OptionDictionary::GetParams<std::int32_t>(
    QXOL_PARAM_ID) const;
template std::optional<std::vector<unsigned char>> OptionDictionary::GetParams<unsigned char>(
    QXOL_PARAM_ID) const;
template std::optional<std::vector<char>> OptionDictionary::GetParams<char>(QXOL_PARAM_ID) const;
template std::optional<std::vector<std::int32_t>> OptionDictionary::GetParamsPerPmi<std::int32_t>(
    std::int32_t, QXOL_PARAM_ID) const;

}  // namespace tavik
