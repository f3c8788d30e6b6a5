#include "analysis/encoding_kind.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "analysis/encoding_kind_testing.h"
#include "base/bounds.h"

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

// The walk from lead to lead, done for every position at once: a byte must be a continuation
// (80..BF) exactly when a lead before it still expects one (C0..DF one byte back, E0..EF up to
// two, F0..F7 up to three), and no byte may be F8..FF. Continuations expected beyond the end are
// the accepted cut sequence. This gives the walk's answer without walking.
bool looksUtf8(std::string_view bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  bool sawLead = false;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Whether each byte has every bit of `bits` set: C0 for "C0 or above", E0, F0, F8 likewise.
  const auto hasBits = [](__m128i block, int bits) {
    const __m128i mask = _mm_set1_epi8(static_cast<char>(bits));
    return _mm_cmpeq_epi8(_mm_and_si128(block, mask), mask);
  };
  const __m128i contTop = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i topTwo = _mm_set1_epi8(static_cast<char>(0xC0));
  __m128i previous = _mm_setzero_si128(); // before the first block: no lead
  __m128i leads = _mm_setzero_si128();
  for (; i + 16 <= size; i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    // The bytes one, two and three places back, reaching into the previous block.
    const __m128i back1 = _mm_or_si128(_mm_slli_si128(block, 1), _mm_srli_si128(previous, 15));
    const __m128i back2 = _mm_or_si128(_mm_slli_si128(block, 2), _mm_srli_si128(previous, 14));
    const __m128i back3 = _mm_or_si128(_mm_slli_si128(block, 3), _mm_srli_si128(previous, 13));
    const __m128i expected = _mm_or_si128(_mm_or_si128(hasBits(back1, 0xC0), hasBits(back2, 0xE0)),
                                          hasBits(back3, 0xF0));
    const __m128i isContinuation = _mm_cmpeq_epi8(_mm_and_si128(block, topTwo), contTop);
    const __m128i bad = _mm_or_si128(_mm_xor_si128(isContinuation, expected), hasBits(block, 0xF8));
    if (_mm_movemask_epi8(bad) != 0) return false;
    leads = _mm_or_si128(leads, hasBits(block, 0xC0));
    previous = block;
  }
  sawLead = _mm_movemask_epi8(leads) != 0;
#endif
  for (; i < size; ++i) {
    const unsigned byte = data[i];
    const bool expected = (i >= 1 && data[i - 1] >= 0xC0) || (i >= 2 && data[i - 2] >= 0xE0) ||
                          (i >= 3 && data[i - 3] >= 0xF0);
    if (byte >= 0xF8 || ((byte & 0xC0) == 0x80) != expected) return false;
    sawLead = sawLead || byte >= 0xC0;
  }
  return sawLead;
}

} // namespace linepeek
