// File names as the POSIX file layer and the INI reader hand them to the system.
#pragma once

#include <array>
#include <cstddef>

namespace linepeek::platform::posix {

// Length of a zero-terminated UTF-16 text in code units.
std::size_t wideLength(const char16_t* text);

// A zero-terminated path as the file system takes it; 4,096 bytes is Linux's PATH_MAX.
using PathBuffer = std::array<char, 4096>;

// A host file name as the bytes the file system sees: its UTF-8 form, zero-terminated. False
// when the name is null, holds an unpaired surrogate (no UTF-8 name can reach such an entry) or
// does not fit the buffer (the system would refuse it as too long anyway).
bool fileSystemName(const char16_t* name, PathBuffer& utf8Name);

} // namespace linepeek::platform::posix
