// The host's binary interface: the UTF-16 code unit type and the export marker. The only header
// outside platform/ that looks at the target.
#pragma once

#if defined(_WIN32)
using WCHAR = wchar_t;
#define LINEPEEK_EXPORT __declspec(dllexport)
#else
using WCHAR = char16_t;
#define LINEPEEK_EXPORT __attribute__((visibility("default")))
#endif

static_assert(sizeof(WCHAR) == 2, "WCHAR must be one UTF-16 code unit");

extern "C" {
LINEPEEK_EXPORT int ContentGetSupportedField(int fieldIndex, char* fieldName, char* unitsText,
                                             int maxLen) noexcept;
LINEPEEK_EXPORT int ContentGetValue(char* fileName, int fieldIndex, int unitIndex,
                                    void* valueBuffer, int maxLen, int flags) noexcept;
LINEPEEK_EXPORT int ContentGetValueW(const WCHAR* fileName, int fieldIndex, int unitIndex,
                                     void* valueBuffer, int maxLen, int flags) noexcept;
}
