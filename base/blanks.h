// Blanks and trimming, one rule for every layer and the CLI: a unit up to the space (LastBlank)
// is a blank, control characters included, in bytes and in UTF-16 code units alike.
#pragma once

#include <string_view>
#include <type_traits>

#include "base/characters.h"

namespace linepeek {

template <typename Char> constexpr bool isBlank(Char unit) noexcept {
  return static_cast<std::make_unsigned_t<Char>>(unit) <= LastBlank;
}

// The text without the units at either end for which `trims` holds.
template <typename Char, typename Trims>
constexpr std::basic_string_view<Char> trimmedBy(std::basic_string_view<Char> text,
                                                 Trims trims) noexcept {
  while (!text.empty() && trims(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && trims(text.back()))
    text.remove_suffix(1);
  return text;
}

// The text without the blanks at either end.
template <typename Char>
constexpr std::basic_string_view<Char> trimBlanks(std::basic_string_view<Char> text) noexcept {
  return trimmedBy(text, [](Char unit) { return isBlank(unit); });
}

// True for a text of blanks only, and for the empty text.
template <typename Char> constexpr bool isBlankText(std::basic_string_view<Char> text) noexcept {
  return trimBlanks(text).empty();
}

} // namespace linepeek
