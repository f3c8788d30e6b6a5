#include "analysis/line_endings.h"

#include <gtest/gtest.h>

#include "tests/support/test_util.h"

namespace linepeek {
namespace {

using test::hex;
using Kind = EncodingKind;
using Ends = LineEndingKind;

// The rules in the units each encoding forms, with the sample's last unit whole or cut off.
TEST(LineEndings, Rules) {
  struct Row {
    const char* sample;
    Kind kind;
    int bomLength;
    bool whole;
    Ends expected;
  };
  const Row rows[] = {
      {"", Kind::Other, 0, true, Ends::None},
      {"41 42 09 0B 0C", Kind::Other, 0, true, Ends::None},
      {"41 0D 0A 42 0D 0A", Kind::Other, 0, true, Ends::Crlf},
      {"41 0A 42 0A", Kind::Other, 0, true, Ends::Lf},
      {"41 0D 42 0D", Kind::Other, 0, true, Ends::Cr},
      {"0D 0D 42", Kind::Other, 0, false, Ends::Cr},
      {"41 0D 0A 42 0A", Kind::Other, 0, true, Ends::Mixed},
      {"0A 0D 0A", Kind::Other, 0, true, Ends::Mixed},
      {"41 0D 42 0A", Kind::Other, 0, true, Ends::Mixed},
      {"0D 0D 0A", Kind::Other, 0, true, Ends::Mixed},
      // A CR in the last position counts only when the file ends there.
      {"41 0D", Kind::Other, 0, true, Ends::Cr},
      {"41 0D", Kind::Other, 0, false, Ends::None},
      {"41 0A 0D", Kind::Other, 0, true, Ends::Mixed},
      {"41 0A 0D", Kind::Other, 0, false, Ends::Lf},
      {"41 0D 0A", Kind::Other, 0, false, Ends::Crlf},
      {"EF BB BF 41 0D 0A", Kind::Utf8, 3, true, Ends::Crlf},
      {"C3 A9 0D", Kind::Utf8, 0, true, Ends::Cr},
      // UTF-16: whole units in the file's byte order, the mark skipped, an odd byte no unit.
      {"FF FE 0A 00", Kind::Utf16Le, 2, true, Ends::Lf},
      {"FF FE 41 00 0D 00 0A 00", Kind::Utf16Le, 2, true, Ends::Crlf},
      {"FE FF 00 0D 00 0A", Kind::Utf16Be, 2, true, Ends::Crlf},
      {"41 00 0D 00 42 00", Kind::Utf16Le, 0, true, Ends::Cr},
      {"00 0D 00 0A", Kind::Utf16Le, 0, true, Ends::None},
      {"00 0D 00 0A", Kind::Utf16Be, 0, true, Ends::Crlf},
      {"0D 00 0A 00", Kind::Utf16Be, 0, true, Ends::None},
      {"0A 0D 0D 0A", Kind::Utf16Le, 0, true, Ends::None},
      {"0D 0A 0A 00", Kind::Utf16Le, 0, true, Ends::Lf},
      {"00 41 00 0D", Kind::Utf16Be, 0, true, Ends::Cr},
      {"00 41 00 0D", Kind::Utf16Be, 0, false, Ends::None},
      {"41 00 0D 00 0A", Kind::Utf16Le, 0, true, Ends::Cr},
      {"41 00 0D 00 0A", Kind::Utf16Le, 0, false, Ends::None},
      {"00 0D 0A 00", Kind::Utf16Le, 0, false, Ends::Lf},
      {"0A", Kind::Utf16Le, 0, true, Ends::None},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.sample << " kind " << static_cast<int>(row.kind)
                                    << (row.whole ? " whole" : " cut"));
    EXPECT_EQ(classifyLineEndings(hex(row.sample), row.kind, row.bomLength, row.whole),
              row.expected);
  }
}

} // namespace
} // namespace linepeek
