#include "plugin/replace_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "plugin/replace_stream_testing.h"
#include "settings/settings_check.h"
#include "tests/support/test_util.h"

namespace linepeek {
namespace {

using test::utf16;
using test::utf8;

// One pair: left to right, no overlap, inserted text never searched again.
TEST(ReplaceStream, ApplyPairWorkedExamples) {
  const char* rows[][3] = {{"cat=dog", "concatenate cat", "condogenate dog"},
                           {"a=aa", "banana", "baanaanaa"},
                           {"ab=", "aabb", "ab"},
                           {"aa=b", "aaa", "ba"},
                           {"o=0", "one two", "0ne tw0"},
                           {"Cat=Dog", "cat", "cat"},
                           {"k=v=w", "k", "v=w"},
                           {"=x", "any", "any"},
                           {"abc", "abc", "abc"},
                           {"a=ab", "aa", "abab"},
                           {"x=", "xaxbx", "ab"},
                           {"a = b", "a a b", " b bb"},
                           {"abc=", "abc", ""},
                           {"long=x", "lon", "lon"},
                           {"a=b", "", ""}};
  for (const auto& [value, line, expected] : rows) {
    SCOPED_TRACE(std::string(value) + " on " + line);
    const ReplacePair pair = splitReplacePair(utf16(value));
    std::u16string text = utf16(line);
    applyPair(text, pair.from, pair.to);
    EXPECT_EQ(utf8(text), expected);
  }
}

// Slots apply in order, each on the result of the one before.
TEST(ReplaceStream, SlotOrder) {
  const char* rows[][4] = {
      {"x=y", "y=z", "xyz", "zzz"}, {"x=y", "y=x", "xyyx", "xxxx"}, {"y=x", "x=y", "xyyx", "yyyy"}};
  for (const auto& [first, second, line, expected] : rows) {
    SCOPED_TRACE(std::string(first) + ", " + second);
    std::array<ReplacePair, ReplaceSlots> pairs{};
    pairs[0] = splitReplacePair(utf16(first));
    pairs[1] = splitReplacePair(utf16(second));
    std::u16string text = utf16(line);
    applyReplacements(text, pairs);
    EXPECT_EQ(utf8(text), expected);
  }
}

// Each pair's result is cut at the limit before the next pair sees it; a slot that does nothing
// cuts nothing.
TEST(ReplaceStream, CutAtTheLimit) {
  struct Row {
    std::vector<const char*> pairs;
    const char* line;
    std::size_t limit;
    const char* expected;
  } const rows[] = {
      {{"a=bb"}, "aaa", 6, "bbbbbb"},
      {{"a=bb"}, "aaa", 5, "bbbbb"},
      {{"a=bb", "bbbbb=x"}, "aaa", 6, "xb"},
      {{"a=bb", "bbbbb=x"}, "aaa", 5, "x"},
      {{"z=y"}, "abc", 2, "ab"},
      {{"=y"}, "abc", 2, "abc"},
      {{"ab=", "a=aa"}, "aabb", 3, "aab"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.line) + " limit " + std::to_string(row.limit));
    std::array<ReplacePair, ReplaceSlots> pairs{};
    for (std::size_t slot = 0; slot < row.pairs.size(); ++slot)
      pairs[slot] = splitReplacePair(utf16(row.pairs[slot]));
    std::u16string text = utf16(row.line);
    applyReplacements(text, pairs, row.limit);
    EXPECT_EQ(utf8(text), row.expected);
  }
}

// Pairs that quadruple the text: at the product's limit 4^11 units are exactly the limit and
// one unit more is cut; twenty such pairs stay at any limit, and a stream that keeps a few
// units stops early.
TEST(ReplaceStream, ChainedGrowthStopsAtTheLimit) {
  struct Row {
    std::size_t slots;
    const char* line;
    std::size_t limit;
    std::size_t letters; // 'b's left at the end
  } const rows[] = {{11, "a", ReplaceLimitUnits, 0},
                    {11, "ba", ReplaceLimitUnits, 1},
                    {11, "ab", ReplaceLimitUnits, 0},
                    {20, "ab", 1000, 0}};
  ASSERT_EQ(ReplaceLimitUnits, std::size_t{1} << 22);
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.line) + " slots " + std::to_string(row.slots));
    std::array<ReplacePair, ReplaceSlots> pairs{};
    for (std::size_t slot = 0; slot < row.slots; ++slot)
      pairs[slot] = {u"a", u"aaaa"};
    std::u16string text = utf16(row.line);
    applyReplacements(text, pairs, row.limit);
    EXPECT_EQ(text.size(), row.limit);
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), u'b')), row.letters);
  }
  ReplaceStream stream(5);
  for (std::size_t slot = 0; slot < ReplaceSlots; ++slot)
    stream.addPair(u"a", u"aaaa");
  EXPECT_FALSE(stream.feed(u"x" + std::u16string(5000, u'a')));
  stream.finish();
  EXPECT_EQ(stream.kept(), u"xaaaa");
}

} // namespace
} // namespace linepeek
