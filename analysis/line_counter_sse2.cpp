// The SSE2 counting kernel. SSE2 is part of every x86-64 CPU, so this file needs no extra
// compiler flags.
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "analysis/line_counter_vector.h"

namespace linepeek::kernels {
namespace {

struct Sse2 {
  using Vector = __m128i;
  static constexpr std::size_t Bytes = 16;

  static Vector load(const unsigned char* at) {
    return _mm_loadu_si128(reinterpret_cast<const Vector*>(at));
  }
  static Vector splat8(unsigned value) { return _mm_set1_epi8(static_cast<char>(value)); }
  static Vector splat16(unsigned value) { return _mm_set1_epi16(static_cast<short>(value)); }

  template <std::size_t UnitBytes> static Vector equal(Vector a, Vector b) {
    if constexpr (UnitBytes == 1) return _mm_cmpeq_epi8(a, b);
    return _mm_cmpeq_epi16(a, b);
  }
  // Bytes: max(b, LastBlank + 1) == b exactly when b > LastBlank. 16-bit lanes, which SSE2 can only
  // compare signed: with the top bit flipped, unsigned order becomes signed order.
  template <std::size_t UnitBytes> static Vector visible(Vector a) {
    if constexpr (UnitBytes == 1) return _mm_cmpeq_epi8(_mm_max_epu8(a, splat8(LastBlank + 1)), a);
    return _mm_cmpgt_epi16(_mm_xor_si128(a, splat16(0x8000)), splat16(0x8000 + LastBlank));
  }
  // Masks of 0 or -1 saturate to bytes of 0 or -1.
  static Vector pack(Vector a, Vector b) { return _mm_packs_epi16(a, b); }
  static std::uint64_t bits(Vector mask) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(mask));
  }
  // The compares give byte lanes already.
  template <std::size_t UnitBytes> static Vector lanes(Vector mask) { return mask; }
  static Vector swapBytes(Vector a) {
    return _mm_or_si128(_mm_slli_epi16(a, 8), _mm_srli_epi16(a, 8));
  }

  static Vector zero() { return _mm_setzero_si128(); }
  static Vector add(Vector a, Vector b) { return _mm_add_epi8(a, b); }
  static Vector subtract(Vector a, Vector b) { return _mm_sub_epi8(a, b); }
  static std::uint64_t sumBytes(Vector counts) {
    const Vector sums = _mm_sad_epu8(counts, zero());
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
           static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
  }

  // Without the popcnt instruction, which the SSE2 baseline lacks.
  static std::uint64_t popCount(std::uint64_t bits) {
    bits -= (bits >> 1) & 0x5555555555555555U;
    bits = (bits & 0x3333333333333333U) + ((bits >> 2) & 0x3333333333333333U);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0FU;
    return (bits * 0x0101010101010101U) >> 56;
  }
};

} // namespace

BlockCount sse2Blocks(const unsigned char* data, std::size_t units, bool words, bool bigEndian,
                      bool skipEmpty, bool& nonBlank) {
  return VectorKernel<Sse2>::scan(data, units, words, bigEndian, skipEmpty, nonBlank);
}

} // namespace linepeek::kernels
