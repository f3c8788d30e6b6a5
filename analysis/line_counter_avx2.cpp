// The AVX2 counting kernel. Built with -mavx2 -mpopcnt, so it must run only on CPUs that have
// both, which the kernel choice checks first.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "analysis/line_counter_vector.h"

namespace linepeek::kernels {
namespace {

struct Avx2 {
  using Vector = __m256i;
  static constexpr std::size_t Bytes = 32;

  static Vector load(const unsigned char* at) {
    return _mm256_loadu_si256(reinterpret_cast<const Vector*>(at));
  }
  static Vector splat8(unsigned value) { return _mm256_set1_epi8(static_cast<char>(value)); }
  static Vector splat16(unsigned value) { return _mm256_set1_epi16(static_cast<short>(value)); }

  template <std::size_t UnitBytes> static Vector equal(Vector a, Vector b) {
    if constexpr (UnitBytes == 1) return _mm256_cmpeq_epi8(a, b);
    return _mm256_cmpeq_epi16(a, b);
  }
  // max(u, LastBlank + 1) == u exactly when u > LastBlank, compared unsigned.
  template <std::size_t UnitBytes> static Vector visible(Vector a) {
    if constexpr (UnitBytes == 1)
      return _mm256_cmpeq_epi8(_mm256_max_epu8(a, splat8(LastBlank + 1)), a);
    return _mm256_cmpeq_epi16(_mm256_max_epu16(a, splat16(LastBlank + 1)), a);
  }
  // The pack works within each 128-bit half; the permute puts the four quarters back in order.
  static Vector pack(Vector a, Vector b) {
    return _mm256_permute4x64_epi64(_mm256_packs_epi16(a, b), 0xD8);
  }
  static std::uint64_t bits(Vector mask) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(mask));
  }
  // The compares give byte lanes already.
  template <std::size_t UnitBytes> static Vector lanes(Vector mask) { return mask; }
  static Vector swapBytes(Vector a) {
    const Vector order = _mm256_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14, 1,
                                          0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
    return _mm256_shuffle_epi8(a, order);
  }

  static Vector zero() { return _mm256_setzero_si256(); }
  static Vector add(Vector a, Vector b) { return _mm256_add_epi8(a, b); }
  static Vector subtract(Vector a, Vector b) { return _mm256_sub_epi8(a, b); }
  static std::uint64_t sumBytes(Vector counts) {
    const Vector sums = _mm256_sad_epu8(counts, zero());
    const __m128i halves =
        _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(halves)) +
           static_cast<std::uint64_t>(_mm_extract_epi64(halves, 1));
  }

  static std::uint64_t popCount(std::uint64_t bits) {
    return static_cast<std::uint64_t>(_mm_popcnt_u64(bits));
  }
};

} // namespace

BlockCount avx2Blocks(const unsigned char* data, std::size_t units, bool words, bool bigEndian,
                      bool skipEmpty, bool& nonBlank) {
  return VectorKernel<Avx2>::scan(data, units, words, bigEndian, skipEmpty, nonBlank);
}

} // namespace linepeek::kernels
