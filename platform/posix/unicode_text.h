// UTF-8 and UTF-16 transforms shared by the POSIX code page, file and INI code. They never
// allocate and never throw.
#pragma once

#include <array>
#include <cstddef>

namespace linepeek::platform::posix {

inline constexpr char16_t ReplacementCharacter = 0xFFFD;

// Decodes UTF-8, writing at most `capacity` units to `output` (nothing when it is null), and
// answers the units the whole input decodes to. Each maximal invalid subpart (a byte that
// starts no sequence, or the longest prefix of a sequence that cannot be completed) becomes one
// U+FFFD. `valid`, when not null, tells whether the input held no invalid sequence.
std::size_t decodeUtf8(const char* input, std::size_t bytes, char16_t* output, std::size_t capacity,
                       bool* valid = nullptr);

// Encodes UTF-16 as UTF-8 on the same terms; an unpaired surrogate becomes EF BF BD (U+FFFD)
// and clears `valid`.
std::size_t encodeUtf8(const char16_t* input, std::size_t units, char* output, std::size_t capacity,
                       bool* valid = nullptr);

// Length of a zero-terminated UTF-16 text in code units.
std::size_t wideLength(const char16_t* text);

// A zero-terminated path as the file system takes it; 4,096 bytes is Linux's PATH_MAX.
using PathBuffer = std::array<char, 4096>;

// A host file name as the bytes the file system sees: its UTF-8 form, zero-terminated. False
// when the name is null, holds an unpaired surrogate (no UTF-8 name can reach such an entry) or
// does not fit the buffer (the system would refuse it as too long anyway).
bool fileSystemName(const char16_t* name, PathBuffer& utf8Name);

} // namespace linepeek::platform::posix
