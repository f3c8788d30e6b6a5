// The path of the module that holds this code: the DLL inside a host, the executable when the
// platform layer is linked statically into a test.
#include "platform/platform.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace linepeek::platform {

int moduleFileName(char16_t* buffer, int units) {
  if (buffer == nullptr || units < 1) return 0;
  buffer[0] = u'\0';
  HMODULE self = nullptr;
  // Any address inside this module names it; the reference count stays as the loader left it.
  const auto* anchor = reinterpret_cast<LPCWSTR>(&moduleFileName);
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         anchor, &self) == FALSE) {
    return 0;
  }
  const DWORD length = GetModuleFileNameW(self, win32::asWide(buffer), static_cast<DWORD>(units));
  // A full buffer means the path was cut; a cut path names some other file, so it counts as a
  // failure rather than a shorter answer.
  if (length == 0 || length >= static_cast<DWORD>(units)) {
    buffer[0] = u'\0';
    return 0;
  }
  return static_cast<int>(length);
}

} // namespace linepeek::platform
