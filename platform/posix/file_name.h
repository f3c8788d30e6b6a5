// File names as the POSIX file layer and the INI reader hand them to the system.
#pragma once

#include <array>
#include <cstddef>

namespace linepeek::platform::posix {

// Length of a zero-terminated UTF-16 text in code units.
std::size_t wideLength(const char16_t* text);

// A zero-terminated path as the file system takes it; 4,096 bytes is Linux's PATH_MAX.
using PathBuffer = std::array<char, 4096>;

// A host file name as the bytes the file system sees, zero-terminated: its UTF-8 form, except
// that an unpaired U+DC80..U+DCFF stands for the byte 0x80..0xFF, the form in which hosts carry
// name bytes that are not UTF-8 (Latin-1 or 1251 names from old archives). False when the name
// is null, holds any other unpaired surrogate (no name can reach such an entry) or does not fit
// the buffer (the system would refuse it as too long anyway).
bool fileSystemName(const char16_t* name, PathBuffer& bytes);

} // namespace linepeek::platform::posix
