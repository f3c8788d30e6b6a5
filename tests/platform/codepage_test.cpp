#include "platform/platform.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace linepeek::platform {
namespace {

using test::hex;

std::u16string decode(int codePage, const std::string& bytes) {
  const int inputBytes = static_cast<int>(bytes.size());
  const int units = multiByteToWide(codePage, bytes.data(), inputBytes, nullptr, 0);
  std::u16string text(static_cast<std::size_t>(units > 0 ? units : 0), u'?');
  if (units > 0) {
    EXPECT_EQ(units, multiByteToWide(codePage, bytes.data(), inputBytes, text.data(), units));
  }
  return text;
}

std::string allBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b)
    bytes.push_back(static_cast<char>(b));
  return bytes;
}

// Cyrillic letters of both Russian code pages lie in runs of 32 consecutive code points.
TEST(CodePage, Cyrillic1251And866AllBytes) {
  const std::u16string cp1251 = decode(1251, allBytes());
  const std::u16string cp866 = decode(866, allBytes());
  ASSERT_EQ(cp1251.size(), 256u);
  ASSERT_EQ(cp866.size(), 256u);
  for (int b = 0; b < 0x80; ++b) {
    SCOPED_TRACE(b);
    EXPECT_EQ(cp1251[static_cast<std::size_t>(b)], b);
    EXPECT_EQ(cp866[static_cast<std::size_t>(b)], b);
  }
  for (int i = 0; i < 64; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cp1251[static_cast<std::size_t>(0xC0 + i)], 0x0410 + i); // A .. ya
  }
  for (int i = 0; i < 48; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cp866[static_cast<std::size_t>(0x80 + i)], 0x0410 + i); // A .. pe
  }
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cp866[static_cast<std::size_t>(0xE0 + i)], 0x0440 + i); // er .. ya
  }
  struct Point {
    int codePage;
    int byte;
    char16_t unit;
  };
  const Point points[] = {
      {1251, 0x80, 0x0402}, {1251, 0x88, 0x20AC}, {1251, 0x98, 0x0098}, {1251, 0xA8, 0x0401},
      {1251, 0xB8, 0x0451}, {1251, 0xB9, 0x2116}, {866, 0xB0, 0x2591},  {866, 0xC4, 0x2500},
      {866, 0xCD, 0x2550},  {866, 0xF0, 0x0401},  {866, 0xF1, 0x0451},  {866, 0xFC, 0x2116},
      {866, 0xFF, 0x00A0},
  };
  for (const Point& point : points) {
    SCOPED_TRACE(std::to_string(point.codePage) + " byte " + std::to_string(point.byte));
    const std::u16string& table = point.codePage == 1251 ? cp1251 : cp866;
    EXPECT_EQ(table[static_cast<std::size_t>(point.byte)], point.unit);
  }
}

// Bytes that 1252 leaves undefined decode to the C1 control of the same value.
TEST(CodePage, Windows1252UndefinedBytes) {
  EXPECT_EQ(decode(1252, hex("81 8D 8F 90 9D")), u"\u0081\u008D\u008F\u0090\u009D");
  EXPECT_EQ(decode(1252, hex("80 8A 9F E9")), u"\u20AC\u0160\u0178\u00E9");
}

// One hand-checked byte per code page that ANSI and OEM can stand for.
TEST(CodePage, EachSupportedPage) {
  struct Row {
    int codePage;
    const char* bytes;
    std::u16string expected;
  };
  const Row rows[] = {
      {437, "80 B0 E1", u"\u00C7\u2591\u00DF"},
      {737, "80", u"\u0391"},
      {775, "80", u"\u0106"},
      {850, "80 D5", u"\u00C7\u0131"},
      {852, "85", u"\u016F"},
      {855, "80", u"\u0452"},
      {857, "8D", u"\u0131"},
      {862, "80", u"\u05D0"},
      {866, "80", u"\u0410"},
      {874, "A1", u"\u0E01"},
      {1250, "8A E8", u"\u0160\u010D"},
      {1251, "C6", u"\u0416"},
      {1252, "E9", u"\u00E9"},
      {1253, "C1", u"\u0391"},
      {1254, "D0 F0", u"\u011E\u011F"},
      {1255, "E0", u"\u05D0"},
      {1256, "C7", u"\u0627"},
      {1257, "C0 E0", u"\u0104\u0105"},
      {1258, "C3", u"\u0102"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.codePage);
    EXPECT_EQ(decode(row.codePage, hex(row.bytes)), row.expected);
  }
}

// Each maximal invalid subpart becomes one U+FFFD; the last row is the Unicode Standard's own
// example of the practice. Second bytes out of a lead's range are checked on POSIX only: the
// Windows converter under Wine groups them differently.
TEST(CodePage, Utf8MaximalSubparts) {
  struct Row {
    const char* bytes;
    std::u16string expected;
  };
  const Row rows[] = {
      {"41 00 42", std::u16string(u"A\0B", 3)},
      {"C3 A9", u"\u00E9"},
      {"E2 82 AC", u"\u20AC"},
      {"F0 9F 98 80", u"\U0001F600"},
      {"F4 8F BF BF", u"\U0010FFFF"},
      {"80", u"\uFFFD"},
      {"C0 80", u"\uFFFD\uFFFD"},
      {"C1 BF", u"\uFFFD\uFFFD"},
      {"F5 41", u"\uFFFDA"},
      {"FF FE", u"\uFFFD\uFFFD"},
      {"E2 82", u"\uFFFD"},
      {"E2 82 41", u"\uFFFDA"},
      {"F0 9F 98 41", u"\uFFFDA"},
      {"C2 41 C2", u"\uFFFDA\uFFFD"},
      {"61 F1 80 80 E1 80 C2 62 80 63 80 BF 64", u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bytes);
    EXPECT_EQ(decode(Utf8CodePage, hex(row.bytes)), row.expected);
  }
}

// The sizing call answers the exact need; a buffer one unit short fails.
TEST(CodePage, SizingThenConversion) {
  const std::string bytes = hex("D0 96 F0 9F 98 80 41");
  const int inputBytes = static_cast<int>(bytes.size());
  EXPECT_EQ(multiByteToWide(Utf8CodePage, bytes.data(), inputBytes, nullptr, 0), 4);
  char16_t exact[4] = {};
  EXPECT_EQ(multiByteToWide(Utf8CodePage, bytes.data(), inputBytes, exact, 4), 4);
  EXPECT_EQ(std::u16string(exact, 4), u"\u0416\U0001F600A");
  char16_t small[3] = {};
  EXPECT_EQ(multiByteToWide(Utf8CodePage, bytes.data(), inputBytes, small, 3), 0);
  EXPECT_EQ(multiByteToWide(1251, bytes.data(), inputBytes, nullptr, 0), 7);
}

// No text, a negative count and an unknown code page convert nothing.
TEST(CodePage, NothingToConvert) {
  char16_t out[8] = {};
  EXPECT_EQ(multiByteToWide(Utf8CodePage, "abc", 0, out, 8), 0);
  EXPECT_EQ(multiByteToWide(Utf8CodePage, "abc", -5, out, 8), 0);
  EXPECT_EQ(multiByteToWide(Utf8CodePage, nullptr, 3, out, 8), 0);
  EXPECT_EQ(multiByteToWide(54321, "abc", 3, out, 8), 0);
}

// Bytes after which a conversion starts afresh: ASCII in UTF-8, every byte of a single-byte code
// page, no lead byte of a double-byte one (932 where the converter has it), none when unknown.
TEST(CodePage, BoundaryBytes) {
  const bool knows932 = multiByteToWide(932, "\x82\xA0", 2, nullptr, 0) == 1;
  struct Row {
    int codePage;
    int byte;
    bool expected;
  } const rows[] = {{Utf8CodePage, 0x41, true},  {Utf8CodePage, 0x7F, true},
                    {Utf8CodePage, 0x80, false}, {Utf8CodePage, 0xC3, false},
                    {1251, 0x00, true},          {1251, 0xFF, true},
                    {866, 0x80, true},           {932, 0x41, knows932},
                    {932, 0x82, false},          {54321, 0x41, false}};
  std::array<bool, 256> boundary{};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.codePage) + " " + std::to_string(row.byte));
    boundary.fill(!row.expected);
    boundaryBytes(row.codePage, boundary);
    EXPECT_EQ(boundary[static_cast<std::size_t>(row.byte)], row.expected);
  }
}

} // namespace
} // namespace linepeek::platform
