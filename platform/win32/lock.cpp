// The value lock as a critical section. It lives in static storage, so entering it needs no
// allocation; it is initialised at load and deleted at unload, never in between.
#include "platform/platform.h"

#include <windows.h>

namespace linepeek::platform {
namespace {
CRITICAL_SECTION valueLock;
} // namespace

void createValueLock() {
  InitializeCriticalSection(&valueLock);
}
void destroyValueLock() {
  DeleteCriticalSection(&valueLock);
}
void enterValueLock() {
  EnterCriticalSection(&valueLock);
}
void leaveValueLock() {
  LeaveCriticalSection(&valueLock);
}

} // namespace linepeek::platform
