#include "analysis/encoding_name.h"
#include "analysis/encoding_name_testing.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#include "settings/settings_testing.h"
#include "tests/settings/temp_ini.h"
#include "tests/support/test_util.h"

namespace linepeek {
namespace {

using test::hex;
using Kind = EncodingKind;

std::string rep(std::size_t count, char byte) {
  return std::string(count, byte);
}

AnalysisCache cacheFor(const std::string& sample, Kind kind = Kind::Other, int bomLength = 0) {
  AnalysisCache cache;
  cache.valid = true;
  cache.fileSize = static_cast<std::int64_t>(sample.size());
  cache.kind = kind;
  cache.bomLength = bomLength;
  cache.headSample = sample;
  return cache;
}

// "Encoding" and "Type" for a sample, asked in both orders; both orders must agree.
std::string nameAndType(const AnalysisCache& start, const Settings& config) {
  AnalysisCache nameFirst = start;
  encodingName(nameFirst, config);
  binaryFlag(nameFirst, config);
  AnalysisCache typeFirst = start;
  binaryFlag(typeFirst, config);
  encodingName(typeFirst, config);
  EXPECT_EQ(nameFirst.groups.encoding, typeFirst.groups.encoding);
  EXPECT_EQ(nameFirst.groups.isBinary, typeFirst.groups.isBinary);
  return std::string(*nameFirst.groups.encoding) +
         (*nameFirst.groups.isBinary ? "/Binary" : "/Text");
}

Settings defaults() {
  Settings config;
  loadDefaults(config);
  return config;
}

// The naming table with default settings.
TEST(EncodingName, NamesAndTypes) {
  struct Row {
    const char* sample;
    Kind kind;
    int bomLength;
    const char* expected;
  };
  const Row rows[] = {{"EF BB BF", Kind::Utf8, 3, "UTF-8 BOM/Text"},
                      {"EF BB", Kind::Utf8, 0, "UTF-8 no BOM/Text"},
                      {"EF BB BF 01 00", Kind::Utf8, 3, "UTF-8 BOM/Text"},
                      {"FF FE 00 00", Kind::Utf16Le, 2, "UTF-16 LE/Text"},
                      {"00 41 00 42", Kind::Utf16Be, 0, "UTF-16 BE/Text"},
                      {"00 00", Kind::Other, 0, "Binary/Binary"},
                      {"68 65 6C 6C 6F", Kind::Other, 0, "ANSI/Text"},
                      {"7B 5C 72 74 66 31 20 78", Kind::Other, 0, "RTF/Text"},
                      {"7B 5C 72 74 66 31 01", Kind::Other, 0, "RTF/Binary"},
                      {"7B 5C 52 54 46 31", Kind::Other, 0, "ANSI/Text"},
                      {"7B 5C 72 74", Kind::Other, 0, "ANSI/Text"},
                      {"80", Kind::Other, 0, "ANSI/Text"},
                      {"FF", Kind::Other, 0, "DOS/Text"},
                      {"41 C3 28", Kind::Other, 0, "DOS/Text"},
                      {"C9 CD CD BB", Kind::Other, 0, "DOS/Text"},
                      {"41 01 42", Kind::Other, 0, "Binary/Binary"},
                      {"41 09 0A 0D 42 7F", Kind::Other, 0, "ANSI/Text"},
                      {"EC E0 EC E0 20 EC FB EB E0 20 F0 E0 EC F3", Kind::Other, 0, "ANSI Ru/Text"},
                      {"AC A0 AC A0 20 AC EB AB A0 20 E0 A0 AC E3", Kind::Other, 0, "DOS Ru/Text"},
                      {"", Kind::Other, 0, "ANSI/Text"}};
  const Settings config = defaults();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.sample);
    EXPECT_EQ(nameAndType(cacheFor(hex(row.sample), row.kind, row.bomLength), config),
              row.expected);
  }
}

// Thresholds and switches, with settings read from a file.
TEST(EncodingName, ThresholdsFromSettings) {
  struct Row {
    const char* ini;
    std::string sample;
    const char* expected;
  };
  const std::string c4e0 = rep(18, '\xC4') + rep(82, '\xE0');
  const Row rows[] = {
      {"", rep(1024, 'A') + "\x01", "ANSI/Text"},
      {"", rep(1023, 'A') + "\x01", "Binary/Binary"},
      {"BinaryIgnore=01", rep(1023, 'A') + "\x01", "ANSI/Text"},
      {"TextBufferSizeKB=2", rep(1024, 'A') + "\x01", "Binary/Binary"},
      {"", c4e0, "DOS/Text"},
      {"", rep(17, '\xC4') + rep(83, '\xE0'), "ANSI Ru/Text"},
      {"RusEnabled=0", rep(17, '\xC4') + rep(83, '\xE0'), "ANSI/Text"},
      {"OemIgnore=C4", c4e0, "ANSI Ru/Text"},
      {"OemEnabled=0", hex("C9 CD CD BB"), "ANSI/Text"},
      {"", hex("41 80"), "ANSI/Text"},
      {"OemPercent=0", hex("41 80"), "DOS/Text"},
      {"", rep(100, '\xBB'), "ANSI/Text"},
      {"OemIgnore=", rep(100, '\xBB'), "DOS/Text"},
      {"", rep(1024, 'A') + "\xC4", "ANSI/Text"},
      {"OemBufferSizeKB=2", rep(1024, 'A') + "\xC4", "DOS/Text"},
      {"", rep(3, '\xE0') + rep(7, 'A'), "ANSI Ru/Text"},
      {"", rep(3, '\xE0') + rep(8, 'A'), "ANSI/Text"},
      {"", rep(7, '\xE0'), "ANSI/Text"},
      {"RusMinSize=11", rep(3, '\xE0') + rep(7, 'A'), "ANSI/Text"},
      {"", rep(3, '\xA0') + rep(7, 'A'), "DOS Ru/Text"},
      {"", hex("80 AF F1") + rep(7, 'A'), "DOS Ru/Text"},
      {"OemEnabled=0", hex("7F B0 F2 DF") + rep(6, 'A'), "ANSI/Text"},
      {"RusWordLen=3\nRusPercent=100", hex("E0 E1 E2") + rep(5, 'A'), "ANSI Ru/Text"},
      {"RusWordLen=3\nRusPercent=100", hex("E0 E1 41 E2") + rep(4, 'A'), "ANSI/Text"},
      {"RusPercent=0", rep(8, 'A'), "ANSI Ru/Text"},
      {"RusPercent=0", rep(7, 'A'), "ANSI/Text"},
      {"", rep(1024, 'A') + rep(1024, '\xE0'), "ANSI Ru/Text"},
      {"RusBufferSizeKB=1", rep(1024, 'A') + rep(1024, '\xE0'), "ANSI/Text"}};
  test::TempIni ini;
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.ini) + " / " + std::to_string(row.sample.size()) + " bytes");
    Settings config;
    loadSettingsFrom(ini.write(std::string("[Encoding]\n") + row.ini), config);
    EXPECT_EQ(nameAndType(cacheFor(row.sample), config), row.expected);
  }
}

// Letter classes at their edges: one letter in ten bytes reaches RusPercent 10.
TEST(EncodingName, LetterClassEdges) {
  const std::tuple<const char*, bool, bool> rows[] = {
      {"BF", false, false}, {"C0", false, true}, {"FF", false, true}, {"7F", true, false},
      {"80", true, true},   {"AF", true, true},  {"B0", true, false}, {"DF", true, false},
      {"E0", true, true},   {"F1", true, true},  {"F2", true, false}};
  test::TempIni ini;
  Settings config;
  loadSettingsFrom(ini.write("[Encoding]\nRusPercent=10"), config);
  for (const auto& [letter, dosLetters, expected] : rows) {
    SCOPED_TRACE(std::string(letter) + (dosLetters ? " dos" : " win"));
    EXPECT_EQ(looksRussian(hex(letter) + rep(9, 'A'), dosLetters, config), expected);
  }
}

// Real-looking samples: Russian prose in 1251 and 866, a box screen, RTF, an executable header.
TEST(EncodingName, RealLookingText) {
  const std::string forest1251 =
      hex("C2 20 EB E5 F1 F3 20 F0 EE E4 E8 EB E0 F1 FC 20 B8 EB EE F7 EA E0 2C 20 E2 20 EB E5 F1 "
          "F3 20 EE ED E0 20 F0 EE F1 EB E0 2E 20 C7 E8 EC EE E9 20 E8 20 EB E5 F2 EE EC 20 F1 F2 "
          "F0 EE E9 ED E0 FF 2C 20 E7 E5 EB B8 ED E0 FF 20 E1 FB EB E0 2E 0D 0A");
  const std::string forest866 =
      hex("82 20 AB A5 E1 E3 20 E0 AE A4 A8 AB A0 E1 EC 20 F1 AB AE E7 AA A0 2C 20 A2 20 AB A5 E1 "
          "E3 20 AE AD A0 20 E0 AE E1 AB A0 2E 20 87 A8 AC AE A9 20 A8 20 AB A5 E2 AE AC 20 E1 E2 "
          "E0 AE A9 AD A0 EF 2C 20 A7 A5 AB F1 AD A0 EF 20 A1 EB AB A0 2E 0D 0A");
  const std::string box = "\xC9" + rep(30, '\xCD') +
                          "\xBB\r\n\xBA Menu: F1 Help  F10 Quit \xBA\r\n" + "\xC8" +
                          rep(30, '\xCD') + "\xBC\r\n";
  const std::pair<std::string, const char*> rows[] = {
      {forest1251, "ANSI Ru/Text"},
      {forest866, "DOS Ru/Text"},
      {box, "DOS/Text"},
      {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\r\n\\pard Hello\\par\r\n}",
       "RTF/Text"},
      {hex("4D 5A 90 00 03 00 00 00 04 00 00 00 FF FF 00 00 B8 00"), "Binary/Binary"}};
  const Settings config = defaults();
  for (const auto& [sample, expected] : rows) {
    SCOPED_TRACE(expected);
    EXPECT_EQ(nameAndType(cacheFor(sample), config), expected);
  }
}

// Each group is computed once per cached file, and the two fields share the binary flag.
TEST(EncodingName, ComputedOncePerFile) {
  const Settings config = defaults();
  AnalysisCache cache = cacheFor("plain text");
  cache.groups.isBinary = true;
  EXPECT_STREQ(encodingName(cache, config), "Binary");
  cache.headSample = hex("41 01 42");
  cache.groups.encoding = "kept";
  cache.groups.isBinary = false;
  EXPECT_STREQ(encodingName(cache, config), "kept");
  EXPECT_FALSE(binaryFlag(cache, config));
}

} // namespace
} // namespace linepeek
