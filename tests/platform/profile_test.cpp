#include "platform/ini_sections.h"
#include "platform/platform.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace linepeek::platform {
namespace {

using test::hex;
using test::utf16;
using test::utf8;

struct Answer {
  std::u16string text;
  int length;
};

Answer read(const std::u16string& path, const char16_t* section, const char16_t* key,
            const char16_t* defaultValue = u"dflt", int units = 64) {
  std::u16string buffer(static_cast<std::size_t>(units) + 1, u'#');
  const int length =
      readProfileString(section, key, defaultValue, buffer.data(), units, path.c_str());
  return {buffer.substr(0, buffer.find(u'\0')), length};
}

struct Row {
  const char* file; // hex bytes of the whole file
  const char16_t* section;
  const char16_t* key;
  const char* expected; // UTF-8 of the value
};

void runRows(const test::TempFolder& temp, const Row* rows, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(std::string(row.file) + " / " + utf8(row.section) + " / " + utf8(row.key));
    const std::u16string path = temp.write("row" + std::to_string(i) + ".ini", hex(row.file));
    const Answer answer = read(path, row.section, row.key);
    EXPECT_EQ(utf8(answer.text), row.expected);
    EXPECT_EQ(answer.length, static_cast<int>(answer.text.size()));
  }
}

// Names, blanks, quotes, comments and which match wins.
TEST(ProfileString, Syntax) {
  const test::TempFolder temp;
  const Row rows[] = {
      {"\"[Options]\" 0D 0A \"SkipEmpty=1\" 0D 0A", u"OPTIONS", u"skipempty", "1"},
      {"\"[options]\" 0A \"KEY=v\" 0A", u"Options", u"Key", "v"},
      {"\"[S]\" 0D 0A \"  Key  =  some value  \" 0D 0A", u"S", u"Key", "some value"},
      {"\"[S]\" 0D 0A 09 \"Key\" 09 \"=\" 09 \"v\" 09 0D 0A", u"S", u"Key", "v"},
      {"\"[S]\" 0D 0A \"Key=a=b\" 0D 0A", u"S", u"Key", "a=b"},
      {"\"[S]\" 0D 0A \"Key=\" 22 \" quoted \" 22 0D 0A", u"S", u"Key", " quoted "},
      {"\"[S]\" 0D 0A \"Key='single'\" 0D 0A", u"S", u"Key", "single"},
      {"\"[S]\" 0D 0A \"Key=\" 22 \"open\" 0D 0A", u"S", u"Key", "\"open"},
      {"\"[S]\" 0D 0A \"Key=\" 22 \"mixed'\" 0D 0A", u"S", u"Key", "\"mixed'"},
      {"\"[S]\" 0D 0A \"Key=\" 22 22 \"x\" 22 22 0D 0A", u"S", u"Key", "\"x\""},
      {"\"[S]\" 0D 0A \";Key=hidden\" 0D 0A \"Key=shown\" 0D 0A", u"S", u"Key", "shown"},
      {"\"[S]\" 0D 0A \"  ;Key=hidden\" 0D 0A", u"S", u"Key", "dflt"},
      {"\"[S]\" 0D 0A \"Key=first\" 0D 0A \"key=second\" 0D 0A", u"S", u"Key", "first"},
      {"\"[S]\" 0D 0A \"Key=one\" 0D 0A \"[T]\" 0D 0A \"Key=two\" 0D 0A", u"T", u"Key", "two"},
      {"\"[S]\" 0D 0A \"Key=one\" 0D 0A \"[T]\" 0D 0A \"[s]\" 0D 0A \"Key=two\" 0D 0A", u"S",
       u"Key", "one"},
      {"\"Key=outside\" 0D 0A \"[S]\" 0D 0A \"Other=1\" 0D 0A", u"S", u"Key", "dflt"},
      {"\"[ S ]\" 0D 0A \"Key=v\" 0D 0A", u"S", u"Key", "v"},
      {"\"[S]\" 0D 0A \"Key=\" 0D 0A", u"S", u"Key", ""},
      {"\"[S]\" 0D 0A \"Key=   \" 0D 0A", u"S", u"Key", ""},
      {"\"[S]\" 0D 0A \"Key=last line without end\"", u"S", u"Key", "last line without end"},
  };
  runRows(temp, rows, std::size(rows));
}

// A missing file, section or key gives the default, cut like a value.
TEST(ProfileString, MissingGivesDefault) {
  const test::TempFolder temp;
  const std::u16string path = temp.write("s.ini", "[S]\r\nKey=v\r\n");
  EXPECT_EQ(read(temp.path("absent.ini"), u"S", u"Key").text, u"dflt");
  EXPECT_EQ(read(temp.path("no-folder/absent.ini"), u"S", u"Key").text, u"dflt");
  EXPECT_EQ(read(path, u"T", u"Key").text, u"dflt");
  EXPECT_EQ(read(path, u"S", u"Other").text, u"dflt");
  EXPECT_EQ(read(path, u"S", u"Other", u"").text, u"");
  const Answer cut = read(path, u"S", u"Other", u"default", 4);
  EXPECT_EQ(cut.text, u"def");
  EXPECT_EQ(cut.length, 3);
  // Trailing spaces of the default are dropped.
  EXPECT_EQ(read(path, u"S", u"Other", u"x  ").text, u"x");
}

// A value longer than the buffer is cut to units - 1 code units.
TEST(ProfileString, LongValueIsCut) {
  const test::TempFolder temp;
  const std::u16string path = temp.write("s.ini", "[S]\r\nKey=abcdef\r\n");
  struct Case {
    int units;
    std::u16string expected;
  };
  const Case cases[] = {{1, u""},      {2, u"a"},      {4, u"abc"},
                        {6, u"abcde"}, {7, u"abcdef"}, {64, u"abcdef"}};
  for (const Case& row : cases) {
    SCOPED_TRACE(row.units);
    const Answer answer = read(path, u"S", u"Key", u"dflt", row.units);
    EXPECT_EQ(answer.text, row.expected);
    EXPECT_EQ(answer.length, static_cast<int>(row.expected.size()));
  }
  std::string longValue(3000, 'x');
  const std::u16string longPath = temp.write("long.ini", "[S]\r\nKey=" + longValue + "\r\n");
  EXPECT_EQ(read(longPath, u"S", u"Key", u"", 2048).text, std::u16string(2047, u'x'));
}

// Files with a byte order mark: UTF-8 and UTF-16 LE.
TEST(ProfileString, MarkedEncodings) {
  const test::TempFolder temp;
  const std::u16string utf8Path =
      temp.write("utf8.ini", hex("EF BB BF \"[S]\" 0D 0A \"Key=\" D0 96 E2 82 AC 0D 0A"));
  EXPECT_EQ(read(utf8Path, u"S", u"Key").text, u"\u0416\u20AC");

  std::string utf16Le = hex("FF FE");
  for (const char16_t unit : utf16("[S]\r\nKey=\u0416\u20AC\r\n")) {
    utf16Le.push_back(static_cast<char>(unit & 0xFF));
    utf16Le.push_back(static_cast<char>(unit >> 8));
  }
  const std::u16string utf16Path = temp.write("utf16.ini", utf16Le);
  EXPECT_EQ(read(utf16Path, u"S", u"Key").text, u"\u0416\u20AC");
  EXPECT_EQ(read(utf16Path, u"s", u"KEY").text, u"\u0416\u20AC");
}

// The listings of the settings report: section names and the lines of one section.
TEST(ProfileString, Listings) {
  const test::TempFolder temp;
  const std::u16string path =
      temp.write("s.ini", "; note\r\n[Options]\r\n  Extension = txt log  \r\nSkipEmpty\r\n"
                          ";Hidden=1\r\n\r\n[ Spaced ]\r\nS1=\" a=b\"\r\n=v\r\n[]\r\nx=1\r\n"
                          "[options]\r\nLater=1\r\n");
  using Texts = std::vector<std::u16string>;
  EXPECT_EQ(profileSectionNames(path.c_str()), (Texts{u"Options", u"Spaced", u"options"}));
  EXPECT_EQ(profileSection(u"OPTIONS", path.c_str()), (Texts{u"Extension=txt log", u"SkipEmpty"}));
  EXPECT_EQ(profileSection(u"Spaced", path.c_str()), (Texts{u"S1=\" a=b\"", u"=v"}));
  EXPECT_EQ(profileSection(u"Absent", path.c_str()), Texts{});
  EXPECT_EQ(profileSectionNames(temp.path("absent.ini").c_str()), Texts{});
}

} // namespace
} // namespace linepeek::platform
