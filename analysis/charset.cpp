#include "analysis/charset.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include <uchardet.h>

#include "analysis/analysis_cache.h"
#include "analysis/encoding_name.h"
#include "platform/platform.h"

namespace linepeek {
namespace {

using Detector = std::unique_ptr<std::remove_pointer_t<uchardet_t>, decltype(&uchardet_delete)>;

const Charset* detectorSpelling(const char* detectorName) {
  for (const Charset& charset : Charsets) {
    if (charset.detector != nullptr && std::strcmp(charset.detector, detectorName) == 0)
      return &charset;
  }
  return nullptr;
}

// The forms of the module's own detection, which lead the table.
constexpr const Charset* Utf16Le = &Charsets[0];
constexpr const Charset* Utf16Be = &Charsets[1];
constexpr const Charset* Utf8 = &Charsets[2];
static_assert(std::string_view(Charsets[0].name) == "UTF-16LE" &&
              std::string_view(Charsets[1].name) == "UTF-16BE" &&
              std::string_view(Charsets[2].name) == "UTF-8");

// The single-byte code pages of one script that a detector's verdict may be taken for: Windows
// first, then ISO 8859, then DOS. Cyrillic has none: its code pages all read Cyrillic letters,
// and the detector tells them apart by their frequencies.
constexpr std::string_view Families[][6] = {
    {"windows-1252", "ISO-8859-1", "ISO-8859-15", "ISO-8859-3", "IBM850", "IBM437"},
    {"windows-1250", "ISO-8859-2", "IBM852", "MAC-CENTRALEUROPE"},
    {"windows-1253", "ISO-8859-7"},
    {"windows-1254", "ISO-8859-9"},
    {"windows-1255", "ISO-8859-8"},
    {"windows-1256", "ISO-8859-6"},
    {"windows-1257", "ISO-8859-13", "ISO-8859-4"},
};
// The DOS code pages that box drawing is read in, United States first.
constexpr std::string_view DosFamily[] = {"IBM437", "IBM850", "IBM852", "IBM866"};

enum class Shape : std::uint8_t { Letter, Box, Other };

bool isLetter(char16_t unit) {
  if (unit < 0x80) return (unit | 0x20) >= u'a' && (unit | 0x20) <= u'z';
  if (unit == 0xAA || unit == 0xB5 || unit == 0xBA) return true;
  if (unit >= 0xC0 && unit <= 0x24F) return unit != 0xD7 && unit != 0xF7;
  if (unit >= 0x386 && unit <= 0x3FF) return unit != 0x387;
  return (unit >= 0x400 && unit <= 0x52F) || (unit >= 0x5B0 && unit <= 0x5F2) ||
         (unit >= 0x620 && unit <= 0x6D3) || (unit >= 0xE01 && unit <= 0xE4E) ||
         (unit >= 0x1E00 && unit <= 0x1EFF);
}

Shape shapeOf(char16_t unit) {
  if (isLetter(unit)) return Shape::Letter;
  if (unit >= 0x2500 && unit <= 0x259F) return Shape::Box;
  return Shape::Other;
}

// What no text holds: C1 controls, private use (where Windows puts bytes that a code page
// leaves undefined) and U+FFFD.
bool isImpossible(char16_t unit) {
  return (unit >= 0x80 && unit <= 0x9F) || (unit >= 0xE000 && unit <= 0xF8FF) || unit == 0xFFFD;
}

// Marks that stand inside words in real text: apostrophes, and the Catalan middle dot.
bool standsInWords(char16_t unit) {
  return unit == 0x2019 || unit == 0x2018 || unit == 0x02BC || unit == 0xB4 || unit == 0xB7;
}

// The characters that `sample` read in `charset` cannot hold: each byte from 0x80 up that
// decodes to a character no text holds, or that breaks a run of letters or of box drawing as
// another kind of character.
std::size_t misfits(std::string_view sample, const Charset& charset) {
  platform::TextDecoder decoder(charset.codePage, charset.iconvName);
  std::u16string text;
  decoder.decode(sample, true, text);
  if (text.size() != sample.size()) return sample.size() + 1; // not one unit a byte: no family
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(sample[i]) < 0x80) continue;
    const char16_t unit = text[i];
    if (isImpossible(unit)) {
      ++count;
      continue;
    }
    if (i == 0 || i + 1 == text.size() || standsInWords(unit)) continue;
    const Shape around = shapeOf(text[i - 1]);
    if (around != Shape::Other && shapeOf(text[i + 1]) == around && shapeOf(unit) != around)
      ++count;
  }
  return count;
}

// Of `family`, the charset that reads `sample` with the fewest misfits; `verdict` on a tie, or
// the first of the family when the verdict is not in it.
template <std::size_t Size>
const Charset* fewestMisfits(std::string_view sample, const std::string_view (&family)[Size],
                             const Charset* verdict) {
  const Charset* best = verdict;
  std::size_t bestMisfits = verdict != nullptr ? misfits(sample, *verdict) : sample.size() + 2;
  for (const std::string_view name : family) {
    const Charset* charset = charsetNamed(name);
    if (charset == nullptr || charset == verdict || bestMisfits == 0) continue;
    const std::size_t count = misfits(sample, *charset);
    if (count < bestMisfits) {
      best = charset;
      bestMisfits = count;
    }
  }
  return best;
}

template <std::size_t Size>
bool isIn(const Charset* charset, const std::string_view (&family)[Size]) {
  for (const std::string_view name : family) {
    if (charset != nullptr && !name.empty() && name == charset->name) return true;
  }
  return false;
}

// The detector's verdict, corrected where the module's own evidence contradicts it. A
// single-byte verdict gives way to a code page of the same script that reads the sample with
// fewer misfits: C1 controls in an ISO 8859 page where Windows has letters, "±" inside a word
// where ISO 8859-2 has "ą", a quote mark inside a word where DOS has "ö". Any other verdict
// of a file that "Encoding" calls DOS (its pseudo-graphics) gives way to the DOS code page
// that reads it best: the detector takes box drawing for EUC-JP.
const Charset* judged(AnalysisCache& cache, const Settings& config) {
  const std::string_view sample = cache.headSample;
  const Charset* verdict = detectCharset(sample);
  for (const auto& family : Families) {
    if (isIn(verdict, family)) return fewestMisfits(sample, family, verdict);
  }
  if (std::strcmp(encodingName(cache, config), DosName) == 0)
    return fewestMisfits(sample, DosFamily, isIn(verdict, DosFamily) ? verdict : nullptr);
  return verdict;
}

} // namespace

const Charset* detectCharset(std::string_view sample) {
  // The detector allocates its probers with new, so a failure throws through it; the owner
  // releases what it holds.
  const Detector detector(uchardet_new(), &uchardet_delete);
  if (!detector) return nullptr;
  // A non-zero answer is the detector's own report of a failed allocation: no verdict.
  if (uchardet_handle_data(detector.get(), sample.data(), sample.size()) != 0) return nullptr;
  uchardet_data_end(detector.get());
  return detectorSpelling(uchardet_get_charset(detector.get()));
}

const Charset* charsetOf(AnalysisCache& cache, const Settings& config) {
  if (cache.groups.charset) return *cache.groups.charset;
  const Charset* charset = nullptr;
  switch (cache.kind) {
  case EncodingKind::Utf8:
    charset = Utf8;
    break;
  case EncodingKind::Utf16Le:
    charset = Utf16Le;
    break;
  case EncodingKind::Utf16Be:
    charset = Utf16Be;
    break;
  case EncodingKind::Other:
    if (!binaryFlag(cache, config)) charset = judged(cache, config);
    break;
  }
  cache.groups.charset = charset;
  return charset;
}

const char* charsetName(AnalysisCache& cache, const Settings& config) {
  const Charset* charset = charsetOf(cache, config);
  return charset != nullptr ? charset->name : nullptr;
}

} // namespace linepeek
