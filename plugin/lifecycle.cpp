// The module's load and unload steps, run by the platform's load hooks.
#include "analysis/analysis_cache.h"
#include "analysis/line_counter.h"
#include "platform/platform.h"
#include "settings/settings.h"

namespace linepeek {

void onLoad() {
  platform::createValueLock();
  // The CPU probe is slow on virtual machines, so it runs here once and never per request.
  selectCountKernel();
  loadSettings();
}

void onUnload() {
  // Release the strings now rather than at static destruction, whose order the host controls.
  settings = Settings{};
  analysisCache = AnalysisCache{};
  platform::destroyValueLock();
}

} // namespace linepeek
