#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "plugin/abi.h"
#include "settings/settings.h"

namespace {

struct CatalogueRow {
  int index;
  const char* name;
  const char* units;
  int type;
};

const CatalogueRow Expected[] = {
    {0, "1", "win|dos", 11},
    {1, "2", "win|dos", 11},
    {2, "3", "win|dos", 11},
    {3, "4", "win|dos", 11},
    {4, "5", "win|dos", 11},
    {5, "6", "win|dos", 11},
    {6, "7", "win|dos", 11},
    {7, "8", "win|dos", 11},
    {8, "9", "win|dos", 11},
    {9, "10", "win|dos", 11},
    {10, "-3", "win|dos", 11},
    {11, "-2", "win|dos", 11},
    {12, "-1", "win|dos", 11},
    {13, "Line count", "", 2},
    {14, "Encoding",
     "UTF-16 LE|UTF-16 BE|UTF-8 BOM|UTF-8 no BOM|ANSI|ANSI Ru|DOS|DOS Ru|RTF|Binary", 7},
    {15, "Type", "Folder|Binary|Text", 7},
};

// Whole texts, byte for byte, and nothing written past their zero.
void expectRow(const CatalogueRow& row) {
  SCOPED_TRACE(row.index);
  char name[512];
  char units[512];
  std::memset(name, '#', sizeof name);
  std::memset(units, '#', sizeof units);
  EXPECT_EQ(ContentGetSupportedField(row.index, name, units, 512), row.type);
  EXPECT_STREQ(name, row.name);
  EXPECT_STREQ(units, row.units);
  EXPECT_EQ(name[std::strlen(row.name) + 1], '#');
  EXPECT_EQ(units[std::strlen(row.units) + 1], '#');
}

TEST(Catalogue, EveryFieldAsTheHostReceivesIt) {
  for (const CatalogueRow& row : Expected)
    expectRow(row);
}

// The opt-in field follows the sixteen, which stay as they are.
TEST(Catalogue, LineEndingsFieldWhenSwitchedOn) {
  struct Switched {
    Switched() { linepeek::settings.lineEndings = true; }
    ~Switched() { linepeek::settings.lineEndings = false; }
  } switched;
  for (const CatalogueRow& row : Expected)
    expectRow(row);
  expectRow({16, "Line endings", "CRLF|LF|CR|Mixed|None", 7});
  char name[8] = "keep";
  EXPECT_EQ(ContentGetSupportedField(17, name, name, 8), 0);
  EXPECT_STREQ(name, "keep");
}

// "Charset", a text field, comes after every other field, "Line endings" included when that is
// on; the line fields then gain the unit "auto", the file's own charset.
TEST(Catalogue, CharsetFieldWhenSwitchedOn) {
  struct Switched {
    Switched() { linepeek::settings.charset = true; }
    ~Switched() { linepeek::settings = linepeek::Settings{}; }
  } switched;
  for (CatalogueRow row : Expected) {
    if (row.type == 11) row.units = "win|dos|auto";
    expectRow(row);
  }
  expectRow({16, "Charset", "", 11});
  linepeek::settings.lineEndings = true;
  expectRow({16, "Line endings", "CRLF|LF|CR|Mixed|None", 7});
  expectRow({17, "Charset", "", 11});
  char name[8] = "keep";
  EXPECT_EQ(ContentGetSupportedField(18, name, name, 8), 0);
}

// At the sizes hosts pass, every field with every setting on: the texts come cut to the size,
// and nothing is written past it. At 256 bytes, the size a file manager passes, every name and
// every list of units or choices comes whole.
TEST(Catalogue, AtTheSizesHostsPass) {
  struct Switched {
    Switched() { linepeek::settings.charset = linepeek::settings.lineEndings = true; }
    ~Switched() { linepeek::settings = linepeek::Settings{}; }
  } switched;
  const auto texts = [](int index, int maxLen) {
    std::string name(static_cast<std::size_t>(maxLen) + 8, '#');
    std::string units(name);
    EXPECT_NE(ContentGetSupportedField(index, name.data(), units.data(), maxLen), 0);
    EXPECT_EQ(name.substr(static_cast<std::size_t>(maxLen)), "########");
    EXPECT_EQ(units.substr(static_cast<std::size_t>(maxLen)), "########");
    return std::pair(name.substr(0, name.find('\0')), units.substr(0, units.find('\0')));
  };
  for (int index = 0; index < 18; ++index) {
    const auto whole = texts(index, 65536);
    for (const int maxLen : {64, 256, 260, 512, 4096}) {
      SCOPED_TRACE(std::to_string(maxLen) + " field " + std::to_string(index));
      const auto size = static_cast<std::size_t>(maxLen - 1);
      EXPECT_EQ(texts(index, maxLen),
                std::pair(whole.first.substr(0, size), whole.second.substr(0, size)));
      if (maxLen == 256) {
        EXPECT_LT(whole.second.size(), 256u);
      }
    }
  }
}

TEST(Catalogue, IndicesOutsideTheTableAnswerNoMoreFields) {
  for (int index : {16, 100, -1, -2147483647 - 1, 2147483647}) {
    char name[8] = "keep";
    char units[8] = "keep";
    EXPECT_EQ(ContentGetSupportedField(index, name, units, 8), 0) << index;
    EXPECT_STREQ(name, "keep");
    EXPECT_STREQ(units, "keep");
  }
}

// Small buffers cut the texts but never the type code.
TEST(Catalogue, SmallBuffersCutBothTexts) {
  char name[8];
  char units[8];
  EXPECT_EQ(ContentGetSupportedField(13, name, units, 5), 2);
  EXPECT_STREQ(name, "Line");
  EXPECT_STREQ(units, "");
  EXPECT_EQ(ContentGetSupportedField(14, name, units, 5), 7);
  EXPECT_STREQ(name, "Enco");
  EXPECT_STREQ(units, "UTF-");
  std::memset(name, '#', sizeof name);
  std::memset(units, '#', sizeof units);
  EXPECT_EQ(ContentGetSupportedField(9, name, units, 1), 11);
  EXPECT_EQ(name[0], '\0');
  EXPECT_EQ(units[0], '\0');
  EXPECT_EQ(name[1], '#');
}

TEST(Catalogue, EightBitValueEntryIsNeverServed) {
  char buffer[16] = "keep";
  char fileName[] = "CMakeLists.txt";
  for (int index : {0, 13, 14, 15, 99, -1}) {
    EXPECT_EQ(ContentGetValue(fileName, index, 0, buffer, 16, 0), -3) << index;
  }
  EXPECT_STREQ(buffer, "keep");
}

} // namespace
