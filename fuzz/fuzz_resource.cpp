// The JSON parameter resource: load any text into a parameter store and read
// back everything the store then holds, in every print mode.
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <variant>

#include "fuzz_support.h"
#include "params/option_dictionary.h"
#include "params/pid_resource_loader.h"

namespace {

namespace fs = std::filesystem;

// A value stored with one element type and read with another is refused by
// the store; that refusal is not what is looked for here.
template <typename T>
void Read(const tavik::OptionDictionary& store, QXOL_PARAM_ID id) {
  try {
    (void)store.GetParams<T>(id);
  } catch (const std::bad_variant_access&) {
  } catch (const std::out_of_range&) {
    // The current print mode names a table the store does not have.
  }
}

void ReadAll(const tavik::OptionDictionary& store) {
  for (const tavik::ParamIdEntry& row : tavik::olparamidtable_detail) {
    switch (row.type) {
      case tavik::ParamType::kBol:
      case tavik::ParamType::kS32:
        Read<std::int32_t>(store, row.id);
        break;
      case tavik::ParamType::kU08:
        Read<unsigned char>(store, row.id);
        break;
      case tavik::ParamType::kStr:
        Read<char>(store, row.id);
        break;
      case tavik::ParamType::kUnknown:
        break;
    }
  }
  for (const std::int32_t pmi : store.GetPmIndexes()) {
    for (const auto& [id, value] : store.pmi_params().at(pmi)) {
      if (std::holds_alternative<std::vector<std::int32_t>>(value)) {
        (void)store.GetParamsPerPmi<std::int32_t>(pmi, id);
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tavik::fuzz::QuietLogs();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fs::path path = tavik::fuzz::ScratchDirectory() / "resource.json";
  tavik::fuzz::WriteFile(path, data, size);

  tavik::OptionDictionary store;
  try {
    tavik::PidResourceLoader::Load(store, path.string());
  } catch (const nlohmann::json::exception&) {
    // Text that is no JSON document is refused as a whole.
    return 0;
  }
  ReadAll(store);
  return 0;
}
