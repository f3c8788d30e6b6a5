// Bounded copies into host buffers through lstrcpyn. The API takes a capacity below 1 as a very
// large unsigned one, so those never reach it.
#include "platform/platform.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace linepeek::platform {

void copyBounded8(char* destination, const char* source, int capacity) {
  if (destination == nullptr || capacity < 1) return;
  lstrcpynA(destination, source != nullptr ? source : "", capacity);
}

void copyBounded16(char16_t* destination, const char16_t* source, int capacity) {
  if (destination == nullptr || capacity < 1) return;
  lstrcpynW(win32::asWide(destination), win32::asWideOrEmpty(source), capacity);
}

} // namespace linepeek::platform
