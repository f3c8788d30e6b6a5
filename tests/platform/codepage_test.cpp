#include "base/charsets.h"
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
  return decodeText(codePage, bytes);
}

// `bytes` fed to a decoder of `charset` in slices of `slice` bytes, each grown by a byte while
// the decoder takes none of it.
std::u16string decodeInSlices(const Charset& charset, std::string_view bytes, std::size_t slice) {
  TextDecoder decoder(charset.codePage, charset.iconvName);
  std::u16string text;
  std::size_t at = 0;
  for (std::size_t length = slice; at < bytes.size();) {
    const std::string_view piece = bytes.substr(at, length);
    const std::size_t used = decoder.decode(piece, at + piece.size() == bytes.size(), text);
    EXPECT_LE(text.size(), at + used) << "more units than bytes";
    at += used;
    length = used == 0 ? length + 1 : slice;
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

// The multi-byte charsets, whose second bytes may be ASCII, decode piece by piece as a whole,
// wherever the pieces end. GB 18030's four-byte forms only where the converter has them: Wine
// decodes GB 18030 as GBK.
TEST(CodePage, MultiByteCharsetsInPieces) {
  const bool fourByteForms = decodeText(54936, hex("81 30 81 30")) == u"\u0080";
  struct Row {
    const char* charset;
    const char* bytes;
    std::u16string expected;
  };
  std::vector<Row> rows = {
      {"Shift_JIS", "41 83 41 42 93 FA 96 7B B1", u"A\u30A2B\u65E5\u672C\uFF71"},
      {"GB18030", "D6 D0 CE C4 81 40 41", u"\u4E2D\u6587\u4E02A"},
      {"UHC", "C7 D1 81 41 42", u"\uD55C\uAC02B"},
      {"Big5", "A4 A4 A4 E5 A4 40 41", u"\u4E2D\u6587\u4E00A"},
      {"EUC-JP", "C6 FC CB DC 8E B1 41", u"\u65E5\u672C\uFF71A"},
      {"KOI8-R", "C1 E1 41", u"\u0430\u0410A"},
      {"UTF-8", "C3 A9 E4 B8 AD F0 9F 98 80 41", u"\u00E9\u4E2D\U0001F600A"},
  };
  if (fourByteForms)
    rows.push_back({"GB18030", "81 30 81 30 D6 D0 41 95 32 82 36", u"\u0080\u4E2DA\U00020000"});
  for (const Row& row : rows) {
    SCOPED_TRACE(row.charset);
    const Charset* charset = charsetNamed(row.charset);
    ASSERT_NE(charset, nullptr);
    // Four copies, so that every slice length meets every offset within a character.
    std::string bytes;
    std::u16string expected;
    for (int copy = 0; copy < 4; ++copy) {
      bytes += hex(row.bytes);
      expected += row.expected;
    }
    for (std::size_t slice = 1; slice <= 9; ++slice) {
      SCOPED_TRACE(slice);
      EXPECT_TRUE(decodeInSlices(*charset, bytes, slice) == expected);
    }
  }
}

// One hand-checked byte per single-byte charset beyond ANSI and OEM; both targets decode them
// by Windows' tables.
TEST(CodePage, OtherSingleBytePages) {
  struct Row {
    int codePage;
    const char* bytes;
    std::u16string expected;
  } const rows[] = {
      {20866, "C1 E1", u"\u0430\u0410"}, {21866, "A4", u"\u0454"}, {28592, "B1", u"\u0105"},
      {28595, "B0", u"\u0410"},          {28597, "C1", u"\u0391"}, {28599, "D0", u"\u011E"},
      {28603, "C0", u"\u0104"},          {28605, "A4", u"\u20AC"}, {10007, "80", u"\u0410"},
      {10029, "81", u"\u0100"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.codePage);
    EXPECT_EQ(decode(row.codePage, hex(row.bytes)), row.expected);
  }
}

// An unknown code page decodes nothing; the stateful forms are not decoded on Windows.
TEST(CodePage, UnknownCodePage) {
  TextDecoder decoder(54321);
  EXPECT_FALSE(decoder.isOpen());
  std::u16string text;
  EXPECT_EQ(decoder.decode("abc", true, text), 0u);
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(decode(NoCodePage, "abc"), u"");
}

} // namespace
} // namespace linepeek::platform
