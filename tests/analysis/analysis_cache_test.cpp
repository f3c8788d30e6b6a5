#include "analysis/analysis_cache.h"

#include <gtest/gtest.h>

#include "tests/support/fake_files.h"
#include "tests/support/test_util.h"

namespace linepeek {
namespace {

class AnalysisCacheTest : public testing::Test {
protected:
  void SetUp() override { fake::reset(); }
  // Opens `name`, refreshes `cache` for it with the fake's size and time, and closes it.
  void refresh(const std::u16string& name, std::int64_t size, std::uint64_t time) {
    FileOwner file(platform::openFile(name.c_str()));
    refreshCache(cache, file.get(), name, size, time, config);
  }
  AnalysisCache cache;
  Settings config;
};

// Identity: all of name (exact code units), size and time, and a valid record
TEST_F(AnalysisCacheTest, RefillsOnlyWhenIdentityChanges) {
  struct Row {
    const char16_t* name;
    std::int64_t size;
    std::uint64_t time;
    bool invalidate;
    bool refills;
  } const rows[] = {{u"a.txt", 3, 7, false, false},
                    {u"a.txt", 3, 8, false, true},
                    {u"A.txt", 3, 7, false, true},
                    {u"a.txt", 2, 7, false, true},
                    {u"a.txt", 3, 7, true, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << test::utf8(row.name) << " " << row.size << " " << row.time
                                    << " invalidate " << row.invalidate);
    fake::reset();
    fake::putFile(u"a.txt", "abc", 7);
    fake::putFile(u"A.txt", "abc", 7);
    cache = {};
    refresh(u"a.txt", 3, 7);
    HeadLines& head = cache.groups.head.emplace();
    head.count = 1;
    head.text.assign(1 << 20, 'x');
    head.slots[0] = head.text;
    cache.groups.lineEndings = LineEndingKind::Lf;
    cache.valid = !row.invalidate;
    const std::int64_t readsBefore = fake::counters().reads;
    refresh(row.name, row.size, row.time);
    EXPECT_EQ(fake::counters().reads - readsBefore, row.refills ? 1 : 0);
    // A refill lets go of every group, the old lines' memory with them.
    EXPECT_EQ(cache.groups.head.has_value(), !row.refills);
    EXPECT_EQ(cache.groups.lineEndings.has_value(), !row.refills);
    EXPECT_TRUE(cache.valid);
  }
}

// Empty files and failed size queries preset the file-reading groups without a read
TEST_F(AnalysisCacheTest, EmptyOrUnknownSizePresetsGroups) {
  for (const std::int64_t size : {std::int64_t{0}, std::int64_t{-1}}) {
    SCOPED_TRACE(size);
    fake::putFile(u"e", "", 1);
    cache = {};
    cache.headSample = "stale";
    cache.kind = EncodingKind::Utf8;
    refresh(u"e", size, 1);
    EXPECT_EQ(fake::counters().reads, 0);
    EXPECT_TRUE(cache.valid && cache.groups.head && cache.groups.tail);
    EXPECT_EQ(cache.groups.isBinary, false);
    EXPECT_EQ(cache.groups.lineTotal, 0);
    EXPECT_FALSE(cache.groups.encoding);
    EXPECT_EQ(cache.kind, EncodingKind::Other);
    EXPECT_EQ(cache.headSample, "");
  }
}

TEST_F(AnalysisCacheTest, HeadSampleIsOneReadOfTheFirstWindow) {
  for (const std::int64_t size : {65535, 65536, 65537}) {
    SCOPED_TRACE(size);
    fake::reset();
    std::string bytes(static_cast<std::size_t>(size), 'x');
    bytes.replace(0, 3, test::hex("EF BB BF"));
    fake::putFile(u"f", bytes);
    refresh(u"f", size, 1);
    EXPECT_EQ(fake::counters().reads, 1);
    EXPECT_EQ(cache.headSample, bytes.substr(0, 65536));
    EXPECT_EQ(cache.kind, EncodingKind::Utf8);
    EXPECT_EQ(cache.bomLength, 3);
  }
}

// A short or failed head read still gives a valid record that is not read again
TEST_F(AnalysisCacheTest, ShortHeadReadStillCaches) {
  for (const bool fail : {false, true}) {
    SCOPED_TRACE(fail);
    fake::reset();
    fake::putFile(u"f", "0123456789abcdef");
    fake::faults().readScript = {fail ? -1 : 4};
    cache = {};
    refresh(u"f", 16, 1);
    refresh(u"f", 16, 1);
    EXPECT_EQ(fake::counters().reads, 1);
    EXPECT_TRUE(cache.valid);
    EXPECT_EQ(cache.headSample, fail ? "" : "0123");
  }
}

TEST_F(AnalysisCacheTest, ReadRangeBounds) {
  fake::putFile(u"f", "0123456789");
  FileOwner file(platform::openFile(u"f"));
  struct Row {
    std::int64_t offset;
    std::int32_t length;
    const char* expected;
  } const rows[] = {{2, 3, "234"}, {8, 5, "89"}, {10, 4, ""}, {40, 4, ""},
                    {-1, 4, ""},   {0, 0, ""},   {0, -5, ""}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.offset << " " << row.length);
    ASSERT_TRUE(platform::seekTo(file.get(), 5));
    EXPECT_EQ(readRange(file.get(), row.offset, row.length), row.expected);
  }
  // Lengths of 0 or less leave the position alone.
  char next = 0;
  ASSERT_EQ(platform::readFile(file.get(), &next, 1), 1);
  EXPECT_EQ(next, '5');
  fake::faults().readScript = {-1};
  EXPECT_EQ(readRange(file.get(), 0, 4), "");
}

TEST(AnalysisCache, WindowLengthNeverExceedsTheWindow) {
  EXPECT_EQ(windowLength(0, HeadWindow), 0);
  EXPECT_EQ(windowLength(-1, HeadWindow), -1);
  EXPECT_EQ(windowLength(65535, HeadWindow), 65535);
  EXPECT_EQ(windowLength(5LL << 30, HeadWindow), 65536);
  EXPECT_EQ(windowLength((1LL << 32) + 5, WideWindow), 4194304);
}

} // namespace
} // namespace linepeek
