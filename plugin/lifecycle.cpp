// The module's load and unload steps, run by the platform's load hooks.
#include "analysis/analysis_cache.h"
#include "analysis/line_counter.h"
#include "base/never_destroyed.h"
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
  // The only release of the records' strings: they are never destroyed, so this also holds when
  // it runs after the run-time's shutdown, as it does when the host exits with the module loaded.
  renew(settings);
  renew(analysisCache);
  platform::destroyValueLock();
}

} // namespace linepeek
