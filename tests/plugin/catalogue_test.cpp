#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

// "Charset" comes after every other field, "Line endings" included when that is on.
TEST(Catalogue, CharsetFieldWhenSwitchedOn) {
  const char* choices =
      "UTF-16LE|UTF-16BE|UTF-8|US-ASCII|windows-1252|windows-1250|windows-1251|windows-1253|"
      "windows-1254|windows-1255|windows-1256|windows-1257|windows-1258|ISO-8859-1|ISO-8859-2|"
      "ISO-8859-5|ISO-8859-7|ISO-8859-15|KOI8-R|IBM866|IBM437|IBM850|GB18030|Big5|Shift_JIS|"
      "EUC-JP|UHC|ISO-8859-3|"
      "ISO-8859-4|ISO-8859-6|ISO-8859-8|ISO-8859-9|ISO-8859-10|ISO-8859-11|ISO-8859-13|"
      "ISO-8859-16|IBM852|IBM855|MAC-CENTRALEUROPE|MAC-CYRILLIC|TIS-620|VISCII|EUC-TW|"
      "HZ-GB-2312|ISO-2022-CN|ISO-2022-JP|ISO-2022-KR|UTF-32";
  struct Switched {
    Switched() { linepeek::settings.charset = true; }
    ~Switched() { linepeek::settings = linepeek::Settings{}; }
  } switched;
  // The line fields gain the unit "auto", the file's own charset.
  for (CatalogueRow row : Expected) {
    if (row.type == 11) row.units = "win|dos|auto";
    expectRow(row);
  }
  expectRow({16, "Charset", choices, 7});
  linepeek::settings.lineEndings = true;
  expectRow({16, "Line endings", "CRLF|LF|CR|Mixed|None", 7});
  expectRow({17, "Charset", choices, 7});
  char name[8] = "keep";
  EXPECT_EQ(ContentGetSupportedField(18, name, name, 8), 0);
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
