// The load and unload steps of the shared object: a constructor and a destructor function.
// Linux: ELF runs them from .init_array and .fini_array, at dlopen/dlclose and at exit.
// Nothing may escape into the dynamic loader, so every exception stops here.
#include "platform/posix/load_hooks.h"

#include "platform/platform.h"

namespace linepeek::platform::posix {

const int LoadHooksAnchor = 0;

} // namespace linepeek::platform::posix

namespace {

__attribute__((constructor)) void linepeekModuleLoad() noexcept {
  try {
    linepeek::onLoad();
  } catch (...) {
    // A failed load leaves the defaults in place; the loader cannot be told.
  }
}

__attribute__((destructor)) void linepeekModuleUnload() noexcept {
  try {
    linepeek::onUnload();
  } catch (...) {
    // Nothing to undo: the module is going away.
  }
}

} // namespace
