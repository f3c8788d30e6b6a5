#include "analysis/encoding_kind_testing.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/reference/encoding.h"
#include "tests/support/test_util.h"

namespace linepeek {
namespace {

using test::hex;
using K = EncodingKind;

std::string repeat(int count, const std::string& unit) {
  std::string out;
  for (int i = 0; i < count; ++i)
    out += unit;
  return out;
}

struct Row {
  std::string sample;
  std::int32_t utf8KB;
  EncodingKind kind;
  std::int32_t bomLength;
};

TEST(EncodingKind, DetectsKindAndBomLength) {
  const std::string le = hex("41 00"), be = hex("00 41"), plain = hex("41 42");
  const std::string ascii(1024, 'a');
  const Row rows[] = {
      {"", 64, K::Other, 0},
      {hex("EF BB BF"), 64, K::Utf8, 3},
      {hex("EF BB"), 64, K::Utf8, 0},
      {hex("FF FE"), 64, K::Utf16Le, 2},
      {hex("FF FE 00 00"), 64, K::Utf16Le, 2},
      {hex("FE FF 00 41"), 64, K::Utf16Be, 2},
      {hex("41 00 42 00"), 64, K::Utf16Le, 0},
      {hex("41 00 42"), 64, K::Utf16Le, 0},
      {hex("00 41 00 42"), 64, K::Utf16Be, 0},
      {hex("00 00"), 64, K::Other, 0},
      {hex("68 65 6C 6C 6F"), 64, K::Other, 0},
      {hex("C3 A9"), 64, K::Utf8, 0},
      {hex("C3"), 64, K::Utf8, 0},
      {hex("C0 80"), 64, K::Utf8, 0},
      {hex("ED A0 80 F5 80 80 80"), 64, K::Utf8, 0},
      {hex("80"), 64, K::Other, 0},
      {hex("FF"), 64, K::Other, 0},
      {hex("F8 80"), 64, K::Other, 0},
      {hex("41 C3 28"), 64, K::Other, 0},
      {hex("E0 80 41"), 64, K::Other, 0},
      // UTF-16 guess thresholds over 100 units
      {repeat(25, le) + repeat(75, plain), 64, K::Utf16Le, 0},
      {repeat(24, le) + repeat(76, plain), 64, K::Other, 0},
      {repeat(25, be) + repeat(75, plain), 64, K::Utf16Be, 0},
      {repeat(40, le) + repeat(9, be) + repeat(51, plain), 64, K::Utf16Le, 0},
      {repeat(40, le) + repeat(10, be) + repeat(50, plain), 64, K::Other, 0},
      // only the first 4,096 bytes (2,048 units) count
      {repeat(1536, plain) + repeat(512, le), 64, K::Utf16Le, 0},
      {repeat(1537, plain) + repeat(512, le), 64, K::Other, 0},
      {repeat(2048, plain) + repeat(100, le), 64, K::Other, 0},
      // Utf8BufferSizeKB 1 examines offsets 0..1,023
      {ascii.substr(0, 1023) + hex("C3 A9"), 1, K::Utf8, 0},
      {ascii + hex("C3 A9"), 1, K::Other, 0},
      {ascii.substr(0, 1022) + hex("C3 A9 FF"), 1, K::Utf8, 0},
      {ascii + hex("C3 A9"), 64, K::Utf8, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "sample of " << row.sample.size() << " bytes, starting "
                                    << testing::PrintToString(row.sample.substr(0, 8)));
    Settings config;
    config.utf8BufferSizeKB = row.utf8KB;
    std::int32_t bomLength = -1;
    EXPECT_EQ(detectEncoding(row.sample, bomLength, config), row.kind);
    EXPECT_EQ(bomLength, row.bomLength);
  }
}

// The block check against the plain walk from lead to lead, on seeded random bytes: mostly 7-bit
// runs, so that leads and continuations fall on every offset of a 16-byte block and across blocks
TEST(EncodingKind, Utf8CheckAgreesWithPlainWalk) {
  const std::string pieces[] = {"a",
                                "a",
                                "a",
                                "a",
                                hex("C3 A9"),
                                hex("E0 80 BF"),
                                hex("F7 BF 80 80"),
                                hex("80"),
                                hex("C3"),
                                hex("EF BF"),
                                hex("F8"),
                                hex("FF")};
  std::mt19937 random(20261209);
  int utf8 = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(random() % 40, 'a');
    while (bytes.size() < 90 && random() % 8 != 0)
      bytes += random() % 3 == 0 ? pieces[random() % std::size(pieces)]
                                 : std::string(random() % 20, 'a');
    if (round % 2 == 0) bytes.resize(random() % (bytes.size() + 1)); // cut anywhere
    SCOPED_TRACE(testing::PrintToString(bytes));
    const bool expected = reference::looksUtf8(bytes);
    EXPECT_EQ(looksUtf8(bytes), expected);
    utf8 += expected ? 1 : 0;
  }
  EXPECT_GT(utf8, 2000); // both answers are well represented
}

} // namespace
} // namespace linepeek
