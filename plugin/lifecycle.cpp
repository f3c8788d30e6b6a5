// The module's load and unload steps, run by the platform's load hooks.
#include "plugin/lifecycle.h"

#include <atomic>

#include "analysis/analysis_cache.h"
#include "analysis/line_counter.h"
#include "base/never_destroyed.h"
#include "platform/platform.h"
#include "settings/settings.h"

namespace linepeek {
namespace {

// Both are constant-initialised and trivially destroyed, so they hold before the load step and
// after the run-time's shutdown. Sequentially consistent: a call and the unload step cannot both
// miss each other's mark.
std::atomic<int> callsRunning{0};
std::atomic<bool> unloading{false};

} // namespace

EntryCall::EntryCall() noexcept {
  callsRunning.fetch_add(1);
  admitted_ = !unloading.load();
}

EntryCall::~EntryCall() {
  callsRunning.fetch_sub(1);
}

void onLoad() {
  unloading.store(false);
  platform::createValueLock();
  // The CPU probe is slow on virtual machines, so it runs here once and never per request.
  selectCountKernel();
  loadSettings();
}

void onUnload() {
  unloading.store(true);
  // A call still running keeps what it reads; the process that is ending frees it.
  if (callsRunning.load() != 0) return;
  // The only release of the records' strings: they are never destroyed, so this also holds when
  // it runs after the run-time's shutdown, as it does when the host exits with the module loaded.
  renew(settings);
  renew(analysisCache);
  platform::destroyValueLock();
}

} // namespace linepeek
