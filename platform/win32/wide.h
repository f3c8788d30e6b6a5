// Views of UTF-16 text as the Win32 API spells it. wchar_t is one UTF-16 code unit with mingw-w64
// and MSVC alike, so the same bytes serve both types.
#pragma once

#include <windows.h>

namespace linepeek::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be one UTF-16 code unit");

inline LPCWSTR asWide(const char16_t* text) noexcept {
  return reinterpret_cast<LPCWSTR>(text);
}
inline LPWSTR asWide(char16_t* text) noexcept {
  return reinterpret_cast<LPWSTR>(text);
}

// A null text becomes the empty text, so no API call ever sees a null it might read as a mode.
inline LPCWSTR asWideOrEmpty(const char16_t* text) noexcept {
  return text != nullptr ? asWide(text) : L"";
}

} // namespace linepeek::win32
