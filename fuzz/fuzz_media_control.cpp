// The media control document: parse any text and translate its print-mode
// index against a parameter store with several print modes. The answer is
// always -1, the index as given, or one of the store's print modes.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "api/tavik_api.h"
#include "fuzz_support.h"
#include "params/pid_resource_loader.h"
#include "pmi/media_info.h"

namespace {

namespace fs = std::filesystem;

// Modes that agree and disagree with each other in every compared parameter,
// including a multi-value one.
constexpr const char kResource[] = R"({"pid": {"version": 1,
  "elements": {"QXIDS32_H_HALFTONE_TYPE": 3},
  "perpmi": {
    "0": {"QXIDS32_PRT_RES_X": 1440, "QXIDS32_PRT_RES_Y": 720, "QXIDS32_PRT_MEDIA_TYPE": 5},
    "1": {"QXIDS32_PRT_RES_X": 1440, "QXIDS32_PRT_RES_Y": 720, "QXIDS32_PRT_MEDIA_TYPE": 7},
    "3": {"QXIDS32_PRT_RES_X": 1440, "QXIDS32_PRT_RES_Y": 1440, "QXIDS32_H_SUPPORT_INTENT": 2,
          "QXIDS32_H_HALFTONE_TYPE": 5, "QXIDS32_TV_H_DRV_MWSP": 9, "QXIDS32_TV_H_DRV_MWSP2": 1},
    "4": {"QXIDS32_PRT_RES_Y": 2880},
    "6": {"QXIDS32_PRT_RES_X": [600, 1200], "QXIDS32_PRT_RES_Y": 600},
    "7": {"QXIDS32_PRT_RES_X": 360, "QXIDS32_PRT_RES_Y": 360, "QXIDS32_H_SUPPORT_INTENT": 90}
  }}})";

tavik::TavikApi& Api() {
  static tavik::TavikApi* api = [] {
    auto* created = new tavik::TavikApi();
    const fs::path path = tavik::fuzz::ScratchDirectory() / "modes.json";
    tavik::fuzz::WriteFile(path, reinterpret_cast<const std::uint8_t*>(kResource),
                           sizeof kResource - 1);
    tavik::PidResourceLoader::Load(created->options_, path.string());
    return created;
  }();
  return *api;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tavik::fuzz::QuietLogs();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tavik::TavikApi& api = Api();
  FuzzedDataProvider input(data, size);
  // Mostly indexes the documents are likely to name, sometimes any.
  const std::int32_t pmi_on_mpk = input.ConsumeBool() ? input.ConsumeIntegralInRange(-2, 12)
                                                      : input.ConsumeIntegral<std::int32_t>();
  const std::string text = input.ConsumeRemainingBytesAsString();

  (void)tavik::LoadMediaInfo(text.c_str());
  (void)tavik::ReduceIntentList(text.c_str());

  const QXOL_HANDLE handle = static_cast<tavik::orlen::OrlenApi*>(&api);
  const std::int32_t pmi = QXTV_CalcPrivatePMI(handle, pmi_on_mpk, text.c_str());
  const std::vector<std::int32_t> modes = api.options_.GetPmIndexes();
  if (pmi != -1 && pmi != pmi_on_mpk && std::find(modes.begin(), modes.end(), pmi) == modes.end()) {
    tavik::fuzz::Fail("print mode " + std::to_string(pmi) + " is neither given nor stored");
  }
  return 0;
}
