// Odd and changing files through the real platform layer and the exported entry point, on every
// target.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "analysis/line_extraction.h"
#include "settings/settings_testing.h"
#include "tests/robustness/real_requests.h"

namespace linepeek::test {
namespace {

namespace fs = std::filesystem;
using HostileFiles = RealRequests;

// A file that changes between two requests: every change of size or write time is seen by the
// next request, whichever group it asks for.
TEST_F(HostileFiles, FileChangesBetweenTwoRequests) {
  using Answers = std::vector<std::string>; // fields "1", "-1", "Line count", "Encoding"
  struct Case {
    const char* what;
    std::string before;
    std::string after;
    bool replace;  // written beside and renamed over, instead of rewritten in place
    bool sameSize; // the write time is moved on explicitly
    Answers expected;
  };
  const Case cases[] = {
      {"grows", "a\nb\n", "a\nb\nc\n", false, false, {"a", "c", "3", "ANSI"}},
      {"shrinks", "a\nb\nc\n", "z\n", false, false, {"z", "z", "1", "ANSI"}},
      {"is replaced", "a\nb\n", "\xEF\xBB\xBFx\ny\nz\n", true, false, {"x", "z", "3", "UTF-8 BOM"}},
      {"keeps its size, new time", "a\nb\n", "c\nd\n", false, true, {"c", "d", "2", "ANSI"}},
      {"is replaced, same size, new time",
       "a\nb\n",
       "abcde",
       true,
       true,
       {"abcde", "abcde", "1", "ANSI"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::u16string name = temp.write("f.txt", c.before);
    const fs::path path(name);
    const auto firstTime = fs::last_write_time(path);
    // One request per group, so each group is cached for the old file.
    const auto ask = [&] {
      return Answers{answer(name, 0), answer(name, 12), answer(name, 13), answer(name, 14)};
    };
    ASSERT_EQ(ask()[0], "a");
    if (c.replace) {
      temp.write("f.tmp", c.after);
      fs::rename(temp.folder() / "f.tmp", path);
    } else {
      temp.write("f.txt", c.after);
    }
    if (c.sameSize) fs::last_write_time(path, firstTime + std::chrono::seconds(10));
    EXPECT_EQ(ask(), c.expected);
  }
  // Name, size and write time are the whole identity: a same-size rewrite that keeps the time
  // is not seen.
  const std::u16string name = temp.write("g.txt", "one\n");
  // Set explicitly both times: the library may keep the time more coarsely than the file system.
  const auto time = fs::last_write_time(fs::path(name)) - std::chrono::hours(1);
  fs::last_write_time(fs::path(name), time);
  EXPECT_EQ(answer(name, 0), "one");
  temp.write("g.txt", "two\n");
  fs::last_write_time(fs::path(name), time);
  EXPECT_EQ(answer(name, 0), "one");
}

// A file replaced by a folder of the same name answers as a folder, whatever its record held.
TEST_F(HostileFiles, ReplacedByAFolder) {
  const std::u16string name = temp.write("f.txt", "a\nb\n");
  ASSERT_EQ(answer(name, 0), "a");
  ASSERT_EQ(answer(name, 15), "Text");
  fs::remove(fs::path(name));
  fs::create_directory(fs::path(name));
  EXPECT_EQ(answer(name, 15), "Folder");
  EXPECT_EQ(answer(name, 14), "(-3)");
  EXPECT_EQ(answer(name, 0), "(-3)");
  EXPECT_EQ(answer(name, 13), "(-3)");
}

// Cut short between the size query and the reads: the tail holds the file's last lines as they
// now are; the head keeps no last line that the size says goes on.
TEST_F(HostileFiles, TruncatedAfterTheSizeQuery) {
  const std::u16string name = temp.write("cut.txt", "one\ntwo\nthree\n");
  AnalysisCache cache;
  const Settings config;
  std::vector<std::string> head;
  std::vector<std::string> tail;
  {
    FileOwner file(platform::openFile(name.c_str()));
    ASSERT_TRUE(file.isOpen());
    const std::int64_t size = file.size();
    ASSERT_EQ(size, 14);
    fs::resize_file(fs::path(name), 6);
    refreshCache(cache, file.get(), name, size, file.writeTime(), config);
    const HeadLines& heads = headLines(cache, file.get(), config);
    const TailLines& tails = tailLines(cache, file.get(), config);
    head.assign(heads.slots.begin(), heads.slots.begin() + heads.count);
    tail.assign(tails.slots.begin(), tails.slots.begin() + tails.count);
  }
  EXPECT_EQ(head, std::vector<std::string>{"one"});
  EXPECT_EQ(tail, (std::vector<std::string>{"one", "tw"}));
}

TEST_F(HostileFiles, OnlyNulBytes) {
  for (const std::size_t size : {std::size_t{1}, std::size_t{3000}, std::size_t{100000}}) {
    SCOPED_TRACE(size);
    analysisCache = AnalysisCache{};
    const std::u16string name = temp.write("zeros.bin", std::string(size, '\0'));
    for (int field = 0; field <= 12; ++field)
      EXPECT_EQ(answer(name, field), "(-3)") << field;
    EXPECT_EQ(answer(name, 13), "1");
    EXPECT_EQ(answer(name, 14), "Binary");
    EXPECT_EQ(answer(name, 15), "Binary");
  }
}

// Names beyond the BMP reach their file; names too long to exist answer like a missing file.
TEST_F(HostileFiles, UnusualNames) {
  const std::string emoji = "\xF0\x9F\x98\x80"; // U+1F600, a surrogate pair in UTF-16
  const std::string clef = "\xF0\x9D\x84\x9E";  // U+1D11E
  const std::u16string wideName = utf16(emoji + " " + clef + ".txt");
  const fs::path path = temp.folder() / fs::path(wideName);
  { std::ofstream(path, std::ios::binary) << emoji + "\nlast " + clef + "\n"; }
  const std::u16string name = path.u16string();
  EXPECT_EQ(answer(name, 0), emoji);
  EXPECT_EQ(answer(name, 12), "last " + clef);
  EXPECT_EQ(answer(name, 13), "2");
  EXPECT_EQ(answer(name, 14), "UTF-8 no BOM");
  EXPECT_EQ(answer(name, 15), "Text");

  const std::u16string missing = temp.path(std::u16string(1000, u'n'));
  EXPECT_EQ(answer(missing, 15), "(-2)");
  EXPECT_EQ(answer(missing, 0), "(-3)");
  EXPECT_EQ(answer(missing, 13), "(-3)");
  EXPECT_EQ(answer(std::u16string(40000, u'\x0416'), 15), "(-2)");
}

// Settings files that are not what an editor writes: loading gives values inside their ranges.
TEST_F(HostileFiles, HostileSettingsFiles) {
  std::mt19937 random(7);
  std::string garbage(65536, '\0');
  for (char& byte : garbage)
    byte = static_cast<char>(random() & 0xFF);
  std::string garbageWithKeys = garbage;
  garbageWithKeys.insert(30000, "\n[Encoding]\nTextBufferSizeKB=5\n");

  std::string utf16NoMark;
  for (const char c : std::string("[Options]\r\nExtensions=TXT\r\n[Encoding]\r\n"
                                  "TextBufferSizeKB=7\r\nOemPercent=500\r\n")) {
    utf16NoMark += c;
    utf16NoMark += '\0';
  }

  const std::string digits(300, '9');
  const std::string overlong =
      "[Options]\nExtensions=" + std::string(10000, 'X') + "\n[" + std::string(10000, 'Z') + "]\n" +
      std::string(10000, 'K') + "=1\n[Encoding]\nTextBufferSizeKB=" + digits +
      "\nRusMinSize=99999999999999999999\nOemPercent=-" + digits.substr(0, 20) +
      "\nRusWordLen=$FFFFFFFFFFFFFFFF\n" + "BinaryIgnore=" + std::string(50000, '0') +
      "\n[Replaces]\nS1=" + std::string(5000, 'a') + "=" + std::string(5000, 'b') + "\n";

  const struct {
    const char* what;
    std::string bytes;
  } files[] = {
      {"binary garbage", garbage},
      {"binary garbage around keys", garbageWithKeys},
      {"UTF-16 without a byte order mark", utf16NoMark},
      {"overlong values", overlong},
      {"no line end at all", "[Encoding]\nTextBufferSizeKB=" + std::string(100000, '1')},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.what);
    Settings loaded;
    loadSettingsFrom(temp.write("linepeek.ini", file.bytes), loaded);
    expectSaneSettings(loaded);
  }

  Settings loaded;
  loadSettingsFrom(temp.write("linepeek.ini", overlong), loaded);
  EXPECT_EQ(loaded.extensions, std::u16string(2047, u'x'));
  EXPECT_EQ(loaded.textBufferSizeKB, 1) << "over 255 digits does not parse";
  EXPECT_EQ(loaded.rusMinSize, 65536);
  EXPECT_EQ(loaded.oemPercent, 0);
}

} // namespace
} // namespace linepeek::test
