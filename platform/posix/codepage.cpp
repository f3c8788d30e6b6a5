// Code page conversion without the Windows API: the single-byte Windows code pages from tables
// generated from Windows' own, UTF-8 by the tree's codec, the multi-byte charsets by glibc's
// iconv. Code pages 0 (ANSI) and 1 (OEM) are resolved for each decoder, from LINEPEEK_CODEPAGES
// ("1251,866") or else from the locale's language, so that a change of either takes effect at
// once; one getenv costs far less than a conversion.
#include "platform/platform.h"

#include "base/unicode.h"
#include "platform/posix/codepage_tables.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include <iconv.h>

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

// What iconv_open answers on failure.
const iconv_t NoConverter = reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1));

// glibc's converters write UTF-16 in the byte order asked for; char16_t holds the machine's.
const char* nativeUtf16() {
  const char16_t probe = 1;
  return *reinterpret_cast<const unsigned char*>(&probe) == 1 ? "UTF-16LE" : "UTF-16BE";
}

} // namespace

int ansiCodePage() {
  return currentPair().ansi;
}

int oemCodePage() {
  return currentPair().oem;
}

struct TextDecoder::State {
  const char16_t* table = nullptr; // a single-byte code page of our own tables
  bool utf8 = false;
  iconv_t converter = NoConverter;
  ~State() {
    if (converter != NoConverter) iconv_close(converter);
  }
};

TextDecoder::TextDecoder(int codePage, const char* iconvName) {
  auto state = std::make_unique<State>();
  const int resolved = resolve(codePage);
  if (resolved == Utf8CodePage) {
    state->utf8 = true;
  } else if ((state->table = posix::codePageTable(resolved)) == nullptr) {
    if (iconvName == nullptr) return;
    state->converter = iconv_open(nativeUtf16(), iconvName);
    if (state->converter == NoConverter) return;
  }
  state_ = std::move(state);
}

TextDecoder::~TextDecoder() = default;

std::size_t TextDecoder::decode(std::string_view input, bool last, std::u16string& output) {
  if (!state_ || input.empty() || input.size() > static_cast<std::size_t>(INT_MAX)) return 0;
  const std::size_t at = output.size();
  if (state_->table != nullptr) {
    output.resize(at + input.size());
    for (std::size_t i = 0; i < input.size(); ++i)
      output[at + i] = state_->table[static_cast<unsigned char>(input[i])];
    return input.size();
  }
  if (state_->utf8) {
    const std::size_t bytes = last ? input.size() : wholeUtf8Prefix(input);
    output.resize(at + bytes);
    output.resize(at + decodeUtf8(input.data(), bytes, output.data() + at, bytes));
    return bytes;
  }
  // No charset that reaches iconv gives more units than it reads bytes, nor does a U+FFFD.
  output.resize(at + input.size());
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  auto* out = reinterpret_cast<char*>(output.data() + at);
  std::size_t outLeft = input.size() * sizeof(char16_t);
  while (inLeft > 0) {
    if (iconv(state_->converter, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1))
      break;
    const int error = errno;
    if (error == EINVAL && !last) break; // the next piece completes the character
    if ((error != EILSEQ && error != EINVAL) || outLeft < sizeof(char16_t)) break;
    // A byte that starts no character, or the start of one that the end of the text cuts off:
    // one U+FFFD, as the UTF-8 decoder gives, and on after that byte.
    constexpr char16_t Replacement = 0xFFFD;
    std::memcpy(out, &Replacement, sizeof Replacement);
    out += sizeof Replacement;
    outLeft -= sizeof Replacement;
    ++in;
    --inLeft;
  }
  output.resize(static_cast<std::size_t>(reinterpret_cast<char16_t*>(out) - output.data()));
  return input.size() - inLeft;
}

} // namespace linepeek::platform
