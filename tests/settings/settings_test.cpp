#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "settings/settings_testing.h"
#include "tests/settings/temp_ini.h"
#include "tests/support/test_util.h"

namespace linepeek {
namespace {

using test::utf16;
using test::utf8;

// Every field away from its default, so that a field the loader skips shows.
Settings scrambled() {
  Settings s;
  s.extensions = u"zz";
  s.skipEmpty = true;
  s.lineEndings = true;
  s.textBufferSizeKB = s.utf8BufferSizeKB = s.oemBufferSizeKB = s.rusBufferSizeKB = 9;
  s.oemPercent = s.rusMinSize = s.rusPercent = s.rusWordLen = 9;
  s.oemEnabled = s.rusEnabled = false;
  s.binaryIgnore.fill(1);
  s.oemIgnore.fill(1);
  s.replaces.fill({u"q", u"r"});
  return s;
}

std::vector<int> flagged(const ByteFlagTable& table) {
  std::vector<int> values;
  for (int v = 0; v < 256; ++v) {
    if (table[static_cast<std::size_t>(v)] != 0) values.push_back(v);
  }
  return values;
}

Settings loaded(const test::TempIni& ini, const std::string& lines) {
  Settings s = scrambled();
  loadSettingsFrom(ini.write(lines), s);
  return s;
}

// Module path to settings path.
TEST(Settings, IniPathReplacesOnlyTheFileExtension) {
  const std::pair<const char*, const char*> rows[] = {
      {"D:\\tools\\module.x64", "D:\\tools\\module.ini"},
      {"D:\\tools\\my.module.dll", "D:\\tools\\my.module.ini"},
      {"D:\\tools.old\\module", "D:\\tools.old\\module.ini"},
      {"/opt/a.b/linepeek", "/opt/a.b/linepeek.ini"},
      {"/usr/lib/linepeek.so", "/usr/lib/linepeek.ini"},
      {"D:\\tools\\module.", "D:\\tools\\module.ini"},
      {"D:\\tools\\", "D:\\tools\\.ini"},
      {"module", "module.ini"},
      {"", ".ini"}};
  for (const auto& [modulePath, expected] : rows) {
    SCOPED_TRACE(modulePath);
    EXPECT_EQ(utf8(iniPathFor(utf16(modulePath))), expected);
  }
}

// Number forms; a failed parse leaves the value alone.
TEST(Settings, NumberFormsAndFailures) {
  struct Row {
    std::u16string text;
    bool parses;
    std::int32_t value;
  };
  const std::int32_t max = INT32_MAX;
  const Row rows[] = {{u"16", true, 16},
                      {u" \t 16", true, 16},
                      {u"+16", true, 16},
                      {u"-5", true, -5},
                      {u"$10", true, 16},
                      {u"x10", true, 16},
                      {u"X1f", true, 31},
                      {u"0x10", true, 16},
                      {u"0XfF", true, 255},
                      {u"%101", true, 5},
                      {u"&17", true, 15},
                      {u"007", true, 7},
                      {u"-$10", true, -16},
                      {u"00", true, 0},
                      {u"2147483647", true, max},
                      {u"2147483648", true, max},
                      {u"99999999999", true, max},
                      {u"$FFFFFFFF", true, max},
                      {u"-2147483648", true, INT32_MIN},
                      {u"-99999999999", true, INT32_MIN},
                      {std::u16string(253, u'0') + u"42", true, 42},
                      {std::u16string(254, u'0') + u"42", false, 0},
                      {u"", false, 0},
                      {u" ", false, 0},
                      {u"+", false, 0},
                      {u"-", false, 0},
                      {u"$", false, 0},
                      {u"0x", false, 0},
                      {u"%", false, 0},
                      {u"&", false, 0},
                      {u"7kb", false, 0},
                      {u"16 ", false, 0},
                      {u"1 6", false, 0},
                      {u"+-1", false, 0},
                      {u"$-1", false, 0},
                      {u"%102", false, 0},
                      {u"&8", false, 0},
                      {u"$G", false, 0},
                      {u"0x0x1", false, 0},
                      {u"\uFF11\uFF16", false, 0},
                      {u"16\u00A0", false, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(utf8(row.text));
    std::int32_t value = -77;
    EXPECT_EQ(parseIniNumber(row.text, value), row.parses);
    EXPECT_EQ(value, row.parses ? row.value : -77);
  }
}

// Defaults when the file, the section or the key is missing.
TEST(Settings, MissingFileSectionOrKeyGivesDefaults) {
  test::TempIni ini;
  const std::u16string paths[] = {
      ini.path("absent.ini"), ini.write("[Other]\nTextBufferSizeKB=5\nS1=a=b\n", "section.ini"),
      ini.write("[Encoding]\nUnrelated=5\n[Replaces]\nS21=a=b\nS0=a=b\nS01=a=b\n", "key.ini")};
  for (const std::u16string& path : paths) {
    SCOPED_TRACE(utf8(path));
    Settings s = scrambled();
    loadSettingsFrom(path, s);
    EXPECT_EQ(s.iniPath, path);
    EXPECT_EQ(s.extensions, u"");
    EXPECT_FALSE(s.skipEmpty);
    EXPECT_FALSE(s.lineEndings);
    EXPECT_EQ(s.textBufferSizeKB, 1);
    EXPECT_EQ(s.utf8BufferSizeKB, 64);
    EXPECT_TRUE(s.oemEnabled);
    EXPECT_EQ(s.oemBufferSizeKB, 1);
    EXPECT_EQ(s.oemPercent, 18);
    EXPECT_TRUE(s.rusEnabled);
    EXPECT_EQ(s.rusBufferSizeKB, 2);
    EXPECT_EQ(s.rusMinSize, 8);
    EXPECT_EQ(s.rusPercent, 30);
    EXPECT_EQ(s.rusWordLen, 0);
    EXPECT_EQ(flagged(s.binaryIgnore), std::vector<int>{});
    EXPECT_EQ(flagged(s.oemIgnore), (std::vector<int>{0xAB, 0xBB}));
    for (const ReplacePair& pair : s.replaces)
      EXPECT_TRUE(pair.from.empty() && pair.to.empty());
  }
}

// Numbers read from the file, clamped lower bound first.
TEST(Settings, NumbersAreClampedOrDefaulted) {
  const std::tuple<const char*, std::int32_t Settings::*, std::int32_t> rows[] = {
      {"TextBufferSizeKB=0", &Settings::textBufferSizeKB, 1},
      {"TextBufferSizeKB=100", &Settings::textBufferSizeKB, 64},
      {"TextBufferSizeKB=7kb", &Settings::textBufferSizeKB, 1},
      {"TextBufferSizeKB=$10", &Settings::textBufferSizeKB, 16},
      {"TextBufferSizeKB=0x10", &Settings::textBufferSizeKB, 16},
      {"TextBufferSizeKB=-5", &Settings::textBufferSizeKB, 1},
      {"TextBufferSizeKB=99999999999", &Settings::textBufferSizeKB, 64},
      {"TextBufferSizeKB=-99999999999", &Settings::textBufferSizeKB, 1},
      {"Utf8BufferSizeKB=", &Settings::utf8BufferSizeKB, 64},
      {"Utf8BufferSizeKB=%1000", &Settings::utf8BufferSizeKB, 8},
      {"OemBufferSizeKB=&20", &Settings::oemBufferSizeKB, 16},
      {"OemPercent=+", &Settings::oemPercent, 18},
      {"OemPercent=101", &Settings::oemPercent, 100},
      {"RusBufferSizeKB=007", &Settings::rusBufferSizeKB, 7},
      {"RusMinSize=65537", &Settings::rusMinSize, 65536},
      {"RusMinSize=$FFFFFFFF", &Settings::rusMinSize, 65536},
      {"RusPercent=0x", &Settings::rusPercent, 30},
      {"RusWordLen=-3", &Settings::rusWordLen, 0},
      {"RusWordLen=65536", &Settings::rusWordLen, 65536}};
  test::TempIni ini;
  for (const auto& [line, field, expected] : rows) {
    SCOPED_TRACE(line);
    EXPECT_EQ(loaded(ini, std::string("[Encoding]\n") + line).*field, expected);
  }
}

// Switches: numbers for OemEnabled, RusEnabled and LineEndings, the exact text "0" for
// SkipEmpty.
TEST(Settings, Switches) {
  const std::tuple<const char*, bool Settings::*, bool> rows[] = {
      {"[Encoding]\nOemEnabled=5", &Settings::oemEnabled, true},
      {"[Encoding]\nOemEnabled=-1", &Settings::oemEnabled, false},
      {"[Encoding]\nOemEnabled=0", &Settings::oemEnabled, false},
      {"[Encoding]\nOemEnabled=no", &Settings::oemEnabled, true},
      {"[Encoding]\nRusEnabled=0", &Settings::rusEnabled, false},
      {"[Options]\nLineEndings=1", &Settings::lineEndings, true},
      {"[Options]\nLineEndings=7", &Settings::lineEndings, true},
      {"[Options]\nLineEndings=yes", &Settings::lineEndings, false},
      {"[Options]\nSkipEmpty=0", &Settings::skipEmpty, false},
      {"[Options]\nSkipEmpty=1", &Settings::skipEmpty, true},
      {"[Options]\nSkipEmpty=00", &Settings::skipEmpty, true},
      {"[Options]\nSkipEmpty=no", &Settings::skipEmpty, true},
      {"[Options]\nSkipEmpty=", &Settings::skipEmpty, true}};
  test::TempIni ini;
  for (const auto& [lines, field, expected] : rows) {
    SCOPED_TRACE(lines);
    EXPECT_EQ(loaded(ini, lines).*field, expected);
  }
}

// Byte lists: space-separated two-digit entries only; present but empty clears the defaults.
TEST(Settings, ByteLists) {
  const std::tuple<const char*, ByteFlagTable Settings::*, std::vector<int>> rows[] = {
      {"OemIgnore=", &Settings::oemIgnore, {}},
      {"OemIgnore=ab,bb", &Settings::oemIgnore, {}},
      {"OemIgnore=ab bb", &Settings::oemIgnore, {0xAB, 0xBB}},
      {"BinaryIgnore=0c 1b", &Settings::binaryIgnore, {0x0C, 0x1B}},
      {"BinaryIgnore=F 1B", &Settings::binaryIgnore, {0x1B}},
      {"BinaryIgnore=0C\t1B", &Settings::binaryIgnore, {}},
      {"BinaryIgnore=ff   00", &Settings::binaryIgnore, {0x00, 0xFF}},
      {"BinaryIgnore=0x01 001 01, G1", &Settings::binaryIgnore, {}}};
  test::TempIni ini;
  for (const auto& [line, field, expected] : rows) {
    SCOPED_TRACE(line);
    EXPECT_EQ(flagged(loaded(ini, std::string("[Encoding]\n") + line).*field), expected);
  }
  ByteFlagTable table{};
  buildByteFlagTable(u"\t0c\x01", table); // blanks and control units at the ends are trimmed
  EXPECT_EQ(flagged(table), std::vector<int>{0x0C});
  // What the settings report names as ignored: every entry that flags nothing.
  std::vector<std::u16string> ignored;
  buildByteFlagTable(u" 0x01  0C\t1B ab F G1 001 bb", table, &ignored);
  EXPECT_EQ(flagged(table), (std::vector<int>{0xAB, 0xBB}));
  EXPECT_EQ(ignored, (std::vector<std::u16string>{u"0x01", u"0C\t1B", u"F", u"G1", u"001"}));
}

TEST(Settings, ExtensionsAreLowerCasedNotSplit) {
  test::TempIni ini;
  EXPECT_EQ(loaded(ini, "[Options]\nExtensions=TXT Log").extensions, u"txt log");
  EXPECT_EQ(loaded(ini, "[Options]\nExtensions=.TXT,Log\tINI").extensions, u".txt,log\tini");
}

// The load step reads beside the module; this binary has no settings file there.
TEST(Settings, LoadSettingsUsesTheModulePath) {
  const std::u16string module = modulePath();
  ASSERT_FALSE(module.empty());
  settings = scrambled();
  loadSettings();
  EXPECT_EQ(settings.iniPath, iniPathFor(module));
  EXPECT_EQ(settings.textBufferSizeKB, 1);
  EXPECT_EQ(flagged(settings.oemIgnore), (std::vector<int>{0xAB, 0xBB}));
}

} // namespace
} // namespace linepeek
