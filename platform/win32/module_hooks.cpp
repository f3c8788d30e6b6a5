// The DLL's load and unload hooks. The loader lock is held here, so the hooks stay short and
// nothing may escape into the loader.
#include <windows.h>

#include "platform/platform.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE /*module*/, DWORD reason, LPVOID reserved) noexcept {
  try {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
      linepeek::onLoad();
      break;
    case DLL_PROCESS_DETACH:
      // A non-null `reserved` means the process is ending: other threads are already gone,
      // perhaps in the middle of a request, and the system reclaims all memory anyway.
      if (reserved == nullptr) linepeek::onUnload();
      break;
    default:
      break;
    }
  } catch (...) {
    // A failed load refuses the module rather than serving requests half set up; the run-time
    // then calls the detach step, which tolerates a partial load.
    return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
  }
  return TRUE;
}
