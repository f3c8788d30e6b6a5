// ASCII letter case for any character type, the only case folding anywhere in linepeek: INI
// section and key names, extension lists, hex byte lists and the CLI's field names. Only A to Z
// and a to z change; every other unit, non-ASCII letters included, stays, whatever the locale.
// Plain text work with no system call, shared by every layer and the CLI.
#pragma once

#include <string>
#include <string_view>

namespace linepeek {

template <typename Char> constexpr Char asciiLower(Char unit) noexcept {
  return unit >= Char('A') && unit <= Char('Z') ? static_cast<Char>(unit - Char('A') + Char('a'))
                                                : unit;
}

template <typename Char> std::basic_string<Char> asciiLowered(std::basic_string_view<Char> text) {
  std::basic_string<Char> lowered(text);
  for (Char& unit : lowered)
    unit = asciiLower(unit);
  return lowered;
}

template <typename Char> std::basic_string<Char> asciiLowered(const std::basic_string<Char>& text) {
  return asciiLowered(std::basic_string_view<Char>(text));
}

// Whether two texts are the same but for the letter case of A to Z.
template <typename Char>
constexpr bool sameIgnoringAsciiCase(std::basic_string_view<Char> a,
                                     std::basic_string_view<Char> b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

} // namespace linepeek
