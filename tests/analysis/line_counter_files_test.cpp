#include "analysis/line_counter_testing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/temp_folder.h"
#include "tests/support/test_util.h"

namespace linepeek {
namespace {

namespace fs = std::filesystem;
constexpr std::size_t Chunk = static_cast<std::size_t>(CountChunk);

class LineCounterFiles : public ::testing::Test {
protected:
  std::int64_t count(const std::string& bytes, EncodingKind kind, int bomLength, bool skipEmpty) {
    const fs::path path = temp.folder() / "file.txt";
    {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    FileOwner file(platform::openFile(path.u16string().c_str()));
    EXPECT_TRUE(file.isOpen());
    return countLines(file.get(), static_cast<std::int64_t>(bytes.size()), kind, bomLength,
                      skipEmpty);
  }

  test::TempFolder temp;
};

// Real reads around the chunk edge: the last byte of a chunk, the first of the next, and a line
// or a UTF-16 CR LF that straddles the two.
TEST_F(LineCounterFiles, CountsAroundTheChunkEdge) {
  struct Row {
    std::string bytes;
    EncodingKind kind;
    bool skipEmpty;
    std::int64_t expected;
  };
  // 16-byte lines, a text line then a blank one: Chunk / 16 lines per chunk, half of them blank.
  const auto lines = static_cast<std::int64_t>(Chunk / 16);
  std::string text;
  while (text.size() < Chunk)
    text += std::string("text line 12345\n") + "  \t           \r\n";
  std::string utf16 = test::hex("FF FE");
  while (utf16.size() < Chunk - 2)
    utf16 += test::hex("20 00");
  const Row rows[] = {
      {std::string(Chunk - 1, 'x'), EncodingKind::Other, false, 1},
      {std::string(Chunk, 'x'), EncodingKind::Other, false, 1},
      {std::string(Chunk, 'x') + "\n", EncodingKind::Other, false, 1},
      {std::string(Chunk - 1, ' ') + "\r\n ", EncodingKind::Other, false, 2},
      {std::string(Chunk - 1, ' ') + "\r\n ", EncodingKind::Other, true, 0},
      {utf16 + test::hex("0D 00 0A 00 41 00"), EncodingKind::Utf16Le, false, 2},
      {utf16 + test::hex("0D 00 0A 00 41 00"), EncodingKind::Utf16Le, true, 1},
      {text, EncodingKind::Other, false, lines},
      {text, EncodingKind::Other, true, lines / 2},
      {text.substr(0, Chunk - 1), EncodingKind::Other, false, lines},
      {text.substr(0, Chunk - 1), EncodingKind::Other, true, lines / 2},
      {text + "x", EncodingKind::Other, false, lines + 1},
      {text + "x", EncodingKind::Other, true, lines / 2 + 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "size " << row.bytes.size() << " skip " << row.skipEmpty);
    const int bomLength = row.kind == EncodingKind::Other ? 0 : 2;
    EXPECT_EQ(count(row.bytes, row.kind, bomLength, row.skipEmpty), row.expected);
  }
}

} // namespace
} // namespace linepeek
