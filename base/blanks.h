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

// The text without the blanks at either end.
template <typename Char>
constexpr std::basic_string_view<Char> trimBlanks(std::basic_string_view<Char> text) noexcept {
  while (!text.empty() && isBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

} // namespace linepeek
