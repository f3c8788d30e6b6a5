// Names the code page of a file ("Charset"): the module's own detection for UTF-8 and UTF-16,
// the uchardet detector's verdict on the head sample for every other text. Runs under the value
// lock.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "settings/settings.h"

namespace linepeek {

struct AnalysisCache;

// A name the detector gives, and how IANA's registry spells it (its preferred MIME name where it
// has one). Names the registry lacks keep the detector's spelling.
struct CharsetSpelling {
  const char* detector;
  const char* iana;
};

// Every name uchardet 0.0.7 can give for a sample that reaches it, the most common first, so a
// host that cuts the choices keeps these. "UTF-16" is not among them: a sample that starts with
// either UTF-16 mark is of a UTF-16 kind and never reaches the detector.
inline constexpr CharsetSpelling DetectorSpellings[] = {
    {"UTF-8", "UTF-8"},
    {"ASCII", "US-ASCII"},
    {"WINDOWS-1252", "windows-1252"},
    {"WINDOWS-1250", "windows-1250"},
    {"WINDOWS-1251", "windows-1251"},
    {"WINDOWS-1253", "windows-1253"},
    {"WINDOWS-1255", "windows-1255"},
    {"WINDOWS-1256", "windows-1256"},
    {"WINDOWS-1257", "windows-1257"},
    {"WINDOWS-1258", "windows-1258"},
    {"ISO-8859-1", "ISO-8859-1"},
    {"ISO-8859-2", "ISO-8859-2"},
    {"ISO-8859-5", "ISO-8859-5"},
    {"ISO-8859-7", "ISO-8859-7"},
    {"ISO-8859-15", "ISO-8859-15"},
    {"KOI8-R", "KOI8-R"},
    {"IBM866", "IBM866"},
    {"GB18030", "GB18030"},
    {"BIG5", "Big5"},
    {"SHIFT_JIS", "Shift_JIS"},
    {"EUC-JP", "EUC-JP"},
    {"UHC", "UHC"}, // Unified Hangul Code, the superset of EUC-KR; not registered
    {"ISO-8859-3", "ISO-8859-3"},
    {"ISO-8859-4", "ISO-8859-4"},
    {"ISO-8859-6", "ISO-8859-6"},
    {"ISO-8859-8", "ISO-8859-8"},
    {"ISO-8859-9", "ISO-8859-9"},
    {"ISO-8859-10", "ISO-8859-10"},
    {"ISO-8859-11", "ISO-8859-11"}, // not registered
    {"ISO-8859-13", "ISO-8859-13"},
    {"ISO-8859-16", "ISO-8859-16"},
    {"IBM852", "IBM852"},
    {"IBM855", "IBM855"},
    {"MAC-CENTRALEUROPE", "MAC-CENTRALEUROPE"}, // not registered
    {"MAC-CYRILLIC", "MAC-CYRILLIC"},           // not registered
    {"TIS-620", "TIS-620"},
    {"VISCII", "VISCII"},
    {"EUC-TW", "EUC-TW"}, // not registered
    {"HZ-GB-2312", "HZ-GB-2312"},
    {"ISO-2022-CN", "ISO-2022-CN"},
    {"ISO-2022-JP", "ISO-2022-JP"},
    {"ISO-2022-KR", "ISO-2022-KR"},
    {"UTF-32", "UTF-32"}, // "00 00 FE FF", when BinaryIgnore lets zeros pass as text
};

// What UTF-8 and UTF-16 files answer, from the module's own detection.
inline constexpr const char* Utf8Charset = DetectorSpellings[0].iana;
inline constexpr char Utf16LeCharset[] = "UTF-16LE";
inline constexpr char Utf16BeCharset[] = "UTF-16BE";

// Every name "Charset" answers, in the order the host lists them. The catalogue joins these.
inline constexpr auto CharsetNames = [] {
  std::array<const char*, 2 + std::size(DetectorSpellings)> names{Utf16LeCharset, Utf16BeCharset};
  for (std::size_t i = 0; i < std::size(DetectorSpellings); ++i)
    names[2 + i] = DetectorSpellings[i].iana;
  return names;
}();

// The detector's verdict on `sample` alone, spelled as IANA does; null when it has none (no
// bytes, too little confidence, or a name outside DetectorSpellings). A pure function of the
// bytes: a fresh detector each call, fed the sample once. Memory exhaustion inside the detector
// throws std::bad_alloc; the detector is released on every way out.
const char* detectCharset(std::string_view sample);

// The "Charset" of the cached file, computed once per cached file (charsetDone): UTF-8 and
// UTF-16 kinds name their form; a file that "Type" calls binary (binaryFlag runs when it has
// not) and a sample without a verdict give null, which gets no value; any other file gets
// detectCharset of its head sample.
const char* charsetName(AnalysisCache& cache, const Settings& config);

} // namespace linepeek
