#include "platform/platform.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace linepeek::platform {
namespace {

std::string pattern(std::size_t bytes) {
  std::string text(bytes, '\0');
  for (std::size_t i = 0; i < bytes; ++i)
    text[i] = static_cast<char>('a' + i % 23);
  return text;
}

std::string readAt(FileHandle file, std::int64_t offset, std::int64_t length,
                   std::int64_t* got = nullptr) {
  std::string buffer(static_cast<std::size_t>(length), '#');
  EXPECT_TRUE(seekTo(file, offset));
  const std::int64_t count = readFile(file, buffer.data(), length);
  if (got != nullptr) *got = count;
  buffer.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
  return buffer;
}

// Size by seeking to the end, and reads that stop only at the end of the file.
TEST(Files, SizeAndReads) {
  const test::TempFolder temp;
  const std::string content = pattern(3 * 1024 * 1024 + 7);
  const FileOwner file(openFile(temp.write("big.txt", content).c_str()));
  ASSERT_TRUE(file.isOpen());
  EXPECT_EQ(file.size(), static_cast<std::int64_t>(content.size()));

  EXPECT_EQ(readAt(file.get(), 0, static_cast<std::int64_t>(content.size())), content);
  EXPECT_EQ(readAt(file.get(), 5, 10), content.substr(5, 10));
  std::int64_t got = -2;
  EXPECT_EQ(readAt(file.get(), static_cast<std::int64_t>(content.size()) - 3, 100, &got),
            content.substr(content.size() - 3));
  EXPECT_EQ(got, 3);
  readAt(file.get(), static_cast<std::int64_t>(content.size()), 10, &got);
  EXPECT_EQ(got, 0);
  readAt(file.get(), static_cast<std::int64_t>(content.size()) + 100, 10, &got);
  EXPECT_EQ(got, 0);
  EXPECT_FALSE(seekTo(file.get(), -1));
}

// Reads continue from where the previous one stopped.
TEST(Files, ConsecutiveReads) {
  const test::TempFolder temp;
  const FileOwner file(openFile(temp.write("a.txt", "0123456789").c_str()));
  ASSERT_TRUE(file.isOpen());
  ASSERT_TRUE(seekTo(file.get(), 2));
  char buffer[4] = {};
  EXPECT_EQ(readFile(file.get(), buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), "2345");
  EXPECT_EQ(readFile(file.get(), buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), "6789");
  // The end of the file is no failure; a handle that reads nothing is.
  bool failed = true;
  EXPECT_EQ(readFile(file.get(), buffer, 4, &failed), 0);
  EXPECT_FALSE(failed);
  EXPECT_EQ(readFile(InvalidFile, buffer, 4, &failed), -1);
  EXPECT_TRUE(failed);
}

TEST(Files, EmptyFile) {
  const test::TempFolder temp;
  const FileOwner file(openFile(temp.write("empty.txt", "").c_str()));
  ASSERT_TRUE(file.isOpen());
  EXPECT_EQ(file.size(), 0);
  char buffer[4] = {};
  ASSERT_TRUE(seekTo(file.get(), 0));
  EXPECT_EQ(readFile(file.get(), buffer, 4), 0);
}

// Only existing regular files open.
TEST(Files, OpenRefusals) {
  const test::TempFolder temp;
  std::filesystem::create_directory(temp.folder() / "dir");
  EXPECT_EQ(openFile(temp.path("dir").c_str()).handle, InvalidFile);
  EXPECT_EQ(openFile(temp.path("missing.txt").c_str()).handle, InvalidFile);
  EXPECT_EQ(openFile(temp.path("no-dir/missing.txt").c_str()).handle, InvalidFile);
  EXPECT_EQ(openFile(u"").handle, InvalidFile);
}

// Names beyond ASCII, in and beyond the Basic Multilingual Plane.
TEST(Files, UnicodeNames) {
  const test::TempFolder temp;
  const std::u16string name = test::utf16("\xD1\x82\xD0\xB5\xD1\x81\xD1\x82-\xF0\x9F\x98\x80.txt");
  {
    std::ofstream out(temp.folder() / std::filesystem::path(name), std::ios::binary);
    out << "hi";
  }
  const std::u16string path = temp.path(std::filesystem::path(name));
  const FileOwner file(openFile(path.c_str()));
  ASSERT_TRUE(file.isOpen());
  EXPECT_EQ(file.size(), 2);
  EXPECT_EQ(queryEntry(path.c_str()).kind, EntryKind::File);
}

// Other openers may write and delete the file while it is open here.
TEST(Files, SharedWithWritersAndDeleters) {
  const test::TempFolder temp;
  const std::u16string path = temp.write("shared.txt", "abc");
  const FileOwner file(openFile(path.c_str()));
  ASSERT_TRUE(file.isOpen());
  {
    std::ofstream out(temp.folder() / "shared.txt", std::ios::binary | std::ios::app);
    ASSERT_TRUE(out.good());
    out << "def";
  }
  EXPECT_EQ(file.size(), 3) << "the size the open saw";
  EXPECT_EQ(queryEntry(path.c_str()).size, 6);
  EXPECT_EQ(readAt(file.get(), 0, 6), "abcdef");
  std::error_code error;
  EXPECT_TRUE(std::filesystem::remove(temp.folder() / "shared.txt", error)) << error.message();
}

// The write time moves with the file's modification time, in 100 ns units.
TEST(Files, WriteTimeFollowsModification) {
  const test::TempFolder temp;
  const std::u16string path = temp.write("t.txt", "x");
  const auto target = temp.folder() / "t.txt";
  std::uint64_t before = 0;
  {
    const FileOwner file(openFile(path.c_str()));
    ASSERT_TRUE(file.isOpen());
    before = file.writeTime();
  }
  // 2020-01-01 is 13,222,368,000 s after 1601-01-01; any file written now is later.
  EXPECT_GT(before, 132223680000000000u);
  // Whole seconds: the mingw run-time drops the fraction when it sets a time.
  const auto start =
      std::chrono::floor<std::chrono::seconds>(std::filesystem::last_write_time(target));
  std::filesystem::last_write_time(target, start);
  {
    const FileOwner file(openFile(path.c_str()));
    ASSERT_TRUE(file.isOpen());
    before = file.writeTime();
  }
  std::filesystem::last_write_time(target, start + std::chrono::hours(1));
  const FileOwner file(openFile(path.c_str()));
  ASSERT_TRUE(file.isOpen());
  EXPECT_EQ(file.writeTime() - before, 36000000000u);
}

TEST(Files, QueryEntry) {
  const test::TempFolder temp;
  std::filesystem::create_directory(temp.folder() / "dir");
  EXPECT_EQ(queryEntry(temp.write("f.txt", "x").c_str()).kind, EntryKind::File);
  EXPECT_EQ(queryEntry(temp.write("empty", "").c_str()).kind, EntryKind::File);
  EXPECT_EQ(queryEntry(temp.path("dir").c_str()).kind, EntryKind::Directory);
  EXPECT_EQ(queryEntry(temp.path("missing").c_str()).kind, EntryKind::Missing);
  EXPECT_EQ(queryEntry(temp.path("missing/f.txt").c_str()).kind, EntryKind::Missing);
  EXPECT_EQ(queryEntry(u"").kind, EntryKind::Missing);
}

// Increments that are not atomic still add up when every one happens under the lock.
TEST(ValueLock, ExcludesOtherThreads) {
  createValueLock();
  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&counter] {
      for (int i = 0; i < 20000; ++i) {
        const ValueLockHolder held;
        counter = counter + 1;
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(counter, 80000);
}

} // namespace
} // namespace linepeek::platform
