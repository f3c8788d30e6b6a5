#include "analysis/charset.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "analysis/analysis_cache.h"
#include "tests/support/test_util.h"

namespace linepeek {
namespace {

using test::hex;

std::string sampleFile(const std::string& name) {
  std::ifstream in(std::string(LINEPEEK_SOURCE_DIR) + "/samples/files/" + name, std::ios::binary);
  EXPECT_TRUE(in) << "cannot read samples/files/" << name;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string shown(const char* name) {
  return name == nullptr ? "(none)" : name;
}

std::string shown(const Charset* charset) {
  return charset == nullptr ? "(none)" : charset->name;
}

// The sample texts in their code pages, as uchardet 0.0.7 names them in IANA's spelling. Greek
// in windows-1253 reads as ISO-8859-7, and EUC-KR as its superset UHC, as the detector says.
TEST(Charset, SampleTextsInTheirCodePages) {
  const std::pair<const char*, const char*> rows[] = {
      {"charsets/greek_1253.txt", "ISO-8859-7"},
      {"charsets/chinese_gbk.txt", "GB18030"},
      {"charsets/chinese_big5.txt", "Big5"},
      {"charsets/japanese_shift_jis.txt", "Shift_JIS"},
      {"charsets/japanese_euc_jp.txt", "EUC-JP"},
      {"charsets/korean_euc_kr.txt", "UHC"},
      {"charsets/russian_koi8_r.txt", "KOI8-R"},
      {"charsets/polish_1250.txt", "windows-1250"},
      {"charsets/polish_iso8859_2.txt", "ISO-8859-2"},
      {"charsets/german_1252.txt", "windows-1252"},
      {"charsets/hebrew_1255.txt", "windows-1255"},
      {"charsets/thai_tis620.txt", "TIS-620"},
      {"russian_1251.txt", "windows-1251"},
      {"russian_866.txt", "IBM866"},
      {"twelve_lines.txt", "US-ASCII"},
  };
  for (const auto& [file, expected] : rows) {
    SCOPED_TRACE(file);
    EXPECT_EQ(shown(detectCharset(sampleFile(file))), expected);
  }
}

// Where the module's evidence contradicts the detector, the evidence names the charset: words
// that read right in one code page of the script and hold controls, symbols or box drawing in
// the others, and box drawing in a DOS code page.
TEST(Charset, EvidenceOverTheDetector) {
  const Settings config;
  const struct {
    const char* sample;
    const char* expected;
  } rows[] = {
      {"\"F\" 81 \"r J\" 81 \"rgen: K\" 84 \"se, Br\" 94 \"tchen und Gr\" 81 E1 \"e f\" 81 "
       "\"r die G\" 84 \"ste.\" 0A",
       "IBM850"},
      {"\"Dzi\" EA \"kujemy za udzia\" B3 \", \" BF \"yczymy mi\" B3 \"ego dnia; \" B6 \"roda, \" "
       "BC "
       "\"le nie b\" EA \"dzie, pr\" B1 \"d.\" 0A",
       "ISO-8859-2"},
      {"\"Dzi\" EA \"kujemy za udzia\" B3 \", \" BF \"yczymy mi\" B3 \"ego dnia; \" 9C \"roda, \" "
       "9F "
       "\"le nie b\" EA \"dzie, pr\" B9 \"d.\" 0A",
       "windows-1250"},
      {"\"Er sagte \" 84 \"Guten Tag\" 93 \" und ging \" 96 \" \" FC \"ber die Stra\" DF \"e.\" 0A",
       "windows-1252"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expected);
    AnalysisCache cache;
    cache.headSample = hex(row.sample);
    cache.fileSize = static_cast<std::int64_t>(cache.headSample.size());
    EXPECT_EQ(shown(charsetName(cache, config)), row.expected);
  }
  AnalysisCache box;
  box.headSample = sampleFile("dos_box_437.txt");
  box.fileSize = static_cast<std::int64_t>(box.headSample.size());
  EXPECT_EQ(shown(charsetName(box, config)), "IBM437");
}

TEST(Charset, NoVerdict) {
  EXPECT_EQ(detectCharset(""), nullptr);
  EXPECT_EQ(detectCharset(hex("41 FF 42")), nullptr);
}

// Unicode kinds name their form without the detector, binary files get nothing, and the name
// is kept until the record is refilled.
TEST(Charset, ProducerOnTheCachedFile) {
  const Settings config;
  const struct {
    EncodingKind kind;
    const char* sample;
    const char* expected;
  } rows[] = {
      {EncodingKind::Utf8, "C3 A9 01", "UTF-8"},
      {EncodingKind::Utf16Le, "FF FE 41 00", "UTF-16LE"},
      {EncodingKind::Utf16Be, "00 41", "UTF-16BE"},
      {EncodingKind::Other, "41 01 42", "(none)"},
      {EncodingKind::Other, "41 42", "US-ASCII"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.sample);
    AnalysisCache cache;
    cache.kind = row.kind;
    cache.headSample = hex(row.sample);
    cache.fileSize = static_cast<std::int64_t>(cache.headSample.size());
    EXPECT_EQ(shown(charsetName(cache, config)), row.expected);
    EXPECT_TRUE(cache.groups.charset);
    cache.headSample = "\xC0\xE0";
    cache.kind = EncodingKind::Other;
    EXPECT_EQ(shown(charsetName(cache, config)), row.expected);
  }
}

} // namespace
} // namespace linepeek
