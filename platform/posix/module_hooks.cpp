// The load and unload steps of the shared object: a constructor and a destructor function, run
// by the dynamic loader after and before the C++ run-time's own start-up and shutdown of this
// object. Nothing may escape into the loader, so every exception stops here.
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
    // Nothing to undo: the process is releasing the module.
  }
}

} // namespace
