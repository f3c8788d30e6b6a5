#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "plugin/line_answers.h"
#include "tests/plugin/request_fixture.h"
#include "tests/reference/unicode.h"
#include "tests/support/test_util.h"

namespace linepeek::test {
namespace {

class LineAnswersTest : public RequestTest {
protected:
  void SetUp() override {
    RequestTest::SetUp();
    // Linux takes its code pages from here; under Wine the locale of the run decides.
    setEnv("LINEPEEK_CODEPAGES", "1251,866");
  }
};

TEST_F(LineAnswersTest, PicksHeadAndTailSlots) {
  fake::putFile(u"three.txt", "a\nb\nc");
  EXPECT_EQ(askLine(u"three.txt", 0), u"a");
  EXPECT_EQ(askLine(u"three.txt", 2), u"c");
  for (int field = 3; field <= 9; ++field)
    EXPECT_EQ(askLine(u"three.txt", field), u"(-3)");
  EXPECT_EQ(askLine(u"three.txt", 12), u"c");
  EXPECT_EQ(askLine(u"three.txt", 11), u"b");
  EXPECT_EQ(askLine(u"three.txt", 10), u"a");

  fake::putFile(u"two.txt", "x\ny\n");
  EXPECT_EQ(askLine(u"two.txt", 12), u"y");
  EXPECT_EQ(askLine(u"two.txt", 11), u"x");
  EXPECT_EQ(askLine(u"two.txt", 10), u"(-3)");
}

TEST_F(LineAnswersTest, TrimsControlBytesAndSpacesAtBothEnds) {
  fake::putFile(u"a.txt", hex("20 09 0A \"  abc\" 09 0A \" a  b \" 0D 0A 01 \"x\" 7F"));
  EXPECT_EQ(askLine(u"a.txt", 0), u"(-3)") << "a line of blanks answers nothing";
  EXPECT_EQ(askLine(u"a.txt", 1), u"abc");
  EXPECT_EQ(askLine(u"a.txt", 2), u"a  b");
  EXPECT_EQ(askLine(u"a.txt", 3), u"x\u007F") << "DEL is not below 33";
}

// maxLen is the buffer's size in bytes: nothing is written at or past it, and a surrogate pair
// is kept whole or not at all.
TEST_F(LineAnswersTest, CutToTheHostBufferInBytes) {
  fake::putFile(u"a.txt", "abcdef\n");
  fake::putFile(u"emoji.txt", hex("F0 9F 98 80 F0 9F 98 80 F0 9F 98 80 0A"));
  const struct {
    const char16_t* file;
    int maxLen;
    int code;
    std::u16string written; // the units before the zero
  } rows[] = {
      {u"a.txt", 9, 11, u"abc"},
      {u"a.txt", 8, 11, u"abc"},
      {u"a.txt", 5, 11, u"a"},
      {u"a.txt", 2, 11, u""},
      {u"a.txt", 1, -3, u""},
      {u"a.txt", 0, -3, u""},
      {u"a.txt", -4, -3, u""},
      {u"a.txt", 14, 11, u"abcdef"},
      {u"emoji.txt", 8, 11, u"\U0001F600"},
      {u"emoji.txt", 10, 11, u"\U0001F600\U0001F600"},
      {u"emoji.txt", 4, 11, u""},
      {u"emoji.txt", 2, 11, u""},
  };
  constexpr unsigned char Guard = 0xA5;
  for (const auto& row : rows) {
    SCOPED_TRACE(utf8(row.file) + " maxLen " + std::to_string(row.maxLen));
    std::vector<unsigned char> buffer(static_cast<std::size_t>(std::max(row.maxLen, 0)) + 16,
                                      Guard);
    ASSERT_EQ(ask(row.file, 0, buffer.data(), row.maxLen), row.code);
    std::size_t untouchedFrom = 0;
    if (row.code == 11) {
      std::u16string got;
      for (std::size_t i = 0; buffer[2 * i] != 0 || buffer[2 * i + 1] != 0; ++i)
        got.push_back(static_cast<char16_t>(buffer[2 * i] | buffer[2 * i + 1] << 8));
      EXPECT_EQ(got, row.written);
      untouchedFrom = 2 * (got.size() + 1);
    }
    for (std::size_t i = untouchedFrom; i < buffer.size(); ++i)
      ASSERT_EQ(buffer[i], Guard) << "byte " << i;
  }
}

TEST_F(LineAnswersTest, UnitChoosesAnsiOrOemForEightBitFiles) {
  // C0 is a capital A in 1251 and an L-shaped box corner in 437 and 866; 80 is a capital A in
  // 866 and a C with cedilla in 437. The A between them keeps the line from passing as UTF-8.
  fake::putFile(u"a.txt", hex("C0 41 80 0A"));
  const int ansi = platform::ansiCodePage();
  const int oem = platform::oemCodePage();
  const std::u16string expectedAnsi = ansi == 1251 ? u"\u0410A\u0402" : u"\u00C0A\u20AC";
  const std::u16string expectedOem = oem == 866 ? u"\u2514A\u0410" : u"\u2514A\u00C7";
  ASSERT_TRUE(ansi == 1251 || ansi == 1252) << ansi;
  ASSERT_TRUE(oem == 866 || oem == 437) << oem;
  EXPECT_EQ(askLine(u"a.txt", 0, 0), expectedAnsi);
  EXPECT_EQ(askLine(u"a.txt", 0, 1), expectedOem);
  EXPECT_EQ(askLine(u"a.txt", 0, 2), expectedAnsi) << "unknown units decode as ANSI";
  EXPECT_EQ(askLine(u"a.txt", 0, -1), expectedAnsi);
}

TEST_F(LineAnswersTest, UnicodeFilesDecodeAsUtf8WhateverTheUnit) {
  fake::putFile(u"u8.txt", hex("EF BB BF D0 90 0A"));
  fake::putFile(u"u16.txt", hex("FF FE 10 04 0A 00"));
  for (int unit : {0, 1}) {
    EXPECT_EQ(askLine(u"u8.txt", 0, unit), u"\u0410");
    EXPECT_EQ(askLine(u"u16.txt", 0, unit), u"\u0410");
  }
}

TEST_F(LineAnswersTest, ReplacementsReachTheAnswer) {
  settings.replaces[0] = {u"cat", u"dog"};
  settings.replaces[1] = {u"x", u""};
  fake::putFile(u"a.txt", "concatenate cat\nxxx\nxax\n");
  EXPECT_EQ(askLine(u"a.txt", 0), u"condogenate dog");
  EXPECT_EQ(askLine(u"a.txt", 1), u"(-3)") << "a line the replacements empty answers nothing";
  EXPECT_EQ(askLine(u"a.txt", 2), u"a");
  // Other fields are never changed.
  EXPECT_EQ(askCount(u"a.txt"), 3);
}

// Pairs that lengthen a line: each pair's result is cut at 4,194,304 units, so text beyond the
// cut never comes back, however a later pair shrinks what is left. 2,051 'a's become 4,194,295
// 'b's: nine 'Z's after them reach the limit exactly, the tenth goes over it.
TEST_F(LineAnswersTest, LengtheningPairsAreCutAtTheLimit) {
  const std::u16string manyB(2045, u'b');
  const std::string as(2051, 'a');
  struct Row {
    std::string line;
    std::vector<ReplacePair> pairs;
    std::u16string expected;
  } const rows[] = {
      {as + "ZZZZZZZZZ", {{u"a", manyB}, {u"b", u""}}, u"ZZZZZZZZZ"},
      {as + "ZZZZZZZZZZ", {{u"a", manyB}, {u"b", u""}}, u"ZZZZZZZZZ"},
      {as + "ZZZZZZZZZZ", {{u"a", manyB}}, std::u16string(255, u'b')},
      {as + "ZZZZZZZZZZ", {{u"a", manyB}, {u"b", u"bb"}, {u"bb", u""}}, u"(-3)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line.size());
    fake::putFile(u"long.txt", row.line);
    settings.replaces = {};
    std::copy(row.pairs.begin(), row.pairs.end(), settings.replaces.begin());
    EXPECT_EQ(askLine(u"long.txt", 0), row.expected);
  }
}

// The finish phase of `text` as a line of an 8-bit file (unit 0 or 1) or a Unicode one.
std::u16string finished(const std::string& text, int codePage) {
  std::u16string buffer(text.size() + 1, u'#');
  const PickedLine picked{true, text, codePage, nullptr};
  const int code = finishLine(picked, buffer.data(),
                              static_cast<int>(buffer.size() * sizeof(char16_t)), Settings{});
  if (code != 11) {
    const std::string answer = "(" + std::to_string(code) + ")";
    return std::u16string(answer.begin(), answer.end());
  }
  buffer.resize(std::char_traits<char16_t>::length(buffer.c_str()));
  return buffer;
}

// Lines longer than one conversion piece decode as the whole line does, wherever the pieces
// are cut: seeded random text with few or no ASCII bytes. UTF-8 against the plain decoder; the
// 8-bit code pages on C0, read from the chart of each one that ANSI and OEM stand for in the runs.
TEST(FinishLine, LongLinesDecodeAsAWhole) {
  setEnv("LINEPEEK_CODEPAGES", "1251,866");
  const std::map<int, char16_t> c0 = {{1251, 0x0410}, {1252, 0x00C0}, {437, 0x2514}, {866, 0x2514}};
  const char* const pieces[] = {
      "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "\x80", "\xE2\x82", "\xFF", "\xD0", "\x96"};
  std::mt19937 random(20261209);
  for (const int codePage :
       {platform::AnsiCodePage, platform::OemCodePage, platform::Utf8CodePage}) {
    const int resolved = codePage == platform::AnsiCodePage  ? platform::ansiCodePage()
                         : codePage == platform::OemCodePage ? platform::oemCodePage()
                                                             : codePage;
    for (const unsigned asciiEvery : {0u, 3000u, 40u}) {
      SCOPED_TRACE(std::to_string(resolved) + " ascii every " + std::to_string(asciiEvery));
      std::string text;
      while (text.size() < 70000) {
        if (asciiEvery != 0 && random() % asciiEvery == 0) text += 'a';
        text += resolved == platform::Utf8CodePage ? pieces[random() % std::size(pieces)] : "\xC0";
      }
      std::u16string expected;
      if (resolved == platform::Utf8CodePage) {
        reference::utf8ToUnits(text, expected);
      } else {
        for (const char c : text)
          expected += c == 'a' ? u'a' : c0.at(resolved);
      }
      EXPECT_TRUE(finished(text, codePage) == expected);
    }
  }
}

TEST_F(LineAnswersTest, BinaryFilesStillAnswerTheirLines) {
  fake::putFile(u"b.bin", hex("01 02 \"head\" 00 0A \"tail\""));
  EXPECT_EQ(askText(u"b.bin", 15), "Binary");
  EXPECT_EQ(askLine(u"b.bin", 12), u"tail");
}

TEST(FinishLine, EmptyAndInvalid) {
  EXPECT_EQ(finished("", platform::Utf8CodePage), u"(-3)");
  EXPECT_EQ(finished("a\xC3", platform::Utf8CodePage), u"a\uFFFD");
}

} // namespace
} // namespace linepeek::test
