#include "plugin/line_answers.h"

#include <climits>

#include "analysis/line_extraction.h"
#include "platform/platform.h"
#include "settings/replace_pairs.h"

namespace linepeek {
namespace {

constexpr FieldId FirstTailField = 10;
constexpr unsigned char TrimLimit = 33; // control bytes and the space

} // namespace

PickedLine pickLine(AnalysisCache& cache, platform::FileHandle file, FieldId field,
                    const Settings& config) {
  PickedLine picked;
  if (field < FirstTailField) {
    headLines(cache, file, config);
    if (field < cache.headCount) {
      picked.found = true;
      picked.text = cache.headSlots[static_cast<std::size_t>(field)];
    }
  } else {
    tailLines(cache, file, config);
    const std::int32_t fromEnd = LineCountField - field; // 3 for "-3" ... 1 for "-1"
    if (cache.tailCount >= fromEnd) {
      picked.found = true;
      picked.text = cache.tailSlots[static_cast<std::size_t>(cache.tailCount - fromEnd)];
    }
  }
  return picked;
}

namespace {

// A conversion never gives more UTF-16 units than it reads bytes (four UTF-8 bytes give two
// units, a byte that does not decode gives one U+FFFD), so one call into a buffer of `size`
// units converts the whole text. A sizing call first would run the conversion, and the code
// page lookup, twice.
std::u16string decodeBytes(const char* text, std::size_t size, int codePage) {
  std::u16string result;
  if (size == 0 || size > static_cast<std::size_t>(INT_MAX)) return result;
  const int bytes = static_cast<int>(size);
  result.resize(size);
  const int written = platform::multiByteToWide(codePage, text, bytes, result.data(), bytes);
  result.resize(static_cast<std::size_t>(written > 0 ? written : 0));
  return result;
}

} // namespace

std::u16string decodeText(const std::string& text, int codePage) {
  return decodeBytes(text.data(), text.size(), codePage);
}

int finishLine(const PickedLine& picked, bool isUnicode, int unitIndex, void* valueBuffer,
               int maxLen, const Settings& config) {
  if (!picked.found || valueBuffer == nullptr) return FieldEmpty;
  const std::string& line = picked.text;
  std::size_t first = 0;
  std::size_t end = line.size();
  while (first < end && static_cast<unsigned char>(line[first]) < TrimLimit)
    ++first;
  while (end > first && static_cast<unsigned char>(line[end - 1]) < TrimLimit)
    --end;
  if (first == end) return FieldEmpty;

  int codePage = platform::AnsiCodePage;
  if (isUnicode) {
    codePage = platform::Utf8CodePage;
  } else if (unitIndex == 1) {
    codePage = platform::OemCodePage;
  }
  std::u16string text = decodeBytes(line.data() + first, end - first, codePage);
  applyReplacements(text, config.replaces);
  if (text.empty()) return FieldEmpty;
  platform::copyBounded16(static_cast<char16_t*>(valueBuffer), text.c_str(), maxLen);
  return StringW;
}

} // namespace linepeek
