// Code page conversion through the system converter. The numbers 0 (CP_ACP), 1 (CP_OEMCP) and
// 65001 (CP_UTF8) are the API's own, so every code page passes through unchanged.
#include "platform/platform.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace linepeek::platform {

static_assert(AnsiCodePage == CP_ACP && OemCodePage == CP_OEMCP && Utf8CodePage == CP_UTF8);

int ansiCodePage() {
  return static_cast<int>(GetACP());
}
int oemCodePage() {
  return static_cast<int>(GetOEMCP());
}

int multiByteToWide(int codePage, const char* input, int inputBytes, char16_t* output,
                    int outputUnits) {
  // A negative count would mean "up to the first zero" to the API; here it is no text at all.
  if (codePage < 0 || input == nullptr || inputBytes <= 0 || outputUnits < 0) return 0;
  if (output == nullptr) outputUnits = 0;
  return MultiByteToWideChar(static_cast<UINT>(codePage), 0, input, inputBytes,
                             win32::asWide(output), outputUnits);
}

int wideToUtf8(const char16_t* input, int inputUnits, char* output, int outputBytes) {
  if (input == nullptr || inputUnits <= 0 || outputBytes < 0) return 0;
  if (output == nullptr) outputBytes = 0;
  return WideCharToMultiByte(CP_UTF8, 0, win32::asWide(input), inputUnits, output, outputBytes,
                             nullptr, nullptr);
}

} // namespace linepeek::platform
