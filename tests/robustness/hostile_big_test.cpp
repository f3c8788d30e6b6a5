// Large hostile inputs through the real platform layer: sparse files beyond 4 GiB, a line as
// long as the widest window, and an enormous settings file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "settings/settings_testing.h"
#include "tests/robustness/real_requests.h"

namespace linepeek::test {
namespace {

namespace fs = std::filesystem;
using HostileBigFiles = RealRequests;

constexpr std::uintmax_t FiveGiB = std::uintmax_t{5} << 30;

// Only the windows at either end are read for lines; the count reads all five GiB of holes.
TEST_F(HostileBigFiles, FiveGiBSparse) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::uintmax_t, std::string>> texts;
    std::vector<std::string> expected; // fields 0 to 15
  };
  const std::string none = "(-3)";
  const Case cases[] = {
      {"holes only",
       {},
       {none, none, none, none, none, none, none, none, none, none, none, none, none, "1", "Binary",
        "Binary"}},
      {"lines at both ends",
       {{0, "first\nsecond\n"}, {FiveGiB - 18, "\npenultimate\nlast\n"}},
       {"first", "second", none, none, none, none, none, none, none, none, none, "penultimate",
        "last", "5", "Binary", "Binary"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    analysisCache = AnalysisCache{};
    const std::u16string name = sparse("five.txt", FiveGiB, c.texts).u16string();
    for (int field = 0; field < 16; ++field)
      EXPECT_EQ(answer(name, field), c.expected[static_cast<std::size_t>(field)]) << field;
  }
}

// One line of 4,194,303 bytes plus its LF fills the wide window exactly; one byte more and
// neither end sees a whole line.
TEST_F(HostileBigFiles, SingleLineOfFourMiB) {
  const std::string cut(1023, 'x');
  const std::u16string fits = temp.write("fits.txt", std::string(4194303, 'x') + "\n");
  EXPECT_EQ(answer(fits, 0, 2048), cut);
  EXPECT_EQ(answer(fits, 1, 2048), "(-3)");
  EXPECT_EQ(answer(fits, 12, 2048), cut);
  EXPECT_EQ(answer(fits, 11, 2048), "(-3)");
  EXPECT_EQ(answer(fits, 13), "1");
  EXPECT_EQ(answer(fits, 15), "Text");

  const std::u16string over = temp.write("over.txt", std::string(4194304, 'x') + "\n");
  EXPECT_EQ(answer(over, 0), "(-3)");
  EXPECT_EQ(answer(over, 12), "(-3)");
  EXPECT_EQ(answer(over, 13), "1");
}

TEST_F(HostileBigFiles, EnormousSettingsFile) {
  const fs::path path = temp.folder() / "linepeek.ini";
  {
    std::ofstream out(path, std::ios::binary);
    out << "[Encoding]\nOemPercent=40\n[Padding]\n";
    const std::string pad = "Pad=" + std::string(1019, 'p') + "\n"; // 1 KiB a line
    for (int i = 0; i < 64 * 1024; ++i)
      out << pad;
    out << "[Encoding]\nRusPercent=70\n";
  }
  ASSERT_GE(fs::file_size(path), std::uintmax_t{64} << 20);
  Settings loaded;
  loadSettingsFrom(path.u16string(), loaded);
  expectSaneSettings(loaded);
  EXPECT_EQ(loaded.oemPercent, 40);
}

} // namespace
} // namespace linepeek::test
