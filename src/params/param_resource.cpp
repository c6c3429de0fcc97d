// The instance's use of the parameter resource file and of the log-level parameter.
#include "api/tavik_api.h"
#include "config/diagnostics.h"
#include "config/log.h"
#include "config/paths.h"
#include "params/pid_resource_loader.h"

namespace tavik {

void TavikApi::LoadParamResource() {
  const auto resource = configuration_.GetKnown(TV_RSC);
  if (!resource) return;
  options_.Clear();
  PidResourceLoader::Load(options_, ResolvePath(*resource));
}

void TavikApi::ApplyLogLevelParameter() {
  const auto level = options_.GetParam(QXIDS32_TV_HTM_LOG_LEVEL_FILTER);
  if (!level) return;
  if (!SetLogLevel(*level)) {
    Log(kError, "QXIDS32_TV_HTM_LOG_LEVEL_FILTER ({}) is not supported id.", *level);
  }
}

}  // namespace tavik
