#include "analysis/encoding_kind.h"

#include <algorithm>
#include <cstring>

namespace linepeek {
namespace {

std::uint8_t byteAt(std::string_view bytes, std::size_t index) {
  return static_cast<std::uint8_t>(bytes[index]);
}

bool startsWith(std::string_view bytes, std::string_view mark) {
  return bytes.size() >= mark.size() && bytes.compare(0, mark.size(), mark) == 0;
}

} // namespace

EncodingKind detectEncoding(std::string_view sample, std::int32_t& bomLength,
                            const Settings& config) {
  bomLength = 0;
  if (startsWith(sample, "\xEF\xBB\xBF")) { // UTF-8 mark
    bomLength = 3;
    return EncodingKind::Utf8;
  }
  // FF FE 00 00 stays UTF-16 LE: there is no UTF-32 form.
  if (startsWith(sample, "\xFF\xFE")) {
    bomLength = 2;
    return EncodingKind::Utf16Le;
  }
  if (startsWith(sample, "\xFE\xFF")) {
    bomLength = 2;
    return EncodingKind::Utf16Be;
  }
  bool bigEndian = false;
  if (guessUtf16(sample, bigEndian))
    return bigEndian ? EncodingKind::Utf16Be : EncodingKind::Utf16Le;

  // A view on the prefix, not a copy: the outcome is the same.
  const auto prefixBytes = static_cast<std::size_t>(std::max(config.utf8BufferSizeKB, 0)) * 1024;
  return looksUtf8(sample.substr(0, prefixBytes)) ? EncodingKind::Utf8 : EncodingKind::Other;
}

bool guessUtf16(std::string_view sample, bool& bigEndian) {
  bigEndian = false;
  std::size_t examined = std::min<std::size_t>(sample.size(), Utf16Window);
  examined -= examined % 2;
  const std::size_t units = examined / 2;
  if (units == 0) return false;
  // Text without any zero byte is common and cannot be UTF-16 of Latin text; skip the count.
  if (std::memchr(sample.data(), 0, examined) == nullptr) return false;

  std::size_t evenZeros = 0; // units whose first byte is 0
  std::size_t oddZeros = 0;  // units whose second byte is 0
  for (std::size_t i = 0; i < examined; i += 2) {
    if (byteAt(sample, i) == 0) ++evenZeros;
    if (byteAt(sample, i + 1) == 0) ++oddZeros;
  }
  if (units == 1) {
    // One unit decides alone: 41 00 is LE, 00 41 BE, 00 00 and 41 42 neither.
    if ((evenZeros == 1) == (oddZeros == 1)) return false;
    bigEndian = evenZeros == 1;
    return true;
  }
  // A quarter of the units carry a zero on one side, and the other side has fewer than a
  // quarter as many.
  if (oddZeros >= 2 && 4 * oddZeros >= units && 4 * evenZeros < oddZeros) return true;
  if (evenZeros >= 2 && 4 * evenZeros >= units && 4 * oddZeros < evenZeros) {
    bigEndian = true;
    return true;
  }
  return false;
}

bool looksUtf8(std::string_view bytes) {
  bool sawMultiByte = false;
  const std::size_t size = bytes.size();
  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t lead = byteAt(bytes, i);
    if (lead < 0x80) {
      // Runs of 7-bit bytes are the common case; skip them without the dispatch below.
      ++i;
      continue;
    }
    std::size_t continuations = 0;
    if ((lead & 0xE0) == 0xC0) {
      continuations = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      continuations = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      continuations = 3;
    } else {
      return false; // a stray continuation byte or F8..FF as a lead
    }
    sawMultiByte = true;
    ++i;
    for (std::size_t k = 0; k < continuations; ++k, ++i) {
      // A sequence cut by the end of the examined prefix is accepted.
      if (i >= size) return true;
      if ((byteAt(bytes, i) & 0xC0) != 0x80) return false;
    }
  }
  return sawMultiByte;
}

} // namespace linepeek
