// Eight threads ask random fields of a few hundred real files while another thread rewrites
// them, for LINEPEEK_STRESS_SECONDS (10 by default). Every answer must be one that its file gave
// at some moment.
//
// Each file moves between three shapes (3, 8 or 13 lines, the last with a UTF-8 mark) and four
// versions of each shape. A shape changes only by writing a new file and renaming it over the old
// one, which a reader sees whole or not at all. A version changes by rewriting the file in
// place, which a reader may see half done; versions of one shape differ only in one byte per
// line, so even a torn read gives lines that some version has.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/robustness/real_requests.h"

namespace linepeek::test {
namespace {

namespace fs = std::filesystem;

constexpr int Files = 300;
constexpr int Readers = 8;
constexpr std::array<int, 3> ShapeLines = {3, 8, 13};
constexpr char Versions[] = "ABCD";

std::string lineText(int file, int shape, int line, char version) {
  char text[32];
  std::snprintf(text, sizeof text, "f%03d s%d L%02d v%c", file, shape, line, version);
  return text;
}

std::string content(int file, int shape, char version) {
  std::string bytes = shape == 2 ? "\xEF\xBB\xBF" : "";
  for (int line = 1; line <= ShapeLines[static_cast<std::size_t>(shape)]; ++line)
    bytes += lineText(file, shape, line, version) + "\n";
  return bytes;
}

int stressSeconds() {
  const char* text = std::getenv("LINEPEEK_STRESS_SECONDS");
  const int seconds = text != nullptr ? std::atoi(text) : 0;
  return seconds > 0 ? seconds : 10;
}

using LoadTest = RealRequests;

TEST_F(LoadTest, RandomFieldsOfFilesBeingRewritten) {
  // possible[file][field]: every answer any shape and version of the file gives.
  std::vector<std::array<std::set<std::string>, 16>> possible(Files);
  std::vector<std::u16string> names;
  for (int file = 0; file < Files; ++file) {
    auto& sets = possible[static_cast<std::size_t>(file)];
    for (int shape = 0; shape < 3; ++shape) {
      const int lines = ShapeLines[static_cast<std::size_t>(shape)];
      for (const char version : std::string(Versions)) {
        for (int field = 0; field < 10; ++field) {
          sets[static_cast<std::size_t>(field)].insert(
              field < lines ? lineText(file, shape, field + 1, version) : "(-3)");
        }
        for (int fromEnd = 1; fromEnd <= 3; ++fromEnd) {
          sets[static_cast<std::size_t>(13 - fromEnd)].insert(
              lineText(file, shape, lines + 1 - fromEnd, version));
        }
      }
      sets[13].insert(std::to_string(lines));
      sets[14].insert(shape == 2 ? "UTF-8 BOM" : "ANSI");
    }
    sets[15].insert("Text");
    names.push_back(temp.write("f" + std::to_string(file) + ".txt", content(file, 0, 'A')));
  }

  const auto duration = std::chrono::seconds(stressSeconds());
  const auto end = std::chrono::steady_clock::now() + duration;
  std::atomic<bool> stop{false};
  std::atomic<long> requests{0};
  std::atomic<long> rewrites{0};

  const auto reader = [&](unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::string> wrong;
    while (!stop.load(std::memory_order_relaxed) && wrong.size() < 10) {
      const auto file = static_cast<std::size_t>(random() % Files);
      const auto field = static_cast<std::size_t>(random() % 16);
      const std::string got = answer(names[file], static_cast<int>(field));
      if (possible[file][field].count(got) == 0) {
        wrong.push_back("file " + std::to_string(file) + " field " + std::to_string(field) + ": " +
                        got);
      }
      requests.fetch_add(1, std::memory_order_relaxed);
    }
    return wrong;
  };
  const auto writer = [&] {
    std::mt19937 random(99);
    std::vector<int> shapes(Files, 0);
    while (!stop.load(std::memory_order_relaxed)) {
      const auto file = static_cast<int>(random() % Files);
      const auto index = static_cast<std::size_t>(file);
      const char version = Versions[random() % 4];
      const fs::path path(names[index]);
      std::error_code error;
      if (random() % 2 == 0) {
        const int shape = static_cast<int>(random() % 3);
        const fs::path beside = temp.folder() / ("f" + std::to_string(file) + ".tmp");
        { std::ofstream(beside, std::ios::binary) << content(file, shape, version); }
        fs::rename(beside, path, error);
        if (!error) shapes[index] = shape;
      } else {
        // Same shape, so the same length: no truncation, one write over the old bytes.
        std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
        out << content(file, shapes[index], version);
      }
      rewrites.fetch_add(1, std::memory_order_relaxed);
    }
  };

  std::vector<std::future<std::vector<std::string>>> readers;
  for (unsigned t = 0; t < Readers; ++t)
    readers.push_back(std::async(std::launch::async, reader, t + 1));
  std::future<void> rewriting = std::async(std::launch::async, writer);
  // Wait out the duration on the first reader; it only returns early after wrong answers.
  readers.front().wait_until(end);
  stop = true;
  // A reader that is still not back long after the end is stuck: that is a deadlock.
  const auto patience = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  for (auto& future : readers) {
    if (future.wait_until(patience) != std::future_status::ready) {
      std::fprintf(stderr, "a reader did not come back: deadlock\n");
      std::_Exit(EXIT_FAILURE);
    }
  }
  if (rewriting.wait_until(patience) != std::future_status::ready) {
    std::fprintf(stderr, "the writer did not come back\n");
    std::_Exit(EXIT_FAILURE);
  }
  rewriting.get();
  for (auto& future : readers) {
    for (const std::string& complaint : future.get())
      ADD_FAILURE() << complaint;
  }
  EXPECT_GT(requests.load(), Readers);
  EXPECT_GT(rewrites.load(), 0);
  std::printf("%ld requests and %ld rewrites in %lld s\n", requests.load(), rewrites.load(),
              static_cast<long long>(duration.count()));
}

} // namespace
} // namespace linepeek::test
