// How the settings loader reads its values, written for clarity rather than speed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace linepeek::reference {

// A settings number: blanks, a sign, a base prefix ("$", "x", "X", "0x", "0X" hex, "%" binary,
// "&" octal), then digits and nothing else, at most 255 units; saturates at the 32-bit range.
inline bool parseIniNumber(const std::u16string& text, std::int32_t& value) {
  if (text.empty() || text.size() > 255) return false;
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  int base = 10;
  if (i < text.size() && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == u'0' &&
             (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    base = 16;
    i += 2;
  } else if (i < text.size() && text[i] == u'%') {
    base = 2;
    ++i;
  } else if (i < text.size() && text[i] == u'&') {
    base = 8;
    ++i;
  }
  if (i == text.size()) return false;
  const std::int64_t saturated = std::int64_t{1} << 40;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char16_t unit = text[i];
    int digit = -1;
    if (unit >= u'0' && unit <= u'9') digit = unit - u'0';
    if (unit >= u'a' && unit <= u'f') digit = unit - u'a' + 10;
    if (unit >= u'A' && unit <= u'F') digit = unit - u'A' + 10;
    if (digit < 0 || digit >= base) return false;
    magnitude = magnitude * base + digit;
    if (magnitude > saturated) magnitude = saturated;
  }
  const std::int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > INT32_MAX) {
    value = INT32_MAX;
  } else if (signedValue < INT32_MIN) {
    value = INT32_MIN;
  } else {
    value = static_cast<std::int32_t>(signedValue);
  }
  return true;
}

// Without units up to the space at either end.
inline std::u16string trimmed(const std::u16string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && text[first] <= u' ')
    ++first;
  while (last > first && text[last - 1] <= u' ')
    --last;
  return text.substr(first, last - first);
}

// A byte list: the values written as two hex digits, in either case, between spaces.
inline std::array<std::uint8_t, 256> byteFlagTable(const std::u16string& list) {
  std::u16string text = trimmed(list);
  for (char16_t& unit : text) {
    if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
  }
  text = u" " + text + u" ";
  std::array<std::uint8_t, 256> table{};
  const char16_t* digits = u"0123456789ABCDEF";
  for (unsigned v = 0; v < 256; ++v) {
    const std::u16string token{u' ', digits[v / 16], digits[v % 16], u' '};
    table[v] = text.find(token) != std::u16string::npos ? 1 : 0;
  }
  return table;
}

// A number setting: the parsed value, or the default when it does not parse, raised to `lower`
// and then lowered to `upper`.
inline std::int32_t numberSetting(const std::u16string& raw, std::int32_t defaultValue,
                                  std::int32_t lower, std::int32_t upper) {
  std::int32_t value = defaultValue;
  if (!parseIniNumber(raw, value)) value = defaultValue;
  if (value < lower) value = lower;
  if (value > upper) value = upper;
  return value;
}

// The Extensions setting: trimmed, with ASCII letters lower-cased.
inline std::u16string extensionsSetting(const std::u16string& raw) {
  std::u16string extensions = trimmed(raw);
  for (char16_t& unit : extensions) {
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit - u'A' + u'a');
  }
  return extensions;
}

} // namespace linepeek::reference
