// The counting kernels behind scanUnits, one per instruction set, and the choice among them.
//
// Every kernel answers, for a run of units: without skipEmpty, the number of LF units; with
// skipEmpty, the number of LF units that end a non-blank line, carrying "a unit above 32 since
// the last LF" in and out. The wide kernels turn each block of 64 units into two bit masks, LF
// and above-32, and find the LFs that end a non-blank line with one addition (goodLfs).
#include "analysis/line_counter.h"

#include <atomic>

#if defined(__x86_64__) || defined(_M_X64)
#define LINEPEEK_X86 1
#include <immintrin.h>
#endif

namespace linepeek {
namespace {

constexpr unsigned LineFeed = 0x0A;
constexpr unsigned LastBlank = 32; // units up to space are blanks and controls

using KernelFunction = std::uint64_t (*)(const unsigned char* data, std::size_t units,
                                         UnitShape shape, bool skipEmpty, bool& nonBlank);

inline unsigned unitAt(const unsigned char* data, std::size_t index, UnitShape shape) {
  switch (shape) {
  case UnitShape::Bytes:
    return data[index];
  case UnitShape::Utf16Le:
    return data[2 * index] | (unsigned{data[2 * index + 1]} << 8);
  case UnitShape::Utf16Be:
    break;
  }
  return (unsigned{data[2 * index]} << 8) | data[2 * index + 1];
}

// The plain loop; also finishes the units after the last whole block of the wide kernels.
// Never inlined: clang 14 auto-vectorises it inside the AVX-512 kernels into code its own
// instruction selection then rejects. The tail is under 128 units, so the call costs nothing.
__attribute__((noinline)) std::uint64_t countScalar(const unsigned char* data, std::size_t units,
                                                    UnitShape shape, bool skipEmpty,
                                                    bool& nonBlank) {
  std::uint64_t lines = 0;
  if (!skipEmpty) {
    for (std::size_t i = 0; i < units; ++i)
      lines += unitAt(data, i, shape) == LineFeed;
    return lines;
  }
  bool open = nonBlank;
  for (std::size_t i = 0; i < units; ++i) {
    const unsigned unit = unitAt(data, i, shape);
    if (unit == LineFeed) {
      lines += open;
      open = false;
    } else if (unit > LastBlank) {
      open = true;
    }
  }
  nonBlank = open;
  return lines;
}

std::uint64_t scalarKernel(const unsigned char* data, std::size_t units, UnitShape shape,
                           bool skipEmpty, bool& nonBlank) {
  return countScalar(data, units, shape, skipEmpty, nonBlank);
}

#ifdef LINEPEEK_X86

// For 64 units with LF bits `lf` and above-32 bits `nonBlank` (bit i = unit i), the LFs whose
// line holds a unit above 32. Between two LFs the complement of `lf` is a run of ones; adding an
// above-32 bit (or the carry from the previous block at bit 0) ripples to the end of its run and
// sets the LF there. Further bits in the same run land on cleared bits, so each LF is set at most
// once. A carry out of bit 63 means the line after the last LF is already non-blank.
inline std::uint64_t goodLfs(std::uint64_t lf, std::uint64_t nonBlank, bool& carry) {
  const std::uint64_t gaps = ~lf;
  const std::uint64_t partial = gaps + nonBlank;
  const std::uint64_t sum = partial + (carry ? 1U : 0U);
  carry = partial < gaps || sum < partial;
  return sum & lf;
}

// Without the popcnt instruction (the SSE2 baseline).
inline std::uint64_t bitCount(std::uint64_t bits) {
  bits -= (bits >> 1) & 0x5555555555555555U;
  bits = (bits & 0x3333333333333333U) + ((bits >> 2) & 0x3333333333333333U);
  bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0FU;
  return (bits * 0x0101010101010101U) >> 56;
}

inline std::uint64_t maskBits(int movemask) {
  return static_cast<std::uint32_t>(movemask);
}

// ---- SSE2 -------------------------------------------------------------------------------------

inline __m128i load16(const unsigned char* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

inline std::uint64_t sumBytes(__m128i counts) {
  const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
  return static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
         static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
}

inline std::uint64_t sumWords(__m128i counts) {
  const __m128i pairs = _mm_madd_epi16(counts, _mm_set1_epi16(1));
  const __m128i sums = _mm_add_epi32(pairs, _mm_shuffle_epi32(pairs, 0x4E));
  const __m128i sum = _mm_add_epi32(sums, _mm_shuffle_epi32(sums, 0xB1));
  return static_cast<std::uint32_t>(_mm_cvtsi128_si32(sum));
}

inline __m128i swapBytes(__m128i units) {
  return _mm_or_si128(_mm_slli_epi16(units, 8), _mm_srli_epi16(units, 8));
}

// Four byte compares are summed before they are subtracted, so a byte counter gains at most 4
// per 64-byte step: 63 steps stay below 256.
std::uint64_t sse2CountBytes(const unsigned char* data, std::size_t units) {
  const __m128i lf = _mm_set1_epi8(static_cast<char>(LineFeed));
  std::uint64_t lines = 0;
  std::size_t i = 0;
  while (units - i >= 64) {
    const std::size_t steps = std::min<std::size_t>((units - i) / 64, 63);
    __m128i counts = _mm_setzero_si128();
    for (std::size_t step = 0; step < steps; ++step, i += 64) {
      const __m128i a = _mm_add_epi8(_mm_cmpeq_epi8(load16(data + i), lf),
                                     _mm_cmpeq_epi8(load16(data + i + 16), lf));
      const __m128i b = _mm_add_epi8(_mm_cmpeq_epi8(load16(data + i + 32), lf),
                                     _mm_cmpeq_epi8(load16(data + i + 48), lf));
      counts = _mm_sub_epi8(counts, _mm_add_epi8(a, b));
    }
    lines += sumBytes(counts);
  }
  bool unused = false;
  return lines + countScalar(data + i, units - i, UnitShape::Bytes, false, unused);
}

// Word counters gain at most 4 per 32-unit step; 4,096 steps stay far below 65,536.
std::uint64_t sse2CountWords(const unsigned char* data, std::size_t units, UnitShape shape) {
  const __m128i lf =
      _mm_set1_epi16(static_cast<short>(shape == UnitShape::Utf16Le ? 0x000A : 0x0A00));
  std::uint64_t lines = 0;
  std::size_t i = 0;
  while (units - i >= 32) {
    const std::size_t steps = std::min<std::size_t>((units - i) / 32, 4096);
    __m128i counts = _mm_setzero_si128();
    for (std::size_t step = 0; step < steps; ++step, i += 32) {
      const unsigned char* at = data + 2 * i;
      const __m128i a =
          _mm_add_epi16(_mm_cmpeq_epi16(load16(at), lf), _mm_cmpeq_epi16(load16(at + 16), lf));
      const __m128i b =
          _mm_add_epi16(_mm_cmpeq_epi16(load16(at + 32), lf), _mm_cmpeq_epi16(load16(at + 48), lf));
      counts = _mm_sub_epi16(counts, _mm_add_epi16(a, b));
    }
    lines += sumWords(counts);
  }
  bool unused = false;
  return lines + countScalar(data + 2 * i, units - i, shape, false, unused);
}

std::uint64_t sse2SkipBytes(const unsigned char* data, std::size_t units, bool& nonBlank) {
  const __m128i lf = _mm_set1_epi8(static_cast<char>(LineFeed));
  const __m128i firstVisible = _mm_set1_epi8(static_cast<char>(LastBlank + 1));
  std::uint64_t lines = 0;
  bool carry = nonBlank;
  std::size_t i = 0;
  for (; units - i >= 64; i += 64) {
    std::uint64_t lfBits = 0;
    std::uint64_t visibleBits = 0;
    for (int part = 0; part < 4; ++part) {
      const __m128i bytes = load16(data + i + 16 * static_cast<std::size_t>(part));
      const int shift = 16 * part;
      lfBits |= maskBits(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf))) << shift;
      // max(b, 33) == b exactly when b >= 33, compared unsigned.
      const __m128i visible = _mm_cmpeq_epi8(_mm_max_epu8(bytes, firstVisible), bytes);
      visibleBits |= maskBits(_mm_movemask_epi8(visible)) << shift;
    }
    lines += bitCount(goodLfs(lfBits, visibleBits, carry));
  }
  nonBlank = carry;
  return lines + countScalar(data + i, units - i, UnitShape::Bytes, true, nonBlank);
}

std::uint64_t sse2SkipWords(const unsigned char* data, std::size_t units, UnitShape shape,
                            bool& nonBlank) {
  const bool bigEndian = shape == UnitShape::Utf16Be;
  const __m128i lf = _mm_set1_epi16(static_cast<short>(LineFeed));
  const __m128i blank = _mm_set1_epi16(static_cast<short>(LastBlank));
  const __m128i zero = _mm_setzero_si128();
  std::uint64_t lines = 0;
  bool carry = nonBlank;
  std::size_t i = 0;
  for (; units - i >= 64; i += 64) {
    std::uint64_t lfBits = 0;
    std::uint64_t blankBits = 0;
    for (int part = 0; part < 4; ++part) {
      const unsigned char* at = data + 2 * i + 32 * static_cast<std::size_t>(part);
      __m128i a = load16(at);
      __m128i b = load16(at + 16);
      if (bigEndian) {
        a = swapBytes(a);
        b = swapBytes(b);
      }
      const int shift = 16 * part;
      // Word masks of 0 or -1 pack to byte masks without changing their order.
      const __m128i lfs = _mm_packs_epi16(_mm_cmpeq_epi16(a, lf), _mm_cmpeq_epi16(b, lf));
      lfBits |= maskBits(_mm_movemask_epi8(lfs)) << shift;
      // A unit up to 32 saturates to 0 when 32 is taken away.
      const __m128i blanks = _mm_packs_epi16(_mm_cmpeq_epi16(_mm_subs_epu16(a, blank), zero),
                                             _mm_cmpeq_epi16(_mm_subs_epu16(b, blank), zero));
      blankBits |= maskBits(_mm_movemask_epi8(blanks)) << shift;
    }
    lines += bitCount(goodLfs(lfBits, ~blankBits, carry));
  }
  nonBlank = carry;
  return lines + countScalar(data + 2 * i, units - i, shape, true, nonBlank);
}

std::uint64_t sse2Kernel(const unsigned char* data, std::size_t units, UnitShape shape,
                         bool skipEmpty, bool& nonBlank) {
  if (shape == UnitShape::Bytes) {
    return skipEmpty ? sse2SkipBytes(data, units, nonBlank) : sse2CountBytes(data, units);
  }
  return skipEmpty ? sse2SkipWords(data, units, shape, nonBlank)
                   : sse2CountWords(data, units, shape);
}

// ---- AVX2 -------------------------------------------------------------------------------------

#define LINEPEEK_AVX2 __attribute__((target("avx2,popcnt")))

LINEPEEK_AVX2 inline __m256i load32(const unsigned char* at) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}

LINEPEEK_AVX2 inline std::uint64_t avx2Bits(__m256i mask) {
  return maskBits(_mm256_movemask_epi8(mask));
}

// 16 word masks from each of two vectors, packed to 32 byte masks in unit order: the pack works
// per 128-bit half, and the permute puts the quarters back in order.
LINEPEEK_AVX2 inline std::uint64_t avx2WordBits(__m256i first, __m256i second) {
  return avx2Bits(_mm256_permute4x64_epi64(_mm256_packs_epi16(first, second), 0xD8));
}

LINEPEEK_AVX2 inline __m256i avx2SwapBytes(__m256i units) {
  const __m256i order = _mm256_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14, 1, 0,
                                         3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
  return _mm256_shuffle_epi8(units, order);
}

LINEPEEK_AVX2 std::uint64_t avx2CountBytes(const unsigned char* data, std::size_t units) {
  const __m256i lf = _mm256_set1_epi8(static_cast<char>(LineFeed));
  std::uint64_t lines = 0;
  std::size_t i = 0;
  while (units - i >= 128) {
    const std::size_t steps = std::min<std::size_t>((units - i) / 128, 63);
    __m256i counts = _mm256_setzero_si256();
    for (std::size_t step = 0; step < steps; ++step, i += 128) {
      const __m256i a = _mm256_add_epi8(_mm256_cmpeq_epi8(load32(data + i), lf),
                                        _mm256_cmpeq_epi8(load32(data + i + 32), lf));
      const __m256i b = _mm256_add_epi8(_mm256_cmpeq_epi8(load32(data + i + 64), lf),
                                        _mm256_cmpeq_epi8(load32(data + i + 96), lf));
      counts = _mm256_sub_epi8(counts, _mm256_add_epi8(a, b));
    }
    const __m256i sums = _mm256_sad_epu8(counts, _mm256_setzero_si256());
    lines += static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 0)) +
             static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 1)) +
             static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 2)) +
             static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 3));
  }
  bool unused = false;
  return lines + countScalar(data + i, units - i, UnitShape::Bytes, false, unused);
}

LINEPEEK_AVX2 std::uint64_t avx2CountWords(const unsigned char* data, std::size_t units,
                                           UnitShape shape) {
  const __m256i lf =
      _mm256_set1_epi16(static_cast<short>(shape == UnitShape::Utf16Le ? 0x000A : 0x0A00));
  std::uint64_t lines = 0;
  std::size_t i = 0;
  while (units - i >= 64) {
    const std::size_t steps = std::min<std::size_t>((units - i) / 64, 4096);
    __m256i counts = _mm256_setzero_si256();
    for (std::size_t step = 0; step < steps; ++step, i += 64) {
      const unsigned char* at = data + 2 * i;
      const __m256i a = _mm256_add_epi16(_mm256_cmpeq_epi16(load32(at), lf),
                                         _mm256_cmpeq_epi16(load32(at + 32), lf));
      const __m256i b = _mm256_add_epi16(_mm256_cmpeq_epi16(load32(at + 64), lf),
                                         _mm256_cmpeq_epi16(load32(at + 96), lf));
      counts = _mm256_sub_epi16(counts, _mm256_add_epi16(a, b));
    }
    const __m256i pairs = _mm256_madd_epi16(counts, _mm256_set1_epi16(1));
    const __m128i quads =
        _mm_add_epi32(_mm256_castsi256_si128(pairs), _mm256_extracti128_si256(pairs, 1));
    const __m128i halves = _mm_add_epi32(quads, _mm_shuffle_epi32(quads, 0x4E));
    const __m128i sum = _mm_add_epi32(halves, _mm_shuffle_epi32(halves, 0xB1));
    lines += static_cast<std::uint32_t>(_mm_cvtsi128_si32(sum));
  }
  bool unused = false;
  return lines + countScalar(data + 2 * i, units - i, shape, false, unused);
}

LINEPEEK_AVX2 std::uint64_t avx2SkipBytes(const unsigned char* data, std::size_t units,
                                          bool& nonBlank) {
  const __m256i lf = _mm256_set1_epi8(static_cast<char>(LineFeed));
  const __m256i firstVisible = _mm256_set1_epi8(static_cast<char>(LastBlank + 1));
  std::uint64_t lines = 0;
  bool carry = nonBlank;
  std::size_t i = 0;
  for (; units - i >= 64; i += 64) {
    const __m256i low = load32(data + i);
    const __m256i high = load32(data + i + 32);
    const std::uint64_t lfBits =
        avx2Bits(_mm256_cmpeq_epi8(low, lf)) | avx2Bits(_mm256_cmpeq_epi8(high, lf)) << 32;
    const std::uint64_t visibleBits =
        avx2Bits(_mm256_cmpeq_epi8(_mm256_max_epu8(low, firstVisible), low)) |
        avx2Bits(_mm256_cmpeq_epi8(_mm256_max_epu8(high, firstVisible), high)) << 32;
    lines += static_cast<std::uint64_t>(_mm_popcnt_u64(goodLfs(lfBits, visibleBits, carry)));
  }
  nonBlank = carry;
  return lines + countScalar(data + i, units - i, UnitShape::Bytes, true, nonBlank);
}

LINEPEEK_AVX2 std::uint64_t avx2SkipWords(const unsigned char* data, std::size_t units,
                                          UnitShape shape, bool& nonBlank) {
  const bool bigEndian = shape == UnitShape::Utf16Be;
  const __m256i lf = _mm256_set1_epi16(static_cast<short>(LineFeed));
  const __m256i firstVisible = _mm256_set1_epi16(static_cast<short>(LastBlank + 1));
  std::uint64_t lines = 0;
  bool carry = nonBlank;
  std::size_t i = 0;
  for (; units - i >= 64; i += 64) {
    const unsigned char* at = data + 2 * i;
    __m256i v[4] = {load32(at), load32(at + 32), load32(at + 64), load32(at + 96)};
    __m256i visible[4];
    for (int part = 0; part < 4; ++part) {
      if (bigEndian) v[part] = avx2SwapBytes(v[part]);
      visible[part] = _mm256_cmpeq_epi16(_mm256_max_epu16(v[part], firstVisible), v[part]);
    }
    const std::uint64_t lfBits =
        avx2WordBits(_mm256_cmpeq_epi16(v[0], lf), _mm256_cmpeq_epi16(v[1], lf)) |
        avx2WordBits(_mm256_cmpeq_epi16(v[2], lf), _mm256_cmpeq_epi16(v[3], lf)) << 32;
    const std::uint64_t visibleBits =
        avx2WordBits(visible[0], visible[1]) | avx2WordBits(visible[2], visible[3]) << 32;
    lines += static_cast<std::uint64_t>(_mm_popcnt_u64(goodLfs(lfBits, visibleBits, carry)));
  }
  nonBlank = carry;
  return lines + countScalar(data + 2 * i, units - i, shape, true, nonBlank);
}

LINEPEEK_AVX2 std::uint64_t avx2Kernel(const unsigned char* data, std::size_t units,
                                       UnitShape shape, bool skipEmpty, bool& nonBlank) {
  if (shape == UnitShape::Bytes) {
    return skipEmpty ? avx2SkipBytes(data, units, nonBlank) : avx2CountBytes(data, units);
  }
  return skipEmpty ? avx2SkipWords(data, units, shape, nonBlank)
                   : avx2CountWords(data, units, shape);
}

// ---- AVX-512BW --------------------------------------------------------------------------------

#define LINEPEEK_AVX512 __attribute__((target("avx512f,avx512bw,popcnt")))

LINEPEEK_AVX512 inline __m512i load64(const unsigned char* at) {
  return _mm512_loadu_si512(at);
}

LINEPEEK_AVX512 inline std::uint64_t popCount(std::uint64_t bits) {
  return static_cast<std::uint64_t>(_mm_popcnt_u64(bits));
}

LINEPEEK_AVX512 std::uint64_t avx512CountBytes(const unsigned char* data, std::size_t units) {
  const __m512i lf = _mm512_set1_epi8(static_cast<char>(LineFeed));
  std::uint64_t lines = 0;
  std::size_t i = 0;
  for (; units - i >= 128; i += 128) {
    lines += popCount(_mm512_cmpeq_epi8_mask(load64(data + i), lf)) +
             popCount(_mm512_cmpeq_epi8_mask(load64(data + i + 64), lf));
  }
  bool unused = false;
  return lines + countScalar(data + i, units - i, UnitShape::Bytes, false, unused);
}

LINEPEEK_AVX512 std::uint64_t avx512CountWords(const unsigned char* data, std::size_t units,
                                               UnitShape shape) {
  const __m512i lf =
      _mm512_set1_epi16(static_cast<short>(shape == UnitShape::Utf16Le ? 0x000A : 0x0A00));
  std::uint64_t lines = 0;
  std::size_t i = 0;
  for (; units - i >= 64; i += 64) {
    const std::uint64_t lfBits =
        _mm512_cmpeq_epi16_mask(load64(data + 2 * i), lf) |
        std::uint64_t{_mm512_cmpeq_epi16_mask(load64(data + 2 * i + 64), lf)} << 32;
    lines += popCount(lfBits);
  }
  bool unused = false;
  return lines + countScalar(data + 2 * i, units - i, shape, false, unused);
}

LINEPEEK_AVX512 std::uint64_t avx512SkipBytes(const unsigned char* data, std::size_t units,
                                              bool& nonBlank) {
  const __m512i lf = _mm512_set1_epi8(static_cast<char>(LineFeed));
  const __m512i blank = _mm512_set1_epi8(static_cast<char>(LastBlank));
  std::uint64_t lines = 0;
  bool carry = nonBlank;
  std::size_t i = 0;
  for (; units - i >= 64; i += 64) {
    const __m512i bytes = load64(data + i);
    lines += popCount(
        goodLfs(_mm512_cmpeq_epi8_mask(bytes, lf), _mm512_cmpgt_epu8_mask(bytes, blank), carry));
  }
  nonBlank = carry;
  return lines + countScalar(data + i, units - i, UnitShape::Bytes, true, nonBlank);
}

LINEPEEK_AVX512 std::uint64_t avx512SkipWords(const unsigned char* data, std::size_t units,
                                              UnitShape shape, bool& nonBlank) {
  const bool bigEndian = shape == UnitShape::Utf16Be;
  const __m512i order = _mm512_set4_epi32(0x0E0F0C0D, 0x0A0B0809, 0x06070405, 0x02030001);
  const __m512i lf = _mm512_set1_epi16(static_cast<short>(LineFeed));
  const __m512i blank = _mm512_set1_epi16(static_cast<short>(LastBlank));
  std::uint64_t lines = 0;
  bool carry = nonBlank;
  std::size_t i = 0;
  for (; units - i >= 64; i += 64) {
    __m512i low = load64(data + 2 * i);
    __m512i high = load64(data + 2 * i + 64);
    if (bigEndian) {
      low = _mm512_shuffle_epi8(low, order);
      high = _mm512_shuffle_epi8(high, order);
    }
    const std::uint64_t lfBits =
        _mm512_cmpeq_epi16_mask(low, lf) | std::uint64_t{_mm512_cmpeq_epi16_mask(high, lf)} << 32;
    const std::uint64_t visibleBits = _mm512_cmpgt_epu16_mask(low, blank) |
                                      std::uint64_t{_mm512_cmpgt_epu16_mask(high, blank)} << 32;
    lines += popCount(goodLfs(lfBits, visibleBits, carry));
  }
  nonBlank = carry;
  return lines + countScalar(data + 2 * i, units - i, shape, true, nonBlank);
}

LINEPEEK_AVX512 std::uint64_t avx512Kernel(const unsigned char* data, std::size_t units,
                                           UnitShape shape, bool skipEmpty, bool& nonBlank) {
  if (shape == UnitShape::Bytes) {
    return skipEmpty ? avx512SkipBytes(data, units, nonBlank) : avx512CountBytes(data, units);
  }
  return skipEmpty ? avx512SkipWords(data, units, shape, nonBlank)
                   : avx512CountWords(data, units, shape);
}

#endif // LINEPEEK_X86

// The CPU probe runs once per process: on virtual machines each CPUID traps to the hypervisor.
CountKernel probeBestKernel() {
#ifdef LINEPEEK_X86
  __builtin_cpu_init();
  const bool hasPopcnt = __builtin_cpu_supports("popcnt");
  if (hasPopcnt && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) {
    return CountKernel::Avx512;
  }
  if (hasPopcnt && __builtin_cpu_supports("avx2")) return CountKernel::Avx2;
  return CountKernel::Sse2;
#else
  return CountKernel::Scalar;
#endif
}

KernelFunction kernelFunction(CountKernel kernel) {
  switch (kernel) {
#ifdef LINEPEEK_X86
  case CountKernel::Avx512:
    return avx512Kernel;
  case CountKernel::Avx2:
    return avx2Kernel;
  case CountKernel::Sse2:
    return sse2Kernel;
#endif
  default:
    return scalarKernel;
  }
}

std::atomic<KernelFunction> activeKernel{nullptr};
std::atomic<CountKernel> activeKind{CountKernel::Scalar};

void useKernel(CountKernel kernel) {
  activeKind.store(kernel, std::memory_order_relaxed);
  activeKernel.store(kernelFunction(kernel), std::memory_order_release);
}

KernelFunction currentKernel() {
  KernelFunction kernel = activeKernel.load(std::memory_order_acquire);
  if (kernel == nullptr) {
    selectCountKernel();
    kernel = activeKernel.load(std::memory_order_acquire);
  }
  return kernel;
}

} // namespace

CountKernel bestCountKernel() {
  static const CountKernel best = probeBestKernel();
  return best;
}

void selectCountKernel() {
  useKernel(bestCountKernel());
}

CountKernel activeCountKernel() {
  currentKernel();
  return activeKind.load(std::memory_order_relaxed);
}

bool countKernelAvailable(CountKernel kernel) {
  return static_cast<int>(kernel) <= static_cast<int>(bestCountKernel());
}

bool forceCountKernel(CountKernel kernel) {
  if (!countKernelAvailable(kernel)) return false;
  useKernel(kernel);
  return true;
}

void scanUnits(const unsigned char* data, std::size_t byteLength, UnitShape shape, bool skipEmpty,
               LineState& state) {
  const std::size_t units = shape == UnitShape::Bytes ? byteLength : byteLength / 2;
  if (units == 0) return;
  bool nonBlank = state.openLine;
  state.lines += currentKernel()(data, units, shape, skipEmpty, nonBlank);
  // Without skipEmpty any unit opens a line, so only the last one decides.
  state.openLine = skipEmpty ? nonBlank : unitAt(data, units - 1, shape) != LineFeed;
}

std::int64_t finishCount(const LineState& state) {
  return static_cast<std::int64_t>(state.lines + (state.openLine ? 1U : 0U));
}

} // namespace linepeek
