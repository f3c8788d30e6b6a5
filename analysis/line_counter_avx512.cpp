// The AVX-512 counting kernel. Built with -mavx512f -mavx512bw -mpopcnt, so it must run only on
// CPUs that have all three, which the kernel choice checks first. Its compares write mask
// registers, a bit per lane, so the LF and above-blank bits of a block need no movemask, shift or
// pack.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "analysis/line_counter_vector.h"

namespace linepeek::kernels {
namespace {

struct Avx512 {
  using Vector = __m512i;
  static constexpr std::size_t Bytes = 64;

  static Vector load(const unsigned char* at) { return _mm512_loadu_si512(at); }
  static Vector splat8(unsigned value) { return _mm512_set1_epi8(static_cast<char>(value)); }
  static Vector splat16(unsigned value) { return _mm512_set1_epi16(static_cast<short>(value)); }

  // A bit per lane: 64 of bytes, 32 of 16-bit lanes.
  template <std::size_t UnitBytes> static std::uint64_t equal(Vector a, Vector b) {
    if constexpr (UnitBytes == 1) return _mm512_cmpeq_epi8_mask(a, b);
    return _mm512_cmpeq_epi16_mask(a, b);
  }
  template <std::size_t UnitBytes> static std::uint64_t visible(Vector a) {
    if constexpr (UnitBytes == 1) return _mm512_cmpgt_epu8_mask(a, splat8(LastBlank));
    return _mm512_cmpgt_epu16_mask(a, splat16(LastBlank));
  }
  // In the mask registers, so that no flag-writing shift comes between the adds with carry.
  static std::uint64_t pack(std::uint64_t first, std::uint64_t second) {
    return _mm512_kunpackd(second, first);
  }
  static std::uint64_t bits(std::uint64_t mask) { return mask; }
  // A 16-bit lane sets both of its bytes, as the other kernels' compares do.
  template <std::size_t UnitBytes> static Vector lanes(std::uint64_t mask) {
    if constexpr (UnitBytes == 1) return _mm512_movm_epi8(mask);
    return _mm512_movm_epi16(static_cast<__mmask32>(mask));
  }
  static Vector swapBytes(Vector a) {
    const Vector order = _mm512_set4_epi32(0x0E0F0C0D, 0x0A0B0809, 0x06070405, 0x02030001);
    return _mm512_shuffle_epi8(a, order);
  }

  static Vector zero() { return _mm512_setzero_si512(); }
  static Vector add(Vector a, Vector b) { return _mm512_add_epi8(a, b); }
  static Vector subtract(Vector a, Vector b) { return _mm512_sub_epi8(a, b); }
  // Through memory, once per run of steps: the library's reductions and 256-bit extracts start
  // from undefined registers, which GCC 12 reports as uninitialized.
  static std::uint64_t sumBytes(Vector counts) {
    std::uint64_t sums[Bytes / 8];
    _mm512_storeu_si512(sums, _mm512_sad_epu8(counts, zero()));
    std::uint64_t total = 0;
    for (const std::uint64_t sum : sums)
      total += sum;
    return total;
  }

  static std::uint64_t popCount(std::uint64_t bits) {
    return static_cast<std::uint64_t>(_mm_popcnt_u64(bits));
  }
};

} // namespace

BlockCount avx512Blocks(const unsigned char* data, std::size_t units, bool words, bool bigEndian,
                        bool skipEmpty, bool& nonBlank) {
  return VectorKernel<Avx512>::scan(data, units, words, bigEndian, skipEmpty, nonBlank);
}

} // namespace linepeek::kernels
