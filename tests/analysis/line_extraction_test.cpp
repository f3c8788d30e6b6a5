#include "analysis/line_extraction_testing.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>
#include <vector>

#include "tests/reference/lines.h"
#include "tests/support/fake_files.h"
#include "tests/support/test_util.h"

namespace linepeek {
namespace {

using test::hex;
using Lines = std::vector<std::string>;

class LineExtraction : public testing::Test {
protected:
  void SetUp() override { fake::reset(); }
  // Makes `bytes` the cached file; the head sample is cut to `windows.first` as a refill with
  // that window would read it.
  void load(const std::string& bytes, LineWindows windows = {}) {
    file.reset();
    fake::putFile(u"f", bytes);
    file.emplace(platform::openFile(u"f"));
    cache = {};
    const auto size = static_cast<std::int64_t>(bytes.size());
    refreshCache(cache, file->get(), u"f", size, 1, config);
    cache.headSample.resize(static_cast<std::size_t>(windowLength(size, windows.first)));
    bytesBefore = fake::counters().bytesRead;
  }
  Lines head(LineWindows windows = {}) {
    const HeadLines& lines = headLines(cache, file->get(), config, windows);
    return Lines(lines.slots.begin(), lines.slots.begin() + lines.count);
  }
  Lines tail(LineWindows windows = {}) {
    const TailLines& lines = tailLines(cache, file->get(), config, windows);
    return Lines(lines.slots.begin(), lines.slots.begin() + lines.count);
  }
  std::int64_t bytesRead() const { return fake::counters().bytesRead - bytesBefore; }

  Settings config;
  AnalysisCache cache;
  std::optional<FileOwner> file;
  std::int64_t bytesBefore = 0;
};

// Small files: both edges complete, kind from detection
TEST_F(LineExtraction, SplitsSmallFiles) {
  struct Row {
    std::string bytes;
    bool skipEmpty;
    Lines head, tail;
  } const rows[] = {
      {"a\nb", false, {"a", "b"}, {"a", "b"}},
      {"a\nb\n", false, {"a", "b"}, {"a", "b"}},
      {"a\r\nb\r\n", false, {"a", "b"}, {"a", "b"}},
      {"a\r\r\n", false, {"a\r"}, {"a\r"}},
      {"a\rb", false, {"a\rb"}, {"a\rb"}},
      {"a\n\nb", false, {"a", "", "b"}, {"a", "", "b"}},
      {"a\n\nb", true, {"a", "b"}, {"a", "b"}},
      {" \t\nx", true, {"x"}, {"x"}},
      {"\n \n\t\r\n", true, {}, {}},
      {"a\n\n", false, {"a", ""}, {"a", ""}},
      {"\n", false, {""}, {}},
      {"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n",
       false,
       {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
       {"10", "11", "12"}},
      {"abc", false, {"abc"}, {"abc"}},
      {hex("EF BB BF \"x\" 0A \"y\""), false, {"x", "y"}, {"x", "y"}},
      {hex("FF FE 41 00 0A 00 42 00"), false, {"A", "B"}, {"A", "B"}},
      {hex("FE FF 00 41 00 0A 00 42 00"), false, {"A", "B"}, {"A", "B"}},
      {hex("41 00 0A 00 42 00"), false, {"A", "B"}, {"A", "B"}},
      // U+010A holds a 0x0A byte but is no LF; a lone surrogate becomes U+FFFD
      {hex("FF FE 0A 01 41 00 0A 00 00 D8"),
       false,
       {hex("C4 8A \"A\""), hex("EF BF BD")},
       {hex("C4 8A \"A\""), hex("EF BF BD")}},
      {hex("FE FF 01 0A 00 0A D8 3D DE 00"),
       false,
       {hex("C4 8A"), hex("F0 9F 98 80")},
       {hex("C4 8A"), hex("F0 9F 98 80")}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.bytes) + (row.skipEmpty ? " skipEmpty" : ""));
    config.skipEmpty = row.skipEmpty;
    load(row.bytes);
    EXPECT_EQ(head(), row.head);
    EXPECT_EQ(tail(), row.tail);
  }
}

// Window edges, with windows of 16 and 64 bytes: a fragment cut by a window is no line
TEST_F(LineExtraction, WindowEdges) {
  const LineWindows small{16, 64};
  const std::string x62(62, 'x');
  struct Row {
    std::string bytes;
    Lines head, tail;
    std::int64_t headBytes, tailBytes;
  } const rows[] = {
      {"a\nb\nc\nd\ne\nf\ng\nhh",
       {"a", "b", "c", "d", "e", "f", "g", "hh"},
       {"f", "g", "hh"},
       0,
       0},
      {"a\nb\nc\nd\ne\nf\ng\nhhh",
       {"a", "b", "c", "d", "e", "f", "g", "hhh"},
       {"f", "g", "hhh"},
       17,
       16},
      {"a\n" + x62, {"a", x62}, {"a", x62}, 64, 16 + 64},
      {"a\n" + x62 + "y", {"a"}, {x62 + "y"}, 64, 16 + 64},
      {"\n" + x62 + "yy", {""}, {}, 64, 16 + 64},
      {"1\n2\n3\n" + x62 + "\n4\n", {"1", "2", "3"}, {"4"}, 64, 16 + 64},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bytes.size());
    load(row.bytes, small);
    EXPECT_EQ(head(small), row.head);
    EXPECT_EQ(bytesRead(), row.headBytes);
    EXPECT_EQ(tail(small), row.tail);
    EXPECT_EQ(bytesRead(), row.headBytes + row.tailBytes);
    // Both groups are done: asking again reads nothing.
    head(small);
    tail(small);
    EXPECT_EQ(bytesRead(), row.headBytes + row.tailBytes);
  }
}

// The product's window sizes at their edges
TEST_F(LineExtraction, RealWindowEdges) {
  for (const std::size_t size : {65536u, 65537u, 100000u, 4194304u, 4194305u}) {
    SCOPED_TRACE(size);
    const std::string rest(size - 5, 'r');
    load("a\r\nb\n" + rest);
    const bool wideCoversFile = size <= 4194304;
    // Compared whole: a failure message with multi-MiB lines helps nobody.
    EXPECT_TRUE(head() == (wideCoversFile ? Lines{"a", "b", rest} : Lines{"a", "b"}));
    EXPECT_TRUE(tail() == (wideCoversFile ? Lines{"a", "b", rest} : Lines{"b", rest}));
    EXPECT_LE(bytesRead(), 2 * 4194304 + 65536);
  }
}

// Lines that take little of their window are kept on their own: the window's text goes
TEST_F(LineExtraction, ShortLinesLetTheirWindowGo) {
  const LineWindows small{16, 64};
  load("a\nb\n" + std::string(100, 'x'), small);
  EXPECT_EQ(head(small), (Lines{"a", "b"}));
  EXPECT_EQ(tail(small), Lines{});
  EXPECT_LT(cache.groups.head->text.capacity(), 64u);
  EXPECT_LT(cache.groups.tail->text.capacity(), 64u);
}

// The BOM of a UTF-8 file is dropped only from windows that start at offset 0
TEST_F(LineExtraction, NoBomSkipInsideTheFile) {
  load(hex("EF BB BF \"hi\" 0A \"1\" 0A \"345678z\" 0A \"abcdefghijk\" 0A \"q\" 0A"), {16, 24});
  EXPECT_EQ(tail({16, 24}), (Lines{"345678z", "abcdefghijk", "q"}));
}

// An odd-sized UTF-16 file: tail windows keep to the file's unit grid
TEST_F(LineExtraction, OddSizedUtf16TailWindow) {
  load(hex("FF FE 68 00 65 00 6C 00 6C 00 6F 00 0A 00 78 00 0A 00 79 00 0A 00 7A 00 0A 00 41"),
       {16, 64});
  EXPECT_EQ(tail({16, 64}), (Lines{"x", "y", "z"}));
  EXPECT_EQ(bytesRead(), 15);
  std::string bigEndian = hex("FE FF");
  for (int i = 0; i < 20000; ++i)
    bigEndian += hex("00 6C 00 69 00 6E 00 65 00 0A");
  load(bigEndian + "!");
  EXPECT_EQ(tail(), (Lines{"line", "line", "line"}));
}

// Failed or short reads never replace found lines with fewer or misplaced ones
TEST_F(LineExtraction, ShortReadsKeepWhatIsKnown) {
  const LineWindows small{16, 64};
  load("a\nb\n" + std::string(30, 'x') + "\nc\nd", small);
  fake::faults().readScript = {-1};
  EXPECT_EQ(head(small), (Lines{"a", "b"}));
  fake::faults().readScript = {-2, -1};
  EXPECT_EQ(tail(small), (Lines{"c", "d"}));
  load("a\nb\n" + std::string(30, 'x') + "\nc\nd", small);
  fake::faults().afterScript = 10;
  EXPECT_EQ(tail(small), Lines{});
  EXPECT_EQ(head(small), (Lines{"a", "b"}));
}

// A tail read that stops at the end of a file shorter than its size said holds the last lines;
// one that fails part of the way does not. Windows of 4 and 16 bytes over "a b c d".
TEST_F(LineExtraction, ShortTailReadAtTheEndVersusFailed) {
  const LineWindows small{4, 16};
  struct Row {
    const char* what;
    std::function<void()> inject;
    Lines tail;
  } const rows[] = {
      {"no fault", [] {}, {"b", "c", "d"}},
      {"file now ends after c", [] { fake::putFile(u"f", "a\nb\nc"); }, {"a", "b", "c"}},
      {"file now ends before both windows", [] { fake::putFile(u"f", "a\nb"); }, {"a", "b"}},
      {"first window fails after 2 bytes",
       [] { fake::faults().readScript = {2}; },
       {"b", "c", "d"}},
      {"second window fails after 5 bytes",
       [] {
         fake::faults().readScript = {-2, 5};
       },
       {"c", "d"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fake::reset();
    load("a\nb\nc\nd", small);
    row.inject();
    EXPECT_EQ(tail(small), row.tail);
  }
}

// UTF-16 windows, converted and split, against the plain two-pass rule on seeded random files
// and small windows
TEST_F(LineExtraction, Utf16MatchesReference) {
  std::mt19937 random(20261208);
  const char* const units[] = {"61 00", "0A 00", "0A 00", "0D 00", "20 00", "21 00",
                               "0A 01", "00 0A", "3D D8", "00 DE", "30 04", "00 00"};
  for (int round = 0; round < 4000; ++round) {
    const bool bigEndian = random() % 2 == 0;
    std::string bytes = hex(bigEndian ? "FE FF" : "FF FE");
    for (auto n = random() % 120; n > 0; --n) {
      std::string unit = hex(units[random() % std::size(units)]);
      if (bigEndian) std::swap(unit[0], unit[1]);
      bytes += unit;
    }
    if (random() % 3 == 0) bytes += 'z';
    const auto first = static_cast<std::int32_t>(8 + random() % 100);
    const LineWindows windows{first, first * static_cast<std::int32_t>(1 + random() % 3)};
    config.skipEmpty = random() % 2 == 0;
    SCOPED_TRACE(testing::PrintToString(bytes) + " first " + std::to_string(first) +
                 (config.skipEmpty ? " skipEmpty" : ""));
    load(bytes, windows);
    const int kind = bigEndian ? reference::KindUtf16Be : reference::KindUtf16Le;
    ASSERT_EQ(static_cast<int>(cache.kind), kind);
    EXPECT_EQ(head(windows),
              reference::headGroup(bytes, kind, 2, config.skipEmpty, first, windows.wide));
    EXPECT_EQ(tail(windows),
              reference::tailGroup(bytes, kind, 2, config.skipEmpty, first, windows.wide));
  }
}

TEST(LineText, DecodeAndBlankRules) {
  std::string decoded;
  EXPECT_EQ(windowText(hex("EF BB BF"), EncodingKind::Utf8, 3, decoded), "");
  EXPECT_EQ(windowText("ab", EncodingKind::Other, 3, decoded), "");
  EXPECT_EQ(windowText("abcd", EncodingKind::Other, 0, decoded), "abcd");
  EXPECT_EQ(windowText(hex("41 00 00 00 42"), EncodingKind::Utf16Le, 0, decoded),
            std::string("A\0", 2));
  EXPECT_EQ(windowText(hex("41 00"), EncodingKind::Utf16Le, 1, decoded), "");
  EXPECT_EQ(windowText(hex("00 41 00"), EncodingKind::Utf16Be, 1, decoded), hex("E4 84 80"));
  EXPECT_TRUE(isBlankLine(""));
  EXPECT_TRUE(isBlankLine(hex("00 09 0D 20")));
  EXPECT_FALSE(isBlankLine(hex("20 21")));
  EXPECT_FALSE(isBlankLine(hex("A0")));
}

// The split scans against the plain split, on seeded random texts
TEST(LineText, SplitsAgreeWithPlainReference) {
  std::mt19937 random(20240611);
  const char alphabet[] = {'a', '\n', '\r', ' '};
  HeadLines heads;
  TailLines tails;
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 70, ' ');
    for (char& c : text)
      c = alphabet[random() % 4];
    const bool edge = random() % 2 == 0, skip = random() % 2 == 0;
    SCOPED_TRACE(testing::PrintToString(text) + (edge ? " edge" : "") + (skip ? " skip" : ""));
    splitHead(heads, text, edge, skip);
    splitTail(tails, text, edge, skip);
    EXPECT_EQ(Lines(heads.slots.begin(), heads.slots.begin() + heads.count),
              reference::headLines(text, edge, skip, 10));
    EXPECT_EQ(Lines(tails.slots.begin(), tails.slots.begin() + tails.count),
              reference::tailLines(text, edge, skip, 3));
  }
}

} // namespace
} // namespace linepeek
