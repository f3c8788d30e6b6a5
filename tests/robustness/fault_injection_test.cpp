// Requests through the exported entry point while the in-memory file layer fails, cuts short or
// changes what the module reads. Every request must leave no handle open and the lock free.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include "analysis/analysis_cache.h"
#include "analysis/line_counter.h"
#include "plugin/abi.h"
#include "settings/settings.h"
#include "tests/support/fake_files.h"
#include "tests/support/test_util.h"

namespace linepeek::test {
namespace {

constexpr int Fields = 16;
using Row16 = std::array<std::string, Fields>;

class FaultInjection : public ::testing::Test {
protected:
  void SetUp() override {
    fake::reset();
    settings = Settings{};
    analysisCache = AnalysisCache{};
  }

  // Every field as text: the line itself, the count as a number, the choice, or "(code)".
  // Asserts after each request that the file is closed and the lock free.
  static std::string answer(const std::u16string& name, int field) {
    constexpr unsigned char Unwritten = 0x5A;
    alignas(8) unsigned char buffer[256];
    std::memset(buffer, Unwritten, sizeof buffer);
    const int code =
        ContentGetValueW(reinterpret_cast<const WCHAR*>(name.c_str()), field, 0, buffer, 128, 0);
    EXPECT_EQ(fake::counters().openHandles, 0) << "field " << field;
    EXPECT_EQ(fake::counters().lockDepth, 0) << "field " << field;
    if (code != 11 && code != 7 && code != 2) {
      for (unsigned char byte : buffer)
        EXPECT_EQ(byte, Unwritten) << "field " << field << " answered " << code << " but wrote";
    }
    return answerText(code, buffer, sizeof buffer);
  }

  static Row16 row(const std::u16string& name) {
    Row16 all;
    for (int field = 0; field < Fields; ++field)
      all[static_cast<std::size_t>(field)] = answer(name, field);
    return all;
  }
};

const std::string Small = "one\ntwo\nthree\n";
const Row16 SmallAnswers = {"one",  "two",  "three", "(-3)", "(-3)",  "(-3)", "(-3)", "(-3)",
                            "(-3)", "(-3)", "one",   "two",  "three", "3",    "ANSI", "Text"};
// Larger than the head sample, so that the tail and the count read the file, yet answering as
// Small does: the spaces after "three" are trimmed. Reads of a row: 1 the head sample, 2 the
// head's second pass, 3 and 4 the tail's two passes, 5 the count.
const std::string Padded = "one\ntwo\nthree" + std::string(70000, ' ') + "\n";
const Row16 NothingRead = {"(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)",
                           "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "0",    "ANSI", "Text"};

// A fault during the first requests for a file: the answers hold what could be read, they are
// cached, and the same unchanged file is not read again once the fault has gone.
TEST_F(FaultInjection, FaultyReadsGiveFewerResultsThatStayCached) {
  struct Case {
    const char* what;
    std::function<void()> inject;
    Row16 expected;
    bool sameIdentity = true; // false when the fault itself hid the identity (time 0)
    std::string body = Small;
  };
  const Case cases[] = {
      {"head sample read fails",
       [] { fake::faults().readScript = {-1}; },
       {"(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "one",
        "two", "three", "3", "ANSI", "Text"}},
      {"head sample cut after 5 bytes",
       [] { fake::faults().readScript = {5}; },
       {"one", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "one", "two",
        "three", "3", "ANSI", "Text"}},
      {"tail window reads fail",
       [] {
         fake::faults().readScript = {-2, -2, -1, -1};
       },
       {"one", "two", "three", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)",
        "(-3)", "(-3)", "3", "ANSI", "Text"},
       true,
       Padded},
      {"count read fails",
       [] {
         fake::faults().readScript = {-2, -2, -2, -2, -1};
       },
       {"one", "two", "three", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "one", "two",
        "three", "0", "ANSI", "Text"},
       true,
       Padded},
      {"count read cut after 6 bytes",
       [] {
         fake::faults().readScript = {-2, -2, -2, -2, 6};
       },
       {"one", "two", "three", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "one", "two",
        "three", "2", "ANSI", "Text"},
       true,
       Padded},
      {"every read fails", [] { fake::faults().afterScript = -1; }, NothingRead},
      {"size query fails", [] { fake::faults().failSize = true; }, NothingRead, false},
      {"time query fails", [] { fake::faults().failTime = true; }, SmallAnswers, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    fake::putFile(u"a.txt", c.body, 7);
    c.inject();
    EXPECT_EQ(row(u"a.txt"), c.expected);
    if (c.sameIdentity) {
      fake::faults() = {};
      const auto reads = fake::counters().reads;
      const auto opens = fake::counters().opens;
      EXPECT_EQ(row(u"a.txt"), c.expected) << "answers are cached like any other";
      EXPECT_EQ(fake::counters().reads, reads) << "nothing is retried for the same file";
      EXPECT_EQ(fake::counters().opens, opens) << "an unchanged file is not opened again";
    }
    // A new write time is another file: everything is read again and comes out whole.
    fake::faults() = {};
    fake::putFile(u"a.txt", c.body, 8);
    EXPECT_EQ(row(u"a.txt"), SmallAnswers);
  }
}

// The head's and the tail's second passes over a file larger than the first window come back
// shorter than asked. 100,000 bytes: "a" LF, then 'b' up to the end without another LF.
TEST_F(FaultInjection, SecondPassReturnsLess) {
  const std::string body = "a\n" + std::string(99998, 'b');
  // Reads: 1 head sample, 2 head second pass (fields 0 and 1), 3 and 4 the tail's two passes.
  fake::putFile(u"big.txt", body);
  fake::faults().readScript = {-2, 70000};
  EXPECT_EQ(answer(u"big.txt", 0), "a");
  EXPECT_EQ(answer(u"big.txt", 1), "(-3)") << "a cut window's last bytes are no line";

  SetUp();
  fake::putFile(u"big.txt", body);
  fake::faults().readScript = {-2, -1};
  EXPECT_EQ(answer(u"big.txt", 0), "a") << "a failed second pass keeps the sample's lines";
  EXPECT_EQ(answer(u"big.txt", 1), "(-3)");

  // The tail's first window holds no LF; its second pass, over the whole file, comes back short
  // and would otherwise make a fragment of 'b' the last line.
  SetUp();
  fake::putFile(u"big.txt", body);
  fake::faults().readScript = {-2, -2, 99000};
  EXPECT_EQ(answer(u"big.txt", 12), "(-3)");
  EXPECT_EQ(answer(u"big.txt", 11), "(-3)");
  const auto reads = fake::counters().reads;
  EXPECT_EQ(answer(u"big.txt", 12), "(-3)");
  EXPECT_EQ(fake::counters().reads, reads);
}

// A count that fails after its first read keeps what it had counted, plus the open last line.
TEST_F(FaultInjection, CountStopsAtAFailedLaterRead) {
  std::string body;
  for (int i = 0; i < 6000; ++i)
    body += std::string(99, 'x') + "\n"; // LF at every offset 100k - 1
  ASSERT_GT(body.size(), static_cast<std::size_t>(CountChunk));
  fake::putFile(u"lines.txt", body);
  EXPECT_EQ(answer(u"lines.txt", 15), "Text"); // read 1: the head sample
  fake::faults().readScript = {-2, -1};        // the count's second read
  const std::int64_t whole = CountChunk / 100;
  const std::int64_t open = CountChunk % 100 != 0 ? 1 : 0;
  EXPECT_EQ(answer(u"lines.txt", 13), std::to_string(whole + open));
  fake::faults() = {};
  EXPECT_EQ(answer(u"lines.txt", 13), std::to_string(whole + open));
  fake::putFile(u"lines.txt", body, 2);
  EXPECT_EQ(answer(u"lines.txt", 13), "6000");
}

// Between the size query and the first read the file shrinks, grows or is replaced by a new one
// (the open handle keeps the old). That request answers from the bytes that were there to read:
// the tail from the file's end as it now is, the head without a last line that the size says
// goes on, the count up to the size at most. The next request sees the new size and starts afresh.
TEST_F(FaultInjection, FileChangesBetweenSizeQueryAndRead) {
  struct Case {
    const char* what;
    std::function<void()> change;
    Row16 during;
    Row16 after;
    std::string body = Small;
  };
  const Row16 cut = {"one",  "tw",   "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)",
                     "(-3)", "(-3)", "(-3)", "one",  "tw",   "2",    "ANSI", "Text"};
  const Row16 four = {"one",  "two",  "three", "four",  "(-3)", "(-3)", "(-3)", "(-3)",
                      "(-3)", "(-3)", "two",   "three", "four", "4",    "ANSI", "Text"};
  const Case cases[] = {
      {"truncated",
       [] { fake::putFile(u"a.txt", "one\ntw", 7); },
       {"one", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)",
        "one", "tw", "2", "ANSI", "Text"},
       cut},
      {"emptied", [] { fake::putFile(u"a.txt", "", 7); }, NothingRead, NothingRead},
      {"grown",
       [] { fake::putFile(u"a.txt", Padded + "four\n", 7); },
       {"one", "two", "three", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "(-3)", "one", "two",
        "three", "3", "ANSI", "Text"},
       four,
       Padded},
      {"replaced",
       [] {
         fake::removeEntry(u"a.txt");
         fake::putFile(u"a.txt", Small + "four\n", 7);
       },
       SmallAnswers, four},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Row16 during;
    for (int field = 0; field < Fields; ++field) {
      SetUp();
      fake::putFile(u"a.txt", c.body, 7);
      fake::faults().afterSizeQuery = c.change;
      during[static_cast<std::size_t>(field)] = answer(u"a.txt", field);
    }
    EXPECT_EQ(during, c.during);
    EXPECT_EQ(row(u"a.txt"), c.after);
  }
}

// A name that cannot be opened between two requests: an unchanged file keeps its answers, as it
// is not opened again; a changed one answers FieldEmpty for every field, and the next request
// reads it again.
TEST_F(FaultInjection, FailedOpenBetweenTwoRequests) {
  fake::putFile(u"a.txt", Small, 7);
  EXPECT_EQ(row(u"a.txt"), SmallAnswers);
  fake::faults().failOpenCalls = Fields;
  EXPECT_EQ(row(u"a.txt"), SmallAnswers);
  EXPECT_EQ(fake::faults().failOpenCalls, Fields) << "nothing was opened";
  for (int field = 0; field < Fields; ++field) {
    SCOPED_TRACE(field);
    fake::putFile(u"a.txt", Small, 8 + static_cast<std::uint64_t>(field));
    fake::faults().failOpenCalls = 1;
    EXPECT_EQ(answer(u"a.txt", field), "(-3)");
    EXPECT_FALSE(analysisCache.valid);
    const auto reads = fake::counters().reads;
    EXPECT_EQ(answer(u"a.txt", field), SmallAnswers[static_cast<std::size_t>(field)]);
    EXPECT_GT(fake::counters().reads, reads) << "the record is refilled";
  }
}

// The write time is the only sign of a same-size rewrite; a failed time query (0) still takes
// part in the identity, so the rewrite stays unseen until the time can be read again.
TEST_F(FaultInjection, FailedTimeQueryIsPartOfTheIdentity) {
  fake::putFile(u"a.txt", "old\n", 7);
  fake::faults().failTime = true;
  EXPECT_EQ(answer(u"a.txt", 0), "old");
  fake::putFile(u"a.txt", "new\n", 8);
  EXPECT_EQ(answer(u"a.txt", 0), "old");
  fake::faults().failTime = false;
  EXPECT_EQ(answer(u"a.txt", 0), "new");
  EXPECT_EQ(fake::counters().opens, 2);
  EXPECT_EQ(fake::counters().entryQueries, 2);
}

} // namespace
} // namespace linepeek::test
