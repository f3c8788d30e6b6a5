// Code page conversion without the Windows API. Code pages 0 (ANSI) and 1 (OEM) are resolved
// on every call, from LINEPEEK_CODEPAGES ("1251,866") or else from the locale's language, so
// that a change of either takes effect at once; one getenv costs far less than a conversion.
#include "platform/platform.h"

#include "base/unicode.h"
#include "platform/posix/codepage_tables.h"

#include <cstdlib>
#include <string_view>

namespace linepeek::platform {
namespace {

struct CodePagePair {
  int ansi;
  int oem;
};

constexpr CodePagePair UsEnglishPair{1252, 437};

bool isSupported(int codePage) {
  return codePage == Utf8CodePage || posix::codePageTable(codePage) != nullptr;
}

// Reads one decimal number between blanks; false on anything else.
bool parseNumber(std::string_view text, int& number) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  if (text.empty() || text.size() > 5) return false;
  number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  return true;
}

// "ANSI,OEM", both code pages that this converter knows; anything else is ignored.
bool pairFromOverride(const char* text, CodePagePair& pair) {
  if (text == nullptr) return false;
  const std::string_view whole(text);
  const std::size_t comma = whole.find(',');
  if (comma == std::string_view::npos) return false;
  CodePagePair parsed{};
  if (!parseNumber(whole.substr(0, comma), parsed.ansi) ||
      !parseNumber(whole.substr(comma + 1), parsed.oem) || !isSupported(parsed.ansi) ||
      !isSupported(parsed.oem)) {
    return false;
  }
  pair = parsed;
  return true;
}

struct LanguagePair {
  const char* language;
  CodePagePair pair;
};

// The ANSI and OEM code pages that Windows gives each language by default.
constexpr LanguagePair LanguagePairs[] = {
    {"af", {1252, 850}}, {"ca", {1252, 850}}, {"da", {1252, 850}}, {"de", {1252, 850}},
    {"es", {1252, 850}}, {"eu", {1252, 850}}, {"fi", {1252, 850}}, {"fo", {1252, 850}},
    {"fr", {1252, 850}}, {"ga", {1252, 850}}, {"gl", {1252, 850}}, {"id", {1252, 850}},
    {"is", {1252, 850}}, {"it", {1252, 850}}, {"ms", {1252, 850}}, {"nb", {1252, 850}},
    {"nl", {1252, 850}}, {"nn", {1252, 850}}, {"no", {1252, 850}}, {"pt", {1252, 850}},
    {"sv", {1252, 850}}, {"bs", {1250, 852}}, {"cs", {1250, 852}}, {"hr", {1250, 852}},
    {"hu", {1250, 852}}, {"pl", {1250, 852}}, {"ro", {1250, 852}}, {"sk", {1250, 852}},
    {"sl", {1250, 852}}, {"sq", {1250, 852}}, {"be", {1251, 866}}, {"bg", {1251, 866}},
    {"kk", {1251, 866}}, {"ky", {1251, 866}}, {"mk", {1251, 866}}, {"mn", {1251, 866}},
    {"ru", {1251, 866}}, {"sr", {1251, 866}}, {"tt", {1251, 866}}, {"uk", {1251, 866}},
    {"el", {1253, 737}}, {"az", {1254, 857}}, {"tr", {1254, 857}}, {"he", {1255, 862}},
    {"iw", {1255, 862}}, {"ar", {1256, 720}}, {"fa", {1256, 720}}, {"ur", {1256, 720}},
    {"et", {1257, 775}}, {"lt", {1257, 775}}, {"lv", {1257, 775}}, {"vi", {1258, 1258}},
    {"th", {874, 874}},
};

// English keeps 437 only in the United States and a few other regions; Windows gives the
// Commonwealth locales 850.
constexpr const char* EnglishWith850[] = {"GB", "IE", "AU", "NZ", "CA"};

// A POSIX locale name is language[_TERRITORY][.codeset][@modifier].
CodePagePair pairForLocale(std::string_view locale) {
  const std::size_t languageEnd = locale.find_first_of("_.@");
  const std::string_view language = locale.substr(0, languageEnd);
  std::string_view territory;
  if (languageEnd != std::string_view::npos && locale[languageEnd] == '_') {
    territory = locale.substr(languageEnd + 1);
    territory = territory.substr(0, territory.find_first_of(".@"));
  }
  const std::size_t at = locale.find('@');
  const std::string_view modifier =
      at == std::string_view::npos ? std::string_view() : locale.substr(at + 1);

  if (language == "en") {
    for (const char* region : EnglishWith850) {
      if (territory == region) return {1252, 850};
    }
    return UsEnglishPair;
  }
  // Serbian in Latin script is written like Croatian.
  if (language == "sr" && modifier == "latin") return {1250, 852};
  for (const LanguagePair& entry : LanguagePairs) {
    if (language == entry.language) return entry.pair;
  }
  return UsEnglishPair;
}

CodePagePair currentPair() {
  CodePagePair pair{};
  if (pairFromOverride(std::getenv("LINEPEEK_CODEPAGES"), pair)) return pair;
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0') return pairForLocale(value);
  }
  return UsEnglishPair;
}

int resolve(int codePage) {
  if (codePage == AnsiCodePage) return currentPair().ansi;
  if (codePage == OemCodePage) return currentPair().oem;
  return codePage;
}

} // namespace

int ansiCodePage() {
  return currentPair().ansi;
}

int oemCodePage() {
  return currentPair().oem;
}

int multiByteToWide(int codePage, const char* input, int inputBytes, char16_t* output,
                    int outputUnits) {
  // Counts are exact: a negative one (Windows' "up to the first zero") is no text at all.
  if (input == nullptr || inputBytes <= 0 || outputUnits < 0) return 0;
  const auto bytes = static_cast<std::size_t>(inputBytes);
  const std::size_t capacity = output == nullptr ? 0 : static_cast<std::size_t>(outputUnits);

  const int resolved = resolve(codePage);
  std::size_t units = 0;
  if (resolved == Utf8CodePage) {
    units = linepeek::decodeUtf8(input, bytes, output, capacity);
  } else {
    const char16_t* table = posix::codePageTable(resolved);
    if (table == nullptr) return 0;
    for (std::size_t i = 0; i < bytes && i < capacity; ++i) {
      output[i] = table[static_cast<unsigned char>(input[i])];
    }
    units = bytes;
  }
  // Sizing call, or a buffer too small for the whole text (which fails, as on Windows).
  if (capacity == 0) return static_cast<int>(units);
  return units <= capacity ? static_cast<int>(units) : 0;
}

void boundaryBytes(int codePage, std::array<bool, 256>& boundary) {
  // Every code page here is UTF-8 or has one byte per character.
  const int resolved = resolve(codePage);
  const bool singleByte = posix::codePageTable(resolved) != nullptr;
  for (std::size_t b = 0; b < boundary.size(); ++b)
    boundary[b] = resolved == Utf8CodePage ? b < 0x80 : singleByte;
}

} // namespace linepeek::platform
