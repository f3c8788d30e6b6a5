#include "plugin/line_answers.h"

#include <algorithm>
#include <array>
#include <climits>

#include "analysis/line_extraction.h"
#include "base/characters.h"
#include "base/unicode.h"
#include "platform/platform.h"
#include "settings/replace_pairs.h"

namespace linepeek {
namespace {

// Lines up to this many bytes convert in one call; longer ones in pieces of about this size, so
// that a long line is never held whole as UTF-16.
constexpr std::size_t PieceBytes = 16384;

unsigned byteAt(std::string_view text, std::size_t at) {
  return static_cast<unsigned char>(text[at]);
}

// Whether text[start, end) ends with a well-formed UTF-8 character of two to four bytes. A
// converter has decoded that character whole, whatever came before it, and starts afresh after
// it.
bool endsUtf8Character(std::string_view text, std::size_t start, std::size_t end) {
  std::size_t lead = end - 1;
  while (lead > start && end - lead < 4 && (byteAt(text, lead) & 0xC0) == 0x80)
    --lead;
  const Utf8Character character = decodeUtf8Character(text.substr(0, end), lead);
  return character.valid && character.length >= 2 && lead + character.length == end;
}

// The end of the piece that starts at `start`: the last place among the next PieceBytes where
// the conversion starts afresh (just after a boundary byte, or in UTF-8 after a whole
// character), or else the first such place beyond them, or the end of the text.
std::size_t pieceEnd(std::string_view text, std::size_t start,
                     const std::array<bool, 256>& boundary, bool utf8) {
  const auto startsAfresh = [&](std::size_t at) {
    return boundary[byteAt(text, at - 1)] || (utf8 && endsUtf8Character(text, start, at));
  };
  const std::size_t limit = start + PieceBytes;
  for (std::size_t at = limit; at > start; --at) {
    if (startsAfresh(at)) return at;
  }
  for (std::size_t at = limit + 1; at < text.size(); ++at) {
    if (startsAfresh(at)) return at;
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
      end = pieceEnd(text, start, boundary, codePage == platform::Utf8CodePage);
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

PickedLine pickLine(AnalysisCache& cache, platform::FileHandle file, const Field& field,
                    const Settings& config) {
  PickedLine picked;
  picked.isUnicode = cache.isUnicode;
  if (field.role == FieldRole::HeadLine) {
    headLines(cache, file, config);
    if (field.line <= cache.headCount) {
      picked.found = true;
      picked.text = cache.headSlots[static_cast<std::size_t>(field.line - 1)];
    }
  } else {
    tailLines(cache, file, config);
    if (field.line <= cache.tailCount) {
      picked.found = true;
      picked.text = cache.tailSlots[static_cast<std::size_t>(cache.tailCount - field.line)];
    }
  }
  return picked;
}

int finishLine(const PickedLine& picked, int unitIndex, void* valueBuffer, int maxLen,
               const Settings& config) {
  if (!picked.found || valueBuffer == nullptr) return FieldEmpty;
  std::string_view line = picked.text;
  while (!line.empty() && static_cast<unsigned char>(line.front()) <= LastBlank)
    line.remove_prefix(1);
  while (!line.empty() && static_cast<unsigned char>(line.back()) <= LastBlank)
    line.remove_suffix(1);
  if (line.empty()) return FieldEmpty;

  int codePage = platform::AnsiCodePage;
  if (picked.isUnicode) {
    codePage = platform::Utf8CodePage;
  } else if (unitIndex == DosUnit) {
    codePage = platform::OemCodePage;
  }
  // The host's buffer holds maxLen bytes: room for maxLen / 2 units, the zero included. One
  // unit beyond the kept ones tells a pair cut by the end of the buffer, and an answer cut to
  // nothing from an empty one.
  const int units = maxLen / 2;
  if (units < 1) return FieldEmpty;
  ReplaceStream answer(static_cast<std::size_t>(units));
  for (const ReplacePair& pair : config.replaces)
    answer.addPair(pair.from, pair.to);
  if (!decodeInto(line, codePage, answer)) return FieldEmpty;
  answer.finish();
  const std::u16string& text = answer.kept();
  if (text.empty()) return FieldEmpty;
  std::size_t keep = std::min(text.size(), static_cast<std::size_t>(units) - 1);
  // Never half a pair: a high surrogate whose low half does not fit goes too.
  if (keep > 0 && keep < text.size() && isHighSurrogate(text[keep - 1]) &&
      isLowSurrogate(text[keep])) {
    --keep;
  }
  platform::copyBounded16(static_cast<char16_t*>(valueBuffer), text.c_str(),
                          static_cast<int>(keep) + 1);
  return StringW;
}

} // namespace linepeek
