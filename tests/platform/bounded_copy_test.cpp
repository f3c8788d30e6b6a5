#include "platform/platform.h"

#include <gtest/gtest.h>

#include <string>

namespace linepeek::platform {
namespace {

// At most capacity - 1 units and a zero; nothing past the zero is touched.
TEST(BoundedCopy, CapacityTable) {
  struct Case {
    int capacity;
    std::string expected; // the whole buffer afterwards, '#' where nothing was written
  };
  const Case cases[] = {
      {-1, "##########"},
      {0, "##########"},
      {1, std::string("\0#########", 10)},
      {2, std::string("a\0########", 10)},
      {4, std::string("abc\0######", 10)},
      {7, std::string("abcdef\0###", 10)},
      {8, std::string("abcdef\0###", 10)},
      {10, std::string("abcdef\0###", 10)},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.capacity);
    std::string narrow(10, '#');
    copyBounded8(narrow.data(), "abcdef", row.capacity);
    EXPECT_EQ(narrow, row.expected);

    std::u16string wide(10, u'#');
    copyBounded16(wide.data(), u"abcdef", row.capacity);
    EXPECT_EQ(wide, std::u16string(row.expected.begin(), row.expected.end()));
  }
}

// The UTF-16 copy counts code units, so it may cut a surrogate pair in two.
TEST(BoundedCopy, CutsBetweenSurrogates) {
  std::u16string wide(4, u'#');
  copyBounded16(wide.data(), u"a\U0001F600b", 3);
  EXPECT_EQ(wide, (std::u16string{u'a', 0xD83D, 0, u'#'}));
}

// An empty source writes only the zero.
TEST(BoundedCopy, EmptySource) {
  std::string narrow(3, '#');
  copyBounded8(narrow.data(), "", 3);
  EXPECT_EQ(narrow, std::string("\0##", 3));
  std::u16string wide(3, u'#');
  copyBounded16(wide.data(), u"", 3);
  EXPECT_EQ(wide, std::u16string(u"\0##", 3));
}

} // namespace
} // namespace linepeek::platform
