// The steps of detectEncoding, for the tests and fuzzers that check each against a reference.
#pragma once

#include <string_view>

#include "analysis/encoding_kind.h"

namespace linepeek {

// UTF-16 without a byte order mark, judged on the first Utf16Window bytes (an odd last byte not
// counted): a quarter of the units carry a zero in one byte position and fewer than a quarter
// as many in the other. `bigEndian` is false unless it answers big-endian UTF-16.
bool guessUtf16(std::string_view sample, bool& bigEndian);

// Lead and continuation bit patterns only; 7-bit text is not UTF-8; a sequence cut by the end
// is accepted.
bool looksUtf8(std::string_view bytes);

} // namespace linepeek
