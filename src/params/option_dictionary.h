// The instance's parameter store: one general table and one table per print
// mode index (PMI), each mapping a parameter ID to a typed array of values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <type_traits>
#include <variant>
#include <vector>

#include "params/param_catalogue.h"

namespace tavik {

// A stored value remembers the element type it was stored with; it is never empty.
using ParamValue =
    std::variant<std::vector<std::int32_t>, std::vector<unsigned char>, std::vector<char>>;
using ParamTable = std::map<std::int32_t, ParamValue>;

// Every stored entry of one ID: the general one and that of each per-PMI table.
struct ParamEntries {
  std::optional<ParamValue> general;
  std::map<std::int32_t, std::optional<ParamValue>> per_pmi;
};

// Element types are std::int32_t (BOL and S32), unsigned char (U08) and char (STR).
// Counts are element counts. A null pointer or a count of 0 removes the entry.
// Whenever the general table holds QXIDS32_HTM_PRINTMODE_INDEX, its first element is
// the current PMI: reads prefer that PMI's table, and general writes are mirrored
// into it when it exists.
class OptionDictionary {
 public:
  OptionDictionary() = default;
  virtual ~OptionDictionary() = default;
  OptionDictionary(const OptionDictionary&) = default;
  OptionDictionary& operator=(const OptionDictionary&) = default;

  // Stores (mirrored into the current PMI's table) or removes a general value of element type T.
  template <typename T>
  void SetParams(QXOL_PARAM_ID id, const std::type_identity_t<T>* values, std::size_t num);
  // Stores or removes a value in the table of `pmi`; creates the table on the first store.
  template <typename T>
  void SetParamsPerPmi(std::int32_t pmi, QXOL_PARAM_ID id, const std::type_identity_t<T>* values,
                       std::size_t num);

  // Typed SetParams with the element type the parameter's type selects; logs unknown IDs.
  void SetParams(QXOL_PARAM_ID id, const void* values, std::size_t num);
  // Typed SetParamsPerPmi with the element type the parameter's type selects.
  void SetParamsPerPmi(std::int32_t pmi, QXOL_PARAM_ID id, const void* values, std::size_t num);

  // Stores one value, converted to the element type the parameter's type selects.
  template <typename T>
  void SetParams(QXOL_PARAM_ID id, std::type_identity_t<T> value);
  // Stores one value in the table of `pmi`, converted as the parameter's type selects.
  template <typename T>
  void SetParamsPerPmi(std::int32_t pmi, QXOL_PARAM_ID id, std::type_identity_t<T> value);
  // Removes the general entry of `id` (T must be std::int32_t).
  template <typename T>
  void SetParams(QXOL_PARAM_ID id);

  // Value of `id` (current PMI's table first, then general); throws std::out_of_range when the
  // current PMI has no table and std::bad_variant_access for a per-PMI value of another type.
  template <typename T>
  std::optional<std::vector<T>> GetParams(QXOL_PARAM_ID id) const;
  // Value of `id` in the table of `pmi`, else the general one; throws std::out_of_range when
  // `pmi` has no table (T must be std::int32_t).
  template <typename T>
  std::optional<std::vector<T>> GetParamsPerPmi(std::int32_t pmi, QXOL_PARAM_ID id) const;
  // First element of GetParams<std::int32_t>(id); logs when the value holds more than one.
  std::optional<std::int32_t> GetParam(QXOL_PARAM_ID id) const;
  // PMIs that have a table, ascending, including tables that have become empty.
  std::vector<std::int32_t> GetPmIndexes() const;
  // Empties the general table and every per-PMI table.
  void Clear();

  // Copies every entry of `id`, for putting them back unchanged with RestoreEntries.
  ParamEntries SaveEntries(QXOL_PARAM_ID id) const;
  // Puts the entries of `id` back exactly as saved (no mirror write), erasing those that were
  // absent.
  void RestoreEntries(QXOL_PARAM_ID id, const ParamEntries& saved);

  const ParamTable& general_params() const { return general_params_; }
  const std::map<std::int32_t, ParamTable>& pmi_params() const { return pmi_params_; }

 private:
  std::optional<std::int32_t> CurrentPmi() const;
  void SetDispatched(QXOL_PARAM_ID id, ParamType type, const void* values, std::size_t num);
  void SetDispatchedPerPmi(std::int32_t pmi, QXOL_PARAM_ID id, ParamType type, const void* values,
                           std::size_t num);

  ParamTable general_params_;
  std::map<std::int32_t, ParamTable> pmi_params_;
};

}  // namespace tavik
