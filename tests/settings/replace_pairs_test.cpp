#include "settings/replace_pairs.h"

#include <gtest/gtest.h>

#include "tests/settings/temp_ini.h"
#include "tests/support/test_util.h"

namespace linepeek {
namespace {

using test::utf16;
using test::utf8;

// S1 to S20 are read; S0, S01 and S21 are not; nothing is trimmed beside the "=".
TEST(ReplacePairs, ReadsSlotsOneToTwenty) {
  test::TempIni ini;
  Settings s;
  loadReplacePairs(ini.write("[Replaces]\nS0=z=0\nS01=z=1\nS1=cat=dog\nS2=k=v=w\nS3=abc\n"
                             "S4=a = b\nS20=x=y\nS21=z=21\n"),
                   s);
  const char* expected[ReplaceSlots][2] = {{"cat", "dog"}, {"k", "v=w"}, {"", ""}, {"a ", " b"}};
  expected[19][0] = "x";
  expected[19][1] = "y";
  for (int slot = 0; slot < ReplaceSlots; ++slot) {
    SCOPED_TRACE(slot + 1);
    const ReplacePair& pair = s.replaces[static_cast<std::size_t>(slot)];
    EXPECT_EQ(utf8(pair.from), expected[slot][0] ? expected[slot][0] : "");
    EXPECT_EQ(utf8(pair.to), expected[slot][1] ? expected[slot][1] : "");
  }
}

} // namespace
} // namespace linepeek
