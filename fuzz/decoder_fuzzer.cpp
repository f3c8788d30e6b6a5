// A text decoded in pieces of the input's choosing against the same text decoded at once, for
// the charsets of the "auto" unit whose characters take several bytes or that shift state:
// a piece must never cut a character or lose a state. The first bytes choose the charset and
// the piece lengths; the rest is the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/charsets.h"
#include "fuzz/fuzz_support.h"
#include "platform/platform.h"

namespace {

using linepeek::fuzz::Input;

constexpr const char* Names[] = {"UTF-8",       "Shift_JIS",   "EUC-JP",      "GB18030",
                                 "Big5",        "UHC",         "EUC-TW",      "ISO-2022-JP",
                                 "ISO-2022-KR", "ISO-2022-CN", "ISO-8859-16", "KOI8-R"};

std::u16string decodeWhole(const linepeek::Charset& charset, std::string_view text) {
  linepeek::platform::TextDecoder decoder(charset.codePage, charset.iconvName);
  std::u16string units;
  decoder.decode(text, true, units);
  return units;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const linepeek::Charset* charset = linepeek::charsetNamed(Names[input.pick(std::size(Names))]);
  const std::size_t lengths[] = {1 + input.pick(8), 1 + input.pick(64)};
  const std::string_view text = input.rest();
  linepeek::platform::TextDecoder decoder(charset->codePage, charset->iconvName);
  if (!decoder.isOpen()) return 0;

  std::u16string pieces;
  std::size_t at = 0;
  for (std::size_t turn = 0, length = lengths[0]; at < text.size(); ++turn) {
    const std::string_view piece = text.substr(at, length);
    const std::size_t used = decoder.decode(piece, at + piece.size() == text.size(), pieces);
    if (used > piece.size() || pieces.size() > at + used)
      linepeek::fuzz::fail(data, size, std::string(charset->name) + ": more than it was given");
    at += used;
    // A piece that held no whole character grows; otherwise the lengths take turns.
    length = used == 0 ? length + 1 : lengths[turn % 2];
  }
  if (pieces != decodeWhole(*charset, text))
    linepeek::fuzz::fail(data, size, std::string(charset->name) + ": pieces differ from the whole");
  return 0;
}
