#include "plugin/line_answers.h"

#include <algorithm>
#include <optional>

#include "analysis/charset.h"
#include "analysis/line_extraction.h"
#include "base/blanks.h"
#include "base/characters.h"
#include "base/unicode.h"
#include "platform/platform.h"
#include "plugin/replace_stream.h"

namespace linepeek {
namespace {

// Lines up to this many bytes convert in one call; longer ones in pieces of about this size, so
// that a long line is never held whole as UTF-16.
constexpr std::size_t PieceBytes = 16384;

// Decodes `text` into `stream`, piece by piece, until the stream wants no more.
void decodeInto(std::string_view text, platform::TextDecoder& decoder, ReplaceStream& stream) {
  std::u16string units;
  for (std::size_t start = 0; start < text.size();) {
    std::string_view piece = text.substr(start, PieceBytes);
    units.clear();
    std::size_t used = decoder.decode(piece, start + piece.size() == text.size(), units);
    // No character is as long as a piece; should one be, the rest goes at once.
    if (used == 0) used = decoder.decode(text.substr(start), true, units);
    if (used == 0 || !stream.feed(units)) break;
    start += used;
  }
}

// In a charset that shifts state, ESC starts a shift, which the characters after it need: it is
// no blank there.
bool isEdgeBlank(char byte, bool keepEscape) {
  return isBlank(byte) && !(keepEscape && static_cast<unsigned char>(byte) == Esc);
}

} // namespace

PickedLine pickLine(AnalysisCache& cache, platform::FileHandle file, const Field& field,
                    int unitIndex, const Settings& config) {
  PickedLine picked;
  if (isUnicode(cache.kind)) {
    picked.codePage = platform::Utf8CodePage;
  } else if (unitIndex == DosUnit) {
    picked.codePage = platform::OemCodePage;
  } else if (unitIndex == AutoUnit && config.charset) {
    picked.charset = charsetOf(cache, config);
  }
  if (field.role == FieldRole::HeadLine) {
    const HeadLines& head = headLines(cache, file, config);
    if (field.line <= head.count) {
      picked.found = true;
      picked.text = head.slots[static_cast<std::size_t>(field.line - 1)];
    }
  } else {
    const TailLines& tail = tailLines(cache, file, config);
    if (field.line <= tail.count) {
      picked.found = true;
      picked.text = tail.slots[static_cast<std::size_t>(tail.count - field.line)];
    }
  }
  return picked;
}

int finishLine(const PickedLine& picked, void* valueBuffer, int maxLen, const Settings& config) {
  if (!picked.found || valueBuffer == nullptr) return FieldEmpty;
  std::optional<platform::TextDecoder> decoder;
  if (picked.charset != nullptr)
    decoder.emplace(picked.charset->codePage, picked.charset->iconvName);
  const bool keepEscape = decoder && decoder->isOpen() && picked.charset->shiftsState;
  if (!decoder || !decoder->isOpen()) decoder.emplace(picked.codePage);

  const std::string_view line =
      trimmedBy(picked.text, [keepEscape](char byte) { return isEdgeBlank(byte, keepEscape); });
  if (line.empty()) return FieldEmpty;

  // The host's buffer holds maxLen bytes: room for maxLen / 2 units, the zero included. One
  // unit beyond the kept ones tells a pair cut by the end of the buffer, and an answer cut to
  // nothing from an empty one.
  const int units = maxLen / 2;
  if (units < 1) return FieldEmpty;
  ReplaceStream answer(static_cast<std::size_t>(units));
  for (const ReplacePair& pair : config.replaces)
    answer.addPair(pair.from, pair.to);
  decodeInto(line, *decoder, answer);
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
