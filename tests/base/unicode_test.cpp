#include "base/unicode.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/reference/unicode.h"

namespace linepeek {
namespace {

// Seeded random UTF-8 from the bytes where the rules turn: ASCII, continuation edges, every
// lead byte whose second byte has a range of its own, and bytes that start nothing.
TEST(Unicode, Utf8ToUtf16MatchesReference) {
  std::mt19937 random(20261209);
  const unsigned char bytes[] = {0x41, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2,
                                 0xDF, 0xE0, 0xE4, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
  for (int round = 0; round < 20000; ++round) {
    std::string text(random() % 9, '\0');
    for (char& c : text)
      c = static_cast<char>(bytes[random() % std::size(bytes)]);
    SCOPED_TRACE(testing::PrintToString(text));
    std::u16string expected;
    const bool expectedValid = reference::utf8ToUnits(text, expected);
    bool valid = !expectedValid;
    std::u16string units(decodeUtf8(text.data(), text.size(), nullptr, 0, &valid), u'\0');
    EXPECT_EQ(valid, expectedValid);
    EXPECT_EQ(decodeUtf8(text.data(), text.size(), units.data(), units.size()), units.size());
    EXPECT_EQ(units, expected);
  }
}

// Seeded random UTF-16 with surrogates paired and alone, through both converters; the bytes are
// converted in place, their UTF-8 written from bytes / 2 before them.
TEST(Unicode, Utf16ToUtf8MatchesReference) {
  std::mt19937 random(20261210);
  const char16_t units[] = {0x41,   0x7F,   0x80,   0x7FF,  0x800, 0x4E2D,
                            0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xFFFD};
  for (int round = 0; round < 20000; ++round) {
    std::u16string text(random() % 9, u'\0');
    for (char16_t& unit : text)
      unit = units[random() % std::size(units)];
    SCOPED_TRACE(round);
    const std::string expected = reference::unitsToUtf8(text);
    std::string utf8(encodeUtf8(text.data(), text.size(), nullptr, 0), '\0');
    EXPECT_EQ(encodeUtf8(text.data(), text.size(), utf8.data(), utf8.size()), utf8.size());
    EXPECT_EQ(utf8, expected);

    const bool bigEndian = random() % 2 == 0;
    std::string raw;
    for (const char16_t unit : text) {
      const char high = static_cast<char>(unit >> 8);
      const char low = static_cast<char>(unit & 0xFF);
      raw += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    if (random() % 2 == 0) raw += 'z'; // an odd last byte is no unit
    std::string buffer(raw.size() / 2 + raw.size(), '\0');
    buffer.replace(raw.size() / 2, raw.size(), raw);
    buffer.resize(
        utf16BytesToUtf8(buffer.data() + raw.size() / 2, raw.size(), bigEndian, buffer.data()));
    EXPECT_EQ(buffer, expected);
  }
}

} // namespace
} // namespace linepeek
