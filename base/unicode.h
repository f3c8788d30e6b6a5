// UTF-8 and UTF-16 conversion: the one codec of the tree, shared by the module, its POSIX
// platform layer and linepeek-cli. Ill-formed input is replaced, never rejected: each maximal
// invalid subpart of UTF-8 (a byte that starts no sequence, or the longest start of one that
// cannot be completed) and each unpaired surrogate becomes one U+FFFD. Nothing here allocates
// or throws.
#pragma once

#include <cstddef>
#include <string_view>

namespace linepeek {

inline constexpr char32_t ReplacementCharacter = 0xFFFD;

constexpr bool isHighSurrogate(char32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool isLowSurrogate(char32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// One character of UTF-8 text: its code point and the bytes it takes. An invalid subpart gives
// U+FFFD, the subpart's length and `valid` false.
struct Utf8Character {
  char32_t codePoint;
  std::size_t length;
  bool valid;
};

// The character that starts at text[at] (at < text.size()); it never reaches past the text.
Utf8Character decodeUtf8Character(std::string_view text, std::size_t at);

// The length of `text` without a last character that more bytes could still complete: decoded
// alone, that prefix gives the units it gives as the start of any longer text. A cut is made
// only before a byte that no sequence continues with.
std::size_t wholeUtf8Prefix(std::string_view text);

// Writes the UTF-8 of a code point below 0x110000 (one to four bytes) at `output` and answers
// its length.
std::size_t putUtf8(char32_t codePoint, char* output);

// Writes the UTF-16 of a code point below 0x110000 (one unit, or a surrogate pair) at `output`
// and answers its length.
std::size_t putUtf16(char32_t codePoint, char16_t* output);

// UTF-8 to UTF-16: writes at most `capacity` units to `output` (nothing when it is null) and
// answers the units the whole input decodes to. `valid`, when not null, tells whether the input
// held no invalid subpart.
std::size_t decodeUtf8(const char* input, std::size_t bytes, char16_t* output, std::size_t capacity,
                       bool* valid = nullptr);

// UTF-16 to UTF-8 on the same terms; an unpaired surrogate clears `valid`.
std::size_t encodeUtf8(const char16_t* input, std::size_t units, char* output, std::size_t capacity,
                       bool* valid = nullptr);

// Unit `index` of UTF-16 held as bytes in the given order.
constexpr char16_t utf16UnitAt(const unsigned char* bytes, std::size_t index,
                               bool bigEndian) noexcept {
  const unsigned first = bytes[2 * index];
  const unsigned second = bytes[2 * index + 1];
  return static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
}

// The most UTF-8 bytes that `bytes` bytes of UTF-16 give: three a unit (a unit of the basic
// plane, or U+FFFD for an unpaired surrogate), as a pair gives four for its two units.
constexpr std::size_t utf8Room(std::size_t utf16Bytes) {
  return utf16Bytes / 2 * 3;
}

// UTF-16 held as bytes in the given order, an odd last byte left out, to UTF-8 at `output`,
// which has room for utf8Room(bytes). Answers the bytes written. `output` may lie in the same
// buffer as `input`, at least bytes / 2 before it: each unit is read before its UTF-8 is
// written, and the UTF-8 then never reaches the units not yet read.
std::size_t utf16BytesToUtf8(const char* input, std::size_t bytes, bool bigEndian, char* output);

} // namespace linepeek
