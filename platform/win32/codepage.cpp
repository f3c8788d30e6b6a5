// Code page conversion through the system converter. The numbers 0 (CP_ACP), 1 (CP_OEMCP) and
// 65001 (CP_UTF8) are the API's own, so every code page passes through unchanged.
#include "platform/platform.h"

#include <windows.h>

#include <array>
#include <climits>
#include <cstdint>

#include "base/characters.h"
#include "base/unicode.h"
#include "platform/win32/wide.h"

namespace linepeek::platform {

static_assert(AnsiCodePage == CP_ACP && OemCodePage == CP_OEMCP && Utf8CodePage == CP_UTF8);

namespace {

// GB 18030, which Wine lacks. GBK, code page 936, is its two-byte part.
constexpr UINT Gb18030Page = 54936;
constexpr UINT GbkPage = 936;

// How a piece may end: MultiByteToWideChar keeps no state between calls, so each piece must
// end between two characters.
enum class Cut : std::uint8_t {
  Anywhere,  // one byte a character
  Utf8,      // before a sequence that the piece does not hold whole
  LeadBytes, // after a whole character of a double-byte code page, walked from the start
  Gb18030,   // the same with GB 18030's four-byte characters
};

} // namespace

struct TextDecoder::State {
  UINT codePage = 0;
  Cut cut = Cut::Anywhere;
  std::array<bool, 256> lead{};
};

int ansiCodePage() {
  return static_cast<int>(GetACP());
}
int oemCodePage() {
  return static_cast<int>(GetOEMCP());
}

TextDecoder::TextDecoder(int codePage, const char* /*iconvName*/) {
  if (codePage < 0) return;
  auto state = std::make_unique<State>();
  state->codePage = static_cast<UINT>(codePage);
  if (state->codePage == Gb18030Page && IsValidCodePage(Gb18030Page) == FALSE)
    state->codePage = GbkPage;
  CPINFO info{};
  if (GetCPInfo(state->codePage, &info) == FALSE) return;
  const UINT number = codePage == CP_ACP     ? GetACP()
                      : codePage == CP_OEMCP ? GetOEMCP()
                                             : state->codePage;
  if (number == CP_UTF8) {
    state->cut = Cut::Utf8;
  } else if (number == Gb18030Page) {
    state->cut = Cut::Gb18030;
    for (unsigned b = 0x81; b <= 0xFE; ++b)
      state->lead[b] = true;
  } else if (info.MaxCharSize == 2) {
    state->cut = Cut::LeadBytes;
    // LeadByte holds ranges as pairs of their first and last byte, ended by a pair of zeros.
    for (std::size_t i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
      for (unsigned b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b)
        state->lead[b] = true;
    }
  } else if (info.MaxCharSize != 1) {
    // The ISO 2022 forms and HZ keep a state that a piece cannot hand to the next one.
    return;
  }
  state_ = std::move(state);
}

TextDecoder::~TextDecoder() = default;

namespace {

// The end of the whole characters of `input`, which starts with a character, by the lengths
// their first bytes give.
std::size_t wholeCharacters(std::string_view input, const std::array<bool, 256>& lead,
                            bool fourByteForms) {
  std::size_t at = 0;
  while (at < input.size()) {
    std::size_t length = 1;
    if (lead[byteAt(input, at)]) {
      length = 2;
      // GB 18030: a digit after the first byte makes a four-byte character.
      if (fourByteForms && at + 1 < input.size() && byteAt(input, at + 1) >= 0x30 &&
          byteAt(input, at + 1) <= 0x39)
        length = 4;
    }
    if (input.size() - at < length) break;
    at += length;
  }
  return at;
}

} // namespace

std::size_t TextDecoder::decode(std::string_view input, bool last, std::u16string& output) {
  if (!state_ || input.empty() || input.size() > static_cast<std::size_t>(INT_MAX)) return 0;
  std::size_t bytes = input.size();
  if (!last) {
    switch (state_->cut) {
    case Cut::Anywhere:
      break;
    case Cut::Utf8:
      bytes = wholeUtf8Prefix(input);
      break;
    case Cut::LeadBytes:
    case Cut::Gb18030:
      bytes = wholeCharacters(input, state_->lead, state_->cut == Cut::Gb18030);
      break;
    }
  }
  if (bytes == 0) return 0;
  // A conversion never gives more units than it reads bytes.
  const std::size_t at = output.size();
  output.resize(at + bytes);
  const int count = static_cast<int>(bytes);
  const int written = MultiByteToWideChar(state_->codePage, 0, input.data(), count,
                                          win32::asWide(output.data() + at), count);
  output.resize(at + static_cast<std::size_t>(written > 0 ? written : 0));
  return bytes;
}

} // namespace linepeek::platform
