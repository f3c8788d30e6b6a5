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

void boundaryBytes(int codePage, std::array<bool, 256>& boundary) {
  boundary.fill(false);
  if (codePage < 0) return;
  UINT number = static_cast<UINT>(codePage);
  if (codePage == CP_ACP) number = GetACP();
  if (codePage == CP_OEMCP) number = GetOEMCP();
  if (number == CP_UTF8) {
    for (std::size_t b = 0; b < 0x80; ++b)
      boundary[b] = true;
    return;
  }
  // Code pages with longer characters (GB 18030, the ISO 2022 forms) have no such bytes.
  CPINFO info{};
  if (GetCPInfo(number, &info) == FALSE || info.MaxCharSize > 2) return;
  boundary.fill(true);
  // LeadByte holds ranges as pairs of their first and last byte, ended by a pair of zeros.
  for (std::size_t i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
    for (unsigned b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b)
      boundary[b] = false;
  }
}

} // namespace linepeek::platform
