// INI reading through the private-profile API. A null section or key would switch
// GetPrivateProfileStringW to listing all section or key names, so nulls are passed as empty
// texts; the listings have their own calls, in ini_sections.cpp.
#include "platform/platform.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace linepeek::platform {

int readProfileString(const char16_t* section, const char16_t* key, const char16_t* defaultValue,
                      char16_t* buffer, int units, const char16_t* path) {
  if (buffer == nullptr || units < 1) return 0;
  buffer[0] = u'\0';
  const DWORD written = GetPrivateProfileStringW(
      win32::asWideOrEmpty(section), win32::asWideOrEmpty(key), win32::asWideOrEmpty(defaultValue),
      win32::asWide(buffer), static_cast<DWORD>(units), win32::asWideOrEmpty(path));
  return static_cast<int>(written);
}

} // namespace linepeek::platform
