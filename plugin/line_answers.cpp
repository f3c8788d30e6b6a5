#include "plugin/line_answers.h"

#include <array>
#include <climits>

#include "analysis/line_extraction.h"
#include "platform/platform.h"
#include "settings/replace_pairs.h"

namespace linepeek {
namespace {

constexpr FieldId FirstTailField = 10;
constexpr unsigned char TrimLimit = 33; // control bytes and the space

// Lines up to this many bytes convert in one call; longer ones in pieces of about this size, so
// that a long line is never held whole as UTF-16.
constexpr std::size_t PieceBytes = 16384;

// The end of the piece that starts at `start`: just after the last boundary byte among the next
// PieceBytes, or else just after the first one beyond them, or the end of the text.
std::size_t pieceEnd(std::string_view text, std::size_t start,
                     const std::array<bool, 256>& boundary) {
  const std::size_t limit = start + PieceBytes;
  for (std::size_t at = limit; at > start; --at) {
    if (boundary[static_cast<unsigned char>(text[at - 1])]) return at;
  }
  for (std::size_t at = limit; at < text.size(); ++at) {
    if (boundary[static_cast<unsigned char>(text[at])]) return at + 1;
  }
  return text.size();
}

// Decodes `text` into `stream`, piece by piece, until the stream wants no more. False when the
// conversion fails.
bool decodeInto(std::string_view text, int codePage, ReplaceStream& stream) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return false;
  std::array<bool, 256> boundary{};
  bool boundaryKnown = false;
  std::u16string units;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.size();
    if (end - start > PieceBytes) {
      if (!boundaryKnown) platform::boundaryBytes(codePage, boundary);
      boundaryKnown = true;
      end = pieceEnd(text, start, boundary);
    }
    const char* bytes = text.data() + start;
    const int count = static_cast<int>(end - start);
    // A conversion never gives more UTF-16 units than it reads bytes (four UTF-8 bytes give two
    // units, a byte that does not decode gives one U+FFFD), so a buffer of `count` units takes
    // the piece in one call; a sizing call would run the conversion, and the code page lookup,
    // twice. Only a piece with no place to cut in it, which may be long, is sized first.
    int room = count;
    if (end - start > PieceBytes)
      room = platform::multiByteToWide(codePage, bytes, count, nullptr, 0);
    if (room <= 0) return false;
    if (units.size() < static_cast<std::size_t>(room)) units.resize(static_cast<std::size_t>(room));
    const int written = platform::multiByteToWide(codePage, bytes, count, units.data(), room);
    if (written <= 0) return false;
    if (!stream.feed(std::u16string_view(units.data(), static_cast<std::size_t>(written)))) break;
    start = end;
  }
  return true;
}

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

std::u16string decodeText(std::string_view text, int codePage) {
  ReplaceStream whole(std::u16string::npos);
  if (!decodeInto(text, codePage, whole)) return {};
  whole.finish();
  return whole.kept();
}

int finishLine(const PickedLine& picked, bool isUnicode, int unitIndex, void* valueBuffer,
               int maxLen, const Settings& config) {
  if (!picked.found || valueBuffer == nullptr) return FieldEmpty;
  std::string_view line = picked.text;
  while (!line.empty() && static_cast<unsigned char>(line.front()) < TrimLimit)
    line.remove_prefix(1);
  while (!line.empty() && static_cast<unsigned char>(line.back()) < TrimLimit)
    line.remove_suffix(1);
  if (line.empty()) return FieldEmpty;

  int codePage = platform::AnsiCodePage;
  if (isUnicode) {
    codePage = platform::Utf8CodePage;
  } else if (unitIndex == 1) {
    codePage = platform::OemCodePage;
  }
  // The host sees at most maxLen - 1 units; one unit is kept even then, to tell an empty answer
  // from one cut to nothing.
  ReplaceStream answer(maxLen > 1 ? static_cast<std::size_t>(maxLen) - 1 : 1);
  for (const ReplacePair& pair : config.replaces)
    answer.addPair(pair.from, pair.to);
  if (!decodeInto(line, codePage, answer)) return FieldEmpty;
  answer.finish();
  if (answer.kept().empty()) return FieldEmpty;
  platform::copyBounded16(static_cast<char16_t*>(valueBuffer), answer.kept().c_str(), maxLen);
  return StringW;
}

} // namespace linepeek
