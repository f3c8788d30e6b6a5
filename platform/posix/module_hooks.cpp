// The load and unload steps of the shared object: a constructor and a destructor function,
// compiled into the module only. Linux: ELF runs them from .init_array and .fini_array, at
// dlopen/dlclose and at exit. The records the load step fills are constructed first whatever the
// link order (LINEPEEK_CONSTRUCTED_FIRST, base/never_destroyed.h). Nothing may escape into the
// dynamic loader, so every exception stops here.
#include "platform/platform.h"

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
