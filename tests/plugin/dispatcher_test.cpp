#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "plugin/dispatcher_testing.h"
#include "tests/plugin/request_fixture.h"
#include "tests/support/test_util.h"

namespace linepeek::test {
namespace {

using DispatcherTest = RequestTest;

// Bad indices touch nothing: no file system, no lock.
TEST_F(DispatcherTest, FieldIndexOutsideTheCatalogue) {
  fake::putFile(u"a.txt", "x\n");
  for (int field : {16, -1, 1000}) {
    char buffer[8] = "keep";
    EXPECT_EQ(ask(u"a.txt", field, buffer), -1);
    EXPECT_EQ(ask(u"missing", field, buffer), -1);
    EXPECT_STREQ(buffer, "keep");
  }
  EXPECT_EQ(fake::counters().opens, 0);
  EXPECT_EQ(fake::counters().lockEntries, 0);
}

TEST_F(DispatcherTest, FoldersAndMissingEntries) {
  fake::putDirectory(u"dir");
  EXPECT_EQ(askText(u"dir", 15), "Folder");
  EXPECT_EQ(askText(u"dir", 14), "(-3)");
  EXPECT_EQ(askText(u"missing", 14), "(-2)");
  EXPECT_EQ(askText(u"missing", 15), "(-2)");
  // None of these takes the lock or opens anything.
  EXPECT_EQ(fake::counters().lockEntries, 0);
  EXPECT_EQ(fake::counters().opens, 0);

  // Line and count fields try to open, fail, and invalidate the cache.
  fake::putFile(u"a.txt", "x\n");
  EXPECT_EQ(askCount(u"a.txt"), 1);
  ASSERT_TRUE(analysisCache.valid);
  std::int64_t value = 0;
  EXPECT_EQ(ask(u"dir", 13, &value), -3);
  EXPECT_FALSE(analysisCache.valid);
  EXPECT_EQ(askLine(u"missing", 0), u"(-3)");
}

// A choice is cut to maxLen - 1 bytes and its zero; a buffer without room for the zero gets no
// answer and keeps what it held.
TEST_F(DispatcherTest, ChoicesAreBoundedCopies) {
  fake::putDirectory(u"dir");
  fake::putFile(u"a.txt", "a\n");
  const struct {
    const char16_t* name;
    int field;
    int maxLen;
    int code;
    const char* text;
  } rows[] = {{u"dir", 15, 4, 7, "Fol"},      {u"dir", 15, 1, 7, ""},
              {u"dir", 15, 0, -3, nullptr},   {u"a.txt", 14, 3, 7, "AN"},
              {u"a.txt", 14, 0, -3, nullptr}, {u"a.txt", 15, -1, -3, nullptr}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.field) + " maxLen " + std::to_string(row.maxLen));
    char buffer[8] = "#######";
    EXPECT_EQ(ask(row.name, row.field, buffer, row.maxLen), row.code);
    const std::string text = row.text != nullptr ? row.text : "";
    if (row.text != nullptr) {
      EXPECT_EQ(std::string(buffer), text);
    }
    for (std::size_t i = row.text != nullptr ? text.size() + 1 : 0; i < 7; ++i)
      EXPECT_EQ(buffer[i], '#') << "byte " << i;
  }
}

TEST_F(DispatcherTest, ExtensionListRefusesBeforeTheLock) {
  settings.extensions = u"txt log";
  fake::putFile(u"C:\\a\\b.text", "x\n");
  fake::putFile(u"C:\\a\\NOTE.TXT", "x\n");
  fake::putFile(u"C:\\a\\b.txt.bak", "x\n");
  EXPECT_EQ(askCount(u"C:\\a\\NOTE.TXT"), 1);
  ASSERT_TRUE(analysisCache.valid);
  const int locksBefore = fake::counters().lockEntries;
  std::int64_t value = 0;
  EXPECT_EQ(ask(u"C:\\a\\b.text", 13, &value), -2);
  EXPECT_EQ(askLine(u"C:\\a\\b.txt.bak", 0), u"(-2)");
  EXPECT_EQ(askLine(u"C:\\a\\missing.doc", 12), u"(-2)");
  EXPECT_EQ(fake::counters().lockEntries, locksBefore);
  EXPECT_TRUE(analysisCache.valid) << "a refused request leaves the cache alone";
  // "Encoding" and "Type" ignore the list.
  EXPECT_EQ(askText(u"C:\\a\\b.text", 15), "Text");
  EXPECT_EQ(askText(u"C:\\a\\b.text", 14), "ANSI");
}

TEST(ExtensionFilter, Terms) {
  struct Row {
    const char16_t* name;
    const char16_t* list;
    bool passes;
  };
  const Row rows[] = {
      {u"C:\\a\\NOTE.TXT", u"txt log", true},
      {u"C:\\a\\b.log", u"txt log", true},
      {u"C:\\a\\b.text", u"txt log", false},
      {u"C:\\a\\b.txt.bak", u"txt log", false},
      {u"C:\\doc\\a.tar.gz", u"gz", true},
      {u"C:\\doc\\a.tar.gz", u"tar", false},
      {u"C:\\a\\b.txt", u".txt", false},
      {u"C:\\a\\b.txt", u"", true},
      {u"C:\\a\\b", u"", true},
      // No extension: a folder dot, a leading dot, a trailing dot, a drive colon.
      {u"C:\\doc.d\\readme", u"txt d", false},
      {u"C:\\doc\\.profile", u"profile", false},
      {u".profile", u"profile", false},
      {u"/home/u/.bashrc", u"bashrc", false},
      {u"C:\\a\\b.", u"txt", false},
      {u"C:x", u"x", false},
      {u"C:\\doc\\readme", u"txt  log", true},
      // Only ASCII letters fold; other letters must match exactly.
      {u"C:\\a\\b.\u00C4", u"\u00E4", false},
      {u"C:\\a\\b.\u00E4", u"\u00E4", true},
      // Tabs and commas do not separate entries.
      {u"C:\\a\\b.txt", u"log\ttxt", false},
      {u"C:\\a\\b.txt", u"log,txt", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(utf8(row.name) + " in [" + utf8(row.list) + "]");
    EXPECT_EQ(passesExtensionFilter(row.name, row.list), row.passes);
  }
}

TEST_F(DispatcherTest, UnchangedFileIsReadOncePerGroup) {
  fake::putFile(u"a.txt", "one\ntwo\n");
  EXPECT_EQ(askLine(u"a.txt", 0), u"one");
  const auto readsAfterFirst = fake::counters().reads;
  EXPECT_EQ(askLine(u"a.txt", 1), u"two");
  EXPECT_EQ(askText(u"a.txt", 15), "Text");
  EXPECT_EQ(askText(u"a.txt", 14), "ANSI");
  EXPECT_EQ(askCount(u"a.txt"), 2);
  EXPECT_EQ(fake::counters().reads, readsAfterFirst) << "the sample holds the whole file";
}

// Each request asks the system about the name once at most. A file that the cache describes is
// checked by name and opened only for a group still to read from it: a file in the head sample
// once a row, a larger one once for each end and once for the count.
TEST_F(DispatcherTest, OpensAndEntryQueriesOfARow) {
  const std::string big = "a\nb\n" + std::string(100000, 'c') + "\nd\n";
  const auto row = [](const std::u16string& name) {
    const auto opens = fake::counters().opens;
    const auto queries = fake::counters().entryQueries;
    char buffer[256];
    for (int field = 0; field < 16; ++field)
      ask(name, field, buffer, sizeof buffer);
    return std::pair(fake::counters().opens - opens, fake::counters().entryQueries - queries);
  };
  fake::putFile(u"a.txt", "one\ntwo\n", 1);
  EXPECT_EQ(row(u"a.txt"), std::pair(1, 15)) << "new: the first request opens, unasked";
  EXPECT_EQ(row(u"a.txt"), std::pair(0, 16)) << "unchanged";
  fake::putFile(u"a.txt", "six\ntwo\n", 2);
  EXPECT_EQ(row(u"a.txt"), std::pair(1, 16)) << "a new write time";
  EXPECT_EQ(askLine(u"a.txt", 0), u"six");
  fake::putFile(u"a.txt", "six\ntwo\nten\n", 2);
  EXPECT_EQ(row(u"a.txt"), std::pair(1, 16)) << "a new size";
  EXPECT_EQ(askCount(u"a.txt"), 3);
  fake::putFile(u"big.txt", big, 1);
  EXPECT_EQ(row(u"big.txt"), std::pair(3, 15)) << "beyond the head sample";
  EXPECT_EQ(row(u"big.txt"), std::pair(0, 16));
  EXPECT_EQ(askLine(u"big.txt", 12), u"d");
}

TEST_F(DispatcherTest, ChangedTimeOrFailedOpenRefills) {
  fake::putFile(u"a.txt", "one\n", 5);
  EXPECT_EQ(askLine(u"a.txt", 0), u"one");
  fake::putFile(u"a.txt", "two\n", 6); // same size, newer time
  EXPECT_EQ(askLine(u"a.txt", 0), u"two");

  // Unchanged, it is answered from the record, not opened; changed, a failed open answers
  // nothing and drops the record.
  fake::faults().failOpenCalls = 1;
  EXPECT_EQ(askLine(u"a.txt", 0), u"two");
  fake::putFile(u"a.txt", "six\n", 7);
  EXPECT_EQ(askLine(u"a.txt", 0), u"(-3)");
  EXPECT_FALSE(analysisCache.valid);
  const auto reads = fake::counters().reads;
  EXPECT_EQ(askLine(u"a.txt", 0), u"six");
  EXPECT_GT(fake::counters().reads, reads) << "an invalidated record is refilled";
}

TEST_F(DispatcherTest, FailedSizeQueryAnswersLikeAnEmptyFile) {
  fake::putFile(u"a.txt", "one\ntwo\n");
  fake::faults().failSize = true;
  EXPECT_EQ(askCount(u"a.txt"), 0);
  EXPECT_EQ(askLine(u"a.txt", 0), u"(-3)");
  EXPECT_EQ(askText(u"a.txt", 15), "Text");
  settings.lineEndings = true;
  EXPECT_EQ(askText(u"a.txt", 16), "None");
  EXPECT_EQ(fake::counters().reads, 0);
}

// "Line endings" when switched on: the entry checks of "Encoding", no value for binary files,
// and the head sample alone, whose last unit stays open unless it ends the file.
TEST_F(DispatcherTest, LineEndingsField) {
  settings.lineEndings = true;
  settings.extensions = u"log";
  fake::putDirectory(u"dir");
  EXPECT_EQ(askText(u"dir", 16), "(-3)");
  EXPECT_EQ(askText(u"missing", 16), "(-2)");
  EXPECT_EQ(fake::counters().opens, 0);
  EXPECT_EQ(askText(u"a.txt", 17), "(-1)");

  const auto utf16Le = [](std::size_t units, std::string_view last) {
    std::string bytes = "\xFF\xFE";
    for (std::size_t i = 0; i < units; ++i)
      bytes += std::string("A\0", 2);
    return bytes + std::string(last);
  };
  const std::string lf16 = std::string("\n\0", 2);
  const std::string cr16 = std::string("\r\0", 2);
  const std::pair<std::string, const char*> rows[] = {
      {"", "None"},
      {"one\r\ntwo\r\n", "CRLF"},
      {"one\ntwo", "LF"},
      {"one\rtwo\r", "CR"},
      {"one\r\ntwo\n", "Mixed"},
      {"\x01\r\n", "(-3)"},
      // The head sample ends at 65,536 bytes.
      {std::string(65535, 'a') + "\r", "CR"},
      {std::string(65535, 'a') + "\r\n", "None"},
      {std::string(65534, 'a') + "\r\n", "CRLF"},
      {std::string(65536, 'a') + "\r", "None"},
      {utf16Le(32766, cr16), "CR"},
      {utf16Le(32766, cr16 + lf16), "None"},
      {utf16Le(32765, cr16 + lf16), "CRLF"},
  };
  std::uint64_t writeTime = 1;
  for (const auto& [bytes, expected] : rows) {
    SCOPED_TRACE(std::to_string(bytes.size()) + " bytes: " + bytes.substr(0, 12));
    fake::putFile(u"a.txt", bytes, ++writeTime);
    EXPECT_EQ(askText(u"a.txt", 16), expected);
  }
  // No read of its own, once the cache holds the file.
  fake::putFile(u"b.txt", "x\r\n");
  EXPECT_EQ(askText(u"b.txt", 14), "ANSI");
  const auto reads = fake::counters().reads;
  EXPECT_EQ(askText(u"b.txt", 16), "CRLF");
  EXPECT_EQ(fake::counters().reads, reads);
  // A read cut short leaves the sample shorter than the file: its last CR stays open.
  fake::putFile(u"c.txt", "one\r\n");
  fake::faults().afterScript = 4;
  EXPECT_EQ(askText(u"c.txt", 16), "None");
}

// "Charset" when switched on: after "Line endings" when that is on too, the entry checks of
// "Encoding", no value for binary files, and no read of its own.
TEST_F(DispatcherTest, CharsetField) {
  settings.charset = true;
  settings.extensions = u"log";
  fake::putDirectory(u"dir");
  EXPECT_EQ(askText(u"dir", 16), "(-3)");
  EXPECT_EQ(askText(u"missing", 16), "(-2)");
  EXPECT_EQ(fake::counters().opens, 0);
  fake::putFile(u"a.txt", "\x01\x02");
  EXPECT_EQ(askText(u"a.txt", 16), "(-3)");
  fake::putFile(u"b.txt", "Gr\xFC\xDF"
                          "e aus K\xF6ln, sch\xF6ne Gr\xFC\xDF"
                          "e\n");
  EXPECT_EQ(askText(u"b.txt", 15), "Text");
  const auto reads = fake::counters().reads;
  EXPECT_EQ(askText(u"b.txt", 16), "ISO-8859-1");
  EXPECT_EQ(fake::counters().reads, reads);
  settings.lineEndings = true;
  EXPECT_EQ(askText(u"b.txt", 16), "LF");
  EXPECT_EQ(askText(u"b.txt", 17), "ISO-8859-1");
  fake::putFile(u"c.txt", "\xEF\xBB\xBFok\n");
  EXPECT_EQ(askText(u"c.txt", 17), "UTF-8");
}

TEST_F(DispatcherTest, CountIgnoresMaxLenAndWritesEightBytes) {
  fake::putFile(u"a.txt", "a\nb\nc");
  unsigned char buffer[12];
  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(ask(u"a.txt", 13, buffer, 1), 2);
  std::int64_t value = 0;
  std::memcpy(&value, buffer, sizeof value);
  EXPECT_EQ(value, 3);
  EXPECT_EQ(buffer[8], 0xEE);
}

// A failure inside a producer reaches the host as an empty field, releases the handle and the
// lock, and leaves no half-filled record behind.
TEST_F(DispatcherTest, ExceptionInsideAProducerReleasesEverything) {
  // Larger than the head sample, so that the count has to read.
  std::string body;
  for (int i = 0; i < 35000; ++i)
    body += "x\n";
  fake::putFile(u"a.txt", body);
  EXPECT_EQ(askText(u"a.txt", 15), "Text");
  fake::faults().throwOnRead = true;
  std::int64_t value = -99;
  EXPECT_EQ(ask(u"a.txt", 13, &value), -3);
  EXPECT_EQ(value, -99);
  EXPECT_FALSE(analysisCache.valid);
  fake::faults().throwOnRead = false;
  EXPECT_EQ(askCount(u"a.txt"), 35000);
}

TEST_F(DispatcherTest, NullNameIsAnUnreachableFile) {
  char buffer[8] = "keep";
  EXPECT_EQ(ContentGetValueW(nullptr, 15, 0, buffer, 8, 0), -2);
  EXPECT_EQ(ContentGetValueW(nullptr, 0, 0, buffer, 8, 0), -3);
  EXPECT_STREQ(buffer, "keep");
}

// Many host threads at once: every answer is right and the lock is never held twice.
TEST_F(DispatcherTest, ConcurrentRequestsFromEightThreads) {
  constexpr int Files = 6;
  for (int i = 0; i < Files; ++i) {
    std::string body;
    for (int line = 0; line <= i; ++line)
      body += "line" + std::to_string(line) + "\n";
    fake::putFile(u"f" + std::u16string(1, static_cast<char16_t>(u'0' + i)) + u".txt", body);
  }
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      std::mt19937 random(static_cast<unsigned>(t));
      for (int n = 0; n < 400; ++n) {
        const int i = static_cast<int>(random() % Files);
        const std::u16string name =
            u"f" + std::u16string(1, static_cast<char16_t>(u'0' + i)) + u".txt";
        std::int64_t count = 0;
        if (ask(name, 13, &count) != 2 || count != i + 1) ++wrong;
        char16_t line[32];
        if (ask(name, 12, line, 32) != 11 ||
            std::u16string(line) != utf16("line" + std::to_string(i))) {
          ++wrong;
        }
      }
    });
  }
  for (auto& thread : threads)
    thread.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(fake::counters().maxLockDepth, 1);
}

} // namespace
} // namespace linepeek::test
