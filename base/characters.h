// The character codes that the line rules name. They are the same in every unit the module reads:
// a byte of an 8-bit or UTF-8 text, or a UTF-16 code unit.
#pragma once

#include <cstddef>
#include <string_view>

namespace linepeek {

// The byte of `text` at `at` as the value it holds, 0 to 255.
constexpr unsigned byteAt(std::string_view text, std::size_t at) noexcept {
  return static_cast<unsigned char>(text[at]);
}

inline constexpr unsigned char Lf = 0x0A; // ends a line
inline constexpr unsigned char Cr = 0x0D; // dropped once before the LF that ends a line
// Units up to the space are blanks and controls: a line of them only is blank for SkipEmpty, and
// the line answers trim them from both ends.
inline constexpr unsigned char LastBlank = 0x20;
// Starts an escape sequence, which in a charset that shifts state is part of the text.
inline constexpr unsigned char Esc = 0x1B;

} // namespace linepeek
