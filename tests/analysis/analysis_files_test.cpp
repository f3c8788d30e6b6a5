#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "analysis/analysis_cache.h"
#include "analysis/line_extraction.h"
#include "tests/support/temp_folder.h"

namespace linepeek {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class AnalysisFiles : public testing::Test {
protected:
  // A sparse file of `size` bytes: zeros, with `text` written at each given offset.
  fs::path sparse(std::uintmax_t size,
                  const std::vector<std::pair<std::uintmax_t, std::string>>& texts) {
    fs::path path = temp.folder() / "sparse.txt";
    { std::ofstream create(path, std::ios::binary); }
    fs::resize_file(path, size);
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    for (const auto& [offset, text] : texts) {
      out.seekp(static_cast<std::streamoff>(offset));
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    return path;
  }

  // Refreshes a fresh cache for `path` as a request would, then computes both line groups.
  void analyse(const fs::path& path) {
    FileOwner file(platform::openFile(path.u16string().c_str()));
    ASSERT_TRUE(file.isOpen());
    const std::int64_t size = file.size();
    refreshCache(cache, file.get(), path.u16string(), size, file.writeTime(), config);
    const HeadLines& heads = headLines(cache, file.get(), config);
    const TailLines& tails = tailLines(cache, file.get(), config);
    head.assign(heads.slots.begin(), heads.slots.begin() + heads.count);
    tail.assign(tails.slots.begin(), tails.slots.begin() + tails.count);
  }

  test::TempFolder temp;
  Settings config;
  AnalysisCache cache;
  Lines head, tail;
};

TEST_F(AnalysisFiles, WideWindowEdge) {
  const std::string zeros(4194302, '\0');
  analyse(sparse(4194304, {{0, "a\n"}}));
  EXPECT_TRUE(head == (Lines{"a", zeros}));
  EXPECT_TRUE(tail == (Lines{"a", zeros}));
  // Two bytes more: the tail's wide window starts after the only LF, the head's ends before
  // the end of the file.
  analyse(sparse(4194306, {{0, "a\n"}}));
  EXPECT_EQ(head, Lines{"a"});
  EXPECT_EQ(tail, Lines{});
}

TEST_F(AnalysisFiles, HugeSparseFileReadsOnlyItsEnds) {
  const std::uintmax_t size = 5ULL << 30;
  analyse(sparse(size, {{0, "a\n"}, {size - 5, "\nx\ny\n"}}));
  EXPECT_EQ(cache.fileSize, static_cast<std::int64_t>(size));
  EXPECT_EQ(cache.headSample.size(), 65536u);
  EXPECT_EQ(head, Lines{"a"});
  EXPECT_EQ(tail, (Lines{"x", "y"}));
}

} // namespace
} // namespace linepeek
