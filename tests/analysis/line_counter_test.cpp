#include "analysis/line_counter_testing.h"

#include <gtest/gtest.h>

#if defined(__x86_64__) || defined(_M_X64)
#include <cpuid.h>
#endif
#include <random>
#include <string>
#include <vector>

#include "tests/reference/lines.h"
#include "tests/support/fake_files.h"
#include "tests/support/test_util.h"

namespace linepeek {
namespace {

using test::hex;

constexpr EncodingKind Other = EncodingKind::Other;
constexpr EncodingKind Utf8 = EncodingKind::Utf8;
constexpr EncodingKind Le = EncodingKind::Utf16Le;
constexpr EncodingKind Be = EncodingKind::Utf16Be;
constexpr std::int64_t Chunk = CountChunk;

class LineCounter : public ::testing::Test {
protected:
  void SetUp() override { fake::reset(); }
  void TearDown() override { selectCountKernel(); }

  std::int64_t count(const std::string& bytes, EncodingKind kind, int bomLength, bool skipEmpty,
                     std::int32_t readBytes = CountChunk) {
    fake::putFile(u"f", bytes);
    FileOwner file(platform::openFile(u"f"));
    return countLines(file.get(), static_cast<std::int64_t>(bytes.size()), kind, bomLength,
                      skipEmpty, readBytes);
  }
};

std::vector<CountKernel> availableKernels() {
  std::vector<CountKernel> kernels;
  for (CountKernel kernel :
       {CountKernel::Scalar, CountKernel::Sse2, CountKernel::Avx2, CountKernel::Avx512}) {
    if (countKernelAvailable(kernel)) kernels.push_back(kernel);
  }
  return kernels;
}

std::string repeat(const std::string& unit, std::size_t times) {
  std::string bytes;
  bytes.reserve(unit.size() * times);
  for (std::size_t i = 0; i < times; ++i)
    bytes += unit;
  return bytes;
}

// The rules, one row per case, through every kernel and both read sizes.
TEST_F(LineCounter, CountsEachRowOfTheRules) {
  struct Row {
    const char* bytes;
    EncodingKind kind;
    int bomLength;
    bool skipEmpty;
    std::int64_t expected;
  };
  const Row rows[] = {
      {"", Other, 0, false, 0},
      {"\"xxx\"", Other, 0, false, 1},
      {"\"xxx\" 0A", Other, 0, false, 1},
      {"\"xxx\" 0A \"xxx\"", Other, 0, false, 2},
      {"0A", Other, 0, false, 1},
      {"0A 0A", Other, 0, false, 2},
      {"\"xxx\" 0D 0A", Other, 0, false, 1},
      {"\"x\" 0D \"x\" 0D \"x\"", Other, 0, false, 1},
      {"\"xxx\" 0A 20 20", Other, 0, false, 2},
      {"\"xxx\" 0A 20 20", Other, 0, true, 1},
      {"\"x\" 0A 0A \"x\" 0A", Other, 0, true, 2},
      {"0A 0A 0A", Other, 0, true, 0},
      {"09 0D 0A", Other, 0, true, 0},
      {"00 0A 0B 0A 1F 7F", Other, 0, true, 1},
      {"C0 E8 0A 20", Other, 0, true, 1},
      {"EF BB BF", Utf8, 3, false, 0},
      {"EF BB BF \"x\"", Utf8, 3, false, 1},
      {"EF BB BF 0A", Utf8, 3, true, 0},
      {"FF FE 41 00 0A 00 42 00", Le, 2, false, 2},
      {"FE FF 00 41 00 0A", Be, 2, false, 1},
      {"FF FE 0A 01", Le, 2, false, 1},
      {"FF FE 41", Le, 2, false, 0},
      {"FF FE 0A 00 20 00 0A 00 0D 00", Le, 2, true, 0},
      {"FF FE 0A 00 20 00 0A 00 21 00", Le, 2, true, 1},
      {"0A 00 00 0A", Le, 0, false, 2},
      {"0A 00 00 0A", Be, 0, false, 1},
      {"0A 00 0A 00", Be, 0, true, 1},
      {"FE FF 20 00 0A 00", Be, 2, true, 1},
  };
  for (CountKernel kernel : availableKernels()) {
    ASSERT_TRUE(forceCountKernel(kernel));
    for (const Row& row : rows) {
      for (std::int32_t readBytes : {CountChunk, 2}) {
        SCOPED_TRACE(::testing::Message() << row.bytes << " skip " << row.skipEmpty << " kernel "
                                          << static_cast<int>(kernel) << " read " << readBytes);
        EXPECT_EQ(count(hex(row.bytes), row.kind, row.bomLength, row.skipEmpty, readBytes),
                  row.expected);
      }
    }
  }
}

// Read edges: a line that straddles one counts once, a CR LF split across one is one
// line end, and bytes that would read as LF only when misaligned stay two units.
TEST_F(LineCounter, CountsAcrossChunkBoundaries) {
  struct Row {
    std::string bytes;
    EncodingKind kind;
    bool skipEmpty;
    std::int64_t expected;
  };
  const std::string x(static_cast<std::size_t>(Chunk), 'x');
  const std::string blanks(static_cast<std::size_t>(Chunk) - 1, ' ');
  const Row rows[] = {
      {x.substr(1), Other, false, 1},
      {x, Other, false, 1},
      {x + "\n", Other, false, 1},
      {x + "y", Other, false, 1},
      {x.substr(1) + "\n", Other, false, 1},
      {x.substr(2) + "\n\n", Other, false, 2},
      {x.substr(1) + "\r\n", Other, false, 1},
      {blanks + "\n", Other, true, 0},
      {blanks + "\n\n", Other, true, 0},
      {blanks + "yz", Other, true, 1},
      {"\n" + blanks + "\n", Other, true, 0},
      {blanks.substr(1) + "y\n", Other, true, 1},
      {blanks + "\n" + "y", Other, true, 1},
      // Units 41 0A | 00 41 around the boundary: a misaligned reader would see 0A 00.
      {hex("FF FE") + repeat(hex("41 00"), static_cast<std::size_t>(Chunk) / 2 - 2) +
           hex("41 0A 00 41"),
       Le, false, 1},
      {hex("FF FE") + repeat(hex("20 00"), static_cast<std::size_t>(Chunk) / 2 - 2) +
           hex("0D 00 0A 00 20"),
       Le, true, 0},
      {hex("FE FF") + repeat(hex("00 20"), static_cast<std::size_t>(Chunk) / 2 - 2) +
           hex("00 20 00 41 00 0A"),
       Be, true, 1},
  };
  for (const Row& row : rows) {
    for (std::int32_t readBytes : {CountChunk, 1000}) {
      SCOPED_TRACE(::testing::Message() << "size " << row.bytes.size() << " read " << readBytes);
      const int bomLength = row.kind == Other ? 0 : 2;
      EXPECT_EQ(count(row.bytes, row.kind, bomLength, row.skipEmpty, readBytes), row.expected);
    }
  }
}

// Failures: a failed read ends the count, what came before still counts; a short read is the last.
TEST_F(LineCounter, StopsAtFailedAndShortReads) {
  const std::string lines = repeat("ab\n", 1000) + "tail";
  EXPECT_EQ(count(lines, Other, 0, false, 300), 1001);

  fake::reset();
  fake::faults().readScript = {-1};
  EXPECT_EQ(count(lines, Other, 0, false, 300), 0);

  fake::reset();
  fake::faults().readScript = {-2, -2, -1}; // two reads of 300 bytes: 200 lines ending in LF
  EXPECT_EQ(count(lines, Other, 0, false, 300), 200);

  fake::reset();
  fake::faults().readScript = {-2, -1}; // "ab\n" * 33 + "a" read
  EXPECT_EQ(count(repeat("ab\n", 33) + "a" + repeat("ab\n", 900), Other, 0, false, 100), 34);

  fake::reset();
  fake::faults().afterScript = 301; // the short first read ends the file after "a"
  EXPECT_EQ(count(lines, Other, 0, false, 600), 101);
  EXPECT_EQ(count(lines, Other, 0, true, 600), 101);
}

// The count reads no further than the size the request saw, whatever the file holds by then; a
// file that ends sooner ends the count there.
TEST_F(LineCounter, CountsNoFurtherThanTheSizeSeen) {
  struct Row {
    std::int64_t sizeSeen;
    std::int32_t readBytes;
    std::int64_t expected;
  };
  const std::string lines = repeat("ab\n", 1000); // 3,000 bytes
  const Row rows[] = {
      {4, CountChunk, 2}, {3, CountChunk, 1},  {3, 2, 1},         {1000, 300, 334},
      {900, 300, 300},    {901, 300, 301},     {5000, 300, 1000}, {5000, CountChunk, 1000},
      {0, CountChunk, 0}, {-1, CountChunk, 0},
  };
  fake::putFile(u"f", lines);
  FileOwner file(platform::openFile(u"f"));
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "size " << row.sizeSeen << " read " << row.readBytes);
    EXPECT_EQ(countLines(file.get(), row.sizeSeen, Other, 0, false, row.readBytes), row.expected);
  }
  // Reads stop at the size: none past it, even when a read would have got more.
  fake::reset();
  fake::putFile(u"f", lines);
  FileOwner again(platform::openFile(u"f"));
  EXPECT_EQ(countLines(again.get(), 900, Other, 0, false, 300), 300);
  EXPECT_EQ(fake::counters().reads, 3);
}

TEST_F(LineCounter, ReadsNothingOnceCountedAndKeepsFailedCounts) {
  fake::putFile(u"f", "a\nb\n\nc");
  FileOwner file(platform::openFile(u"f"));
  AnalysisCache cache;
  cache.fileSize = 6;
  Settings config;
  config.skipEmpty = true;
  EXPECT_EQ(lineCount(cache, file.get(), config), 3);
  const std::int64_t reads = fake::counters().reads;
  EXPECT_EQ(lineCount(cache, file.get(), config), 3);
  EXPECT_EQ(fake::counters().reads, reads);

  cache.groups.lineTotal.reset();
  fake::faults().readScript = {-1};
  EXPECT_EQ(lineCount(cache, file.get(), config), 0);
  EXPECT_EQ(cache.groups.lineTotal, 0);
}

TEST_F(LineCounter, CountsWithTheCachedKindAndMark) {
  fake::putFile(u"f", hex("FE FF 00 0A 00 41 00 0A 0A 00"));
  FileOwner file(platform::openFile(u"f"));
  AnalysisCache cache;
  cache.fileSize = 10;
  cache.kind = Be;
  cache.bomLength = 2;
  Settings config;
  config.skipEmpty = true;
  EXPECT_EQ(lineCount(cache, file.get(), config), 2);
}

// Full counters: every byte or word lane counts often enough to overflow a narrow accumulator.
TEST_F(LineCounter, KernelsCountLongRunsOfLineFeeds) {
  const std::size_t units = 300001;
  const std::string bytes(units, '\n');
  const std::string words = repeat(hex("0A 00"), units);
  for (CountKernel kernel : availableKernels()) {
    ASSERT_TRUE(forceCountKernel(kernel));
    SCOPED_TRACE(static_cast<int>(kernel));
    LineState state;
    scanUnits(reinterpret_cast<const unsigned char*>(bytes.data()), units, EncodingKind::Other,
              false, state);
    EXPECT_EQ(finishCount(state), 300001);
    state = {};
    scanUnits(reinterpret_cast<const unsigned char*>(words.data()), words.size(),
              EncodingKind::Utf16Le, false, state);
    EXPECT_EQ(finishCount(state), 300001);
    state = {};
    scanUnits(reinterpret_cast<const unsigned char*>(words.data()) + 1, words.size() - 1,
              EncodingKind::Utf16Be, false, state);
    EXPECT_EQ(finishCount(state), 300000);
  }
}

// Seeded random units, biased toward the values the rules single out, in runs long enough to
// cross many 64-unit blocks; LE and BE line feeds both occur so every shape sees line ends.
std::string randomUnits(std::mt19937& random, std::size_t bytes) {
  static const unsigned char byteValues[] = {0x0A, 0x0A, 0x0D, 0x20, 0x09, 0x00,
                                             0x21, 0x41, 0x80, 0xFF, 0x1F, 0x0B};
  static const char* const unitValues[] = {"0A 00", "00 0A", "0D 00", "20 00", "00 20", "09 00",
                                           "00 00", "21 00", "0A 0A", "0A 01", "01 0A", "FF FF"};
  std::string out;
  while (out.size() < bytes) {
    const std::size_t run = std::uniform_int_distribution<std::size_t>(0, 150)(random);
    const int style = std::uniform_int_distribution<int>(0, 3)(random);
    const auto pick = std::uniform_int_distribution<std::size_t>(0, 11)(random);
    for (std::size_t i = 0; i < run && out.size() < bytes; ++i) {
      const auto next =
          style == 3 ? std::uniform_int_distribution<std::size_t>(0, 11)(random) : pick;
      if (style == 0) {
        out += hex(unitValues[next]);
      } else if (style == 1) {
        out += static_cast<char>(random());
      } else {
        out += static_cast<char>(byteValues[next]);
      }
    }
  }
  out.resize(bytes);
  // Mutations: a few single-byte flips.
  for (int flip = 0; flip < 3 && !out.empty(); ++flip) {
    out[random() % out.size()] = static_cast<char>(byteValues[random() % 12]);
  }
  return out;
}

TEST_F(LineCounter, KernelsMatchTheReferenceOnRandomInput) {
  std::mt19937 random(20240611);
  const EncodingKind shapes[] = {EncodingKind::Other, EncodingKind::Utf16Le, EncodingKind::Utf16Be};
  const EncodingKind kinds[] = {Other, Le, Be};
  std::vector<unsigned char> buffer;
  for (int round = 0; round < 1500; ++round) {
    const std::size_t size = round < 300
                                 ? static_cast<std::size_t>(round)
                                 : std::uniform_int_distribution<std::size_t>(0, 5000)(random);
    const std::string bytes = randomUnits(random, size);
    const std::size_t align = random() % 64;
    buffer.assign(bytes.size() + align, 0);
    std::copy(bytes.begin(), bytes.end(), buffer.begin() + static_cast<std::ptrdiff_t>(align));
    const unsigned char* data = buffer.data() + align;
    const std::size_t split = (bytes.empty() ? 0 : random() % (bytes.size() + 1)) & ~std::size_t{1};
    for (std::size_t s = 0; s < 3; ++s) {
      for (bool skipEmpty : {false, true}) {
        const std::int64_t expected =
            reference::countLines(bytes, static_cast<int>(kinds[s]), 0, skipEmpty);
        for (CountKernel kernel : availableKernels()) {
          ASSERT_TRUE(forceCountKernel(kernel));
          LineState state;
          scanUnits(data, split, shapes[s], skipEmpty, state);
          scanUnits(data + split, bytes.size() - split, shapes[s], skipEmpty, state);
          ASSERT_EQ(finishCount(state), expected)
              << "round " << round << " shape " << s << " skip " << skipEmpty << " kernel "
              << static_cast<int>(kernel) << " size " << size << " split " << split;
        }
      }
    }
  }
}

TEST_F(LineCounter, WholeCountsMatchTheReferenceForAnyReadSize) {
  std::mt19937 random(7);
  const EncodingKind kinds[] = {Other, Utf8, Le, Be};
  for (int round = 0; round < 300; ++round) {
    const std::string bytes = randomUnits(random, random() % 3000);
    const EncodingKind kind = kinds[random() % 4];
    const int bomLength = static_cast<int>(random() % 4);
    const auto readBytes = static_cast<std::int32_t>(2 + random() % 400);
    for (bool skipEmpty : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "round " << round << " read " << readBytes);
      EXPECT_EQ(count(bytes, kind, bomLength, skipEmpty, readBytes),
                reference::countLines(bytes, static_cast<int>(kind), bomLength, skipEmpty));
    }
  }
}

TEST(LineCounterKernels, ChoosesTheBestOnceAndRefusesWhatTheCpuLacks) {
  ::testing::Test::RecordProperty("bestKernel", static_cast<int>(bestCountKernel()));
  selectCountKernel();
  EXPECT_EQ(activeCountKernel(), bestCountKernel());
  EXPECT_TRUE(countKernelAvailable(CountKernel::Scalar));
  for (CountKernel kernel : {CountKernel::Sse2, CountKernel::Avx2, CountKernel::Avx512}) {
    if (!countKernelAvailable(kernel)) {
      EXPECT_FALSE(forceCountKernel(kernel));
      EXPECT_EQ(activeCountKernel(), bestCountKernel());
    }
  }
  ASSERT_TRUE(forceCountKernel(CountKernel::Scalar));
  EXPECT_EQ(activeCountKernel(), CountKernel::Scalar);
  selectCountKernel();
  EXPECT_EQ(activeCountKernel(), bestCountKernel());
}

// Which register state is in use (XGETBV 1); false when the CPU cannot tell.
bool stateInUse(std::uint64_t& components) {
#if defined(__x86_64__) || defined(_M_X64)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid_count(0x0D, 1, &eax, &ebx, &ecx, &edx) == 0 || (eax & 4U) == 0) return false;
  asm volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(1));
  components = std::uint64_t{edx} << 32 | eax;
  return true;
#else
  return false;
#endif
}

// A kernel must not return with the upper halves of the vector registers in use: every SSE
// instruction after it, the host's included, would then run slower.
TEST(LineCounterKernels, LeaveTheUpperVectorStateClean) {
  constexpr std::uint64_t UpperHalves = 4; // the AVX component
  std::uint64_t before = 0;
  if (!stateInUse(before)) GTEST_SKIP() << "the CPU does not report the state in use";
  const std::string units = repeat(hex("41 00 0A 00"), 1000);
  for (CountKernel kernel : availableKernels()) {
    ASSERT_TRUE(forceCountKernel(kernel));
    for (EncodingKind shape : {EncodingKind::Other, EncodingKind::Utf16Le, EncodingKind::Utf16Be}) {
      for (bool skipEmpty : {false, true}) {
        LineState state;
        stateInUse(before);
        scanUnits(reinterpret_cast<const unsigned char*>(units.data()), units.size(), shape,
                  skipEmpty, state);
        std::uint64_t after = 0;
        stateInUse(after);
        if ((before & UpperHalves) == 0) {
          EXPECT_EQ(after & UpperHalves, 0U) << "kernel " << static_cast<int>(kernel) << " shape "
                                             << static_cast<int>(shape) << " skip " << skipEmpty;
        }
      }
    }
  }
  selectCountKernel();
}

} // namespace
} // namespace linepeek
