// The charsets that "Charset" names and the "auto" unit decodes: one row each, with the name the
// detector gives, the Windows code page and the glibc iconv table of the same mapping. The
// module's analysis reads the names, each platform layer its own column.
#pragma once

#include <cstddef>
#include <string_view>

namespace linepeek {

// The catalogue's name of the field that answers these names; linepeek-cli sizes its column by
// them.
inline constexpr char CharsetFieldName[] = "Charset";

// No Windows code page decodes the charset piece by piece (see platform::TextDecoder).
inline constexpr int NoCodePage = -1;

struct Charset {
  const char* name;     // as "Charset" answers it: IANA's preferred MIME name where it has one
  const char* detector; // uchardet's spelling of it, or null for a name only the module gives
  int codePage;         // the Windows code page, or NoCodePage
  // glibc iconv's name of the table that matches the Windows one (CP932 rather than SHIFT_JIS,
  // whose 0x5C is a yen sign); null where glibc has none. The POSIX layer falls back to it for
  // code pages it has no table of its own for.
  const char* iconvName;
  // Bytes mean other characters after an escape or shift sequence: each line is decoded from
  // its start, and ESC is part of the text, not a blank to trim.
  bool shiftsState;
};

// Every name "Charset" answers, the most common first. UTF-16 comes from the module's own
// detection; US-ASCII, UTF-32 and the stateful forms that no platform here decodes in pieces
// decode as "win" does. EUC-TW, VISCII, ISO-8859-10 and -16 have no Windows code page.
inline constexpr Charset Charsets[] = {
    {"UTF-16LE", nullptr, NoCodePage, nullptr, false},
    {"UTF-16BE", nullptr, NoCodePage, nullptr, false},
    {"UTF-8", "UTF-8", 65001, "UTF-8", false},
    {"US-ASCII", "ASCII", NoCodePage, nullptr, false},
    {"windows-1252", "WINDOWS-1252", 1252, "CP1252", false},
    {"windows-1250", "WINDOWS-1250", 1250, "CP1250", false},
    {"windows-1251", "WINDOWS-1251", 1251, "CP1251", false},
    {"windows-1253", "WINDOWS-1253", 1253, "CP1253", false},
    {"windows-1254", nullptr, 1254, "CP1254", false},
    {"windows-1255", "WINDOWS-1255", 1255, "CP1255", false},
    {"windows-1256", "WINDOWS-1256", 1256, "CP1256", false},
    {"windows-1257", "WINDOWS-1257", 1257, "CP1257", false},
    {"windows-1258", "WINDOWS-1258", 1258, "CP1258", false},
    {"ISO-8859-1", "ISO-8859-1", 28591, "ISO-8859-1", false},
    {"ISO-8859-2", "ISO-8859-2", 28592, "ISO-8859-2", false},
    {"ISO-8859-5", "ISO-8859-5", 28595, "ISO-8859-5", false},
    {"ISO-8859-7", "ISO-8859-7", 28597, "ISO-8859-7", false},
    {"ISO-8859-15", "ISO-8859-15", 28605, "ISO-8859-15", false},
    {"KOI8-R", "KOI8-R", 20866, "KOI8-R", false},
    {"IBM866", "IBM866", 866, "IBM866", false},
    {"IBM437", nullptr, 437, "IBM437", false},
    {"IBM850", nullptr, 850, "IBM850", false},
    {"GB18030", "GB18030", 54936, "GB18030", false},
    {"Big5", "BIG5", 950, "CP950", false},
    {"Shift_JIS", "SHIFT_JIS", 932, "CP932", false},
    {"EUC-JP", "EUC-JP", 20932, "EUC-JP", false},
    {"UHC", "UHC", 949, "CP949", false}, // Unified Hangul Code, EUC-KR's superset; not registered
    {"ISO-8859-3", "ISO-8859-3", 28593, "ISO-8859-3", false},
    {"ISO-8859-4", "ISO-8859-4", 28594, "ISO-8859-4", false},
    {"ISO-8859-6", "ISO-8859-6", 28596, "ISO-8859-6", false},
    {"ISO-8859-8", "ISO-8859-8", 28598, "ISO-8859-8", false},
    {"ISO-8859-9", "ISO-8859-9", 28599, "ISO-8859-9", false},
    {"ISO-8859-10", "ISO-8859-10", NoCodePage, "ISO-8859-10", false},
    {"ISO-8859-11", "ISO-8859-11", 874, "ISO-8859-11", false}, // not registered; 874 extends it
    {"ISO-8859-13", "ISO-8859-13", 28603, "ISO-8859-13", false},
    {"ISO-8859-16", "ISO-8859-16", NoCodePage, "ISO-8859-16", false},
    {"IBM852", "IBM852", 852, "IBM852", false},
    {"IBM855", "IBM855", 855, "IBM855", false},
    {"MAC-CENTRALEUROPE", "MAC-CENTRALEUROPE", 10029, "MAC-CENTRALEUROPE", false}, // not registered
    {"MAC-CYRILLIC", "MAC-CYRILLIC", 10007, "MAC-CYRILLIC", false},                // not registered
    {"TIS-620", "TIS-620", 874, "TIS-620", false},
    {"VISCII", "VISCII", NoCodePage, "VISCII", false},
    {"EUC-TW", "EUC-TW", NoCodePage, "EUC-TW", false}, // not registered
    {"HZ-GB-2312", "HZ-GB-2312", NoCodePage, nullptr, true},
    {"ISO-2022-CN", "ISO-2022-CN", NoCodePage, "ISO-2022-CN", true},
    {"ISO-2022-JP", "ISO-2022-JP", NoCodePage, "ISO-2022-JP", true},
    {"ISO-2022-KR", "ISO-2022-KR", NoCodePage, "ISO-2022-KR", true},
    {"UTF-32", "UTF-32", NoCodePage, nullptr, false}, // "00 00 FE FF", when zeros pass as text
};

inline constexpr std::size_t CharsetCount = std::size(Charsets);

// The row named `name` exactly, or null.
constexpr const Charset* charsetNamed(std::string_view name) {
  for (const Charset& charset : Charsets) {
    if (name == charset.name) return &charset;
  }
  return nullptr;
}

// The first row whose Windows code page is `codePage`, or null.
constexpr const Charset* charsetOfCodePage(int codePage) {
  for (const Charset& charset : Charsets) {
    if (charset.codePage == codePage) return &charset;
  }
  return nullptr;
}

} // namespace linepeek
