// The vector kernels of the line counter: their entry points, and their loops written once over
// the vector width. Each instruction set has a source file of its own (line_counter_sse2.cpp,
// line_counter_avx2.cpp) that supplies a traits struct and is compiled for that instruction set:
// a compiler builds each function for one target only, so one file cannot hold the loops for two.
//
// Those files include nothing but this header (and through it base/characters.h, which holds
// constants only), <cstddef>, <cstdint> and the intrinsics. An inline function they emitted would
// be built with their instructions, and the linker may hand that copy to code that runs on any CPU.
// For the same reason the loops are members of a template over the traits, which each file keeps in
// an unnamed namespace: no copy is shared. tests/analysis/check_kernel_object.cmake holds the AVX2
// object to this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <immintrin.h>

#include "base/characters.h"

namespace linepeek::kernels {

// What a vector kernel did with the leading whole blocks of a buffer: the lines it counted there
// and the number of units it scanned. The caller counts the rest, less than a block, itself.
// Without member initializers, so that it has no constructor to emit.
struct BlockCount {
  std::uint64_t lines;
  std::size_t units;
};

// Scans the whole blocks of `units` units at `data`: bytes, or 16-bit units when `words`, stored
// big-endian when `bigEndian`. Without skipEmpty it counts the LF units. With skipEmpty it counts
// the LF units that end a line holding a unit above LastBlank; `nonBlank` says on entry whether the
// line open before `data` holds one, and on return whether the line open after the last block does.
using BlockKernel = BlockCount (*)(const unsigned char* data, std::size_t units, bool words,
                                   bool bigEndian, bool skipEmpty, bool& nonBlank);

// Call only once the CPU is known to run them.
BlockCount sse2Blocks(const unsigned char* data, std::size_t units, bool words, bool bigEndian,
                      bool skipEmpty, bool& nonBlank);
BlockCount avx2Blocks(const unsigned char* data, std::size_t units, bool words, bool bigEndian,
                      bool skipEmpty, bool& nonBlank);

// The loops over one instruction set. `Isa` holds a vector of Isa::Bytes bytes and provides:
//   load(at)                    Isa::Bytes bytes from any address
//   splat8(v), splat16(v)       every 8- or 16-bit lane set to v
//   equal<UnitBytes>(a, b)      lanes of 1 or 2 bytes: all ones where a equals b, else zero
//   visible<UnitBytes>(a)       the same for lanes above LastBlank, compared unsigned
//   pack(a, b)                  16-bit lane masks of a, then b, as byte lane masks in that order
//   bits(mask)                  bit i = the top bit of byte lane i
//   swapBytes(a)                the two bytes of every 16-bit lane exchanged
//   zero(), add(a, b), subtract(a, b), sumBytes(a)   byte lanes: the count accumulation
//   popCount(bits)
template <class Isa> struct VectorKernel {
  using Vector = typename Isa::Vector;
  static constexpr std::size_t BlockUnits = 64;

  static BlockCount scan(const unsigned char* data, std::size_t units, bool words, bool bigEndian,
                         bool skipEmpty, bool& nonBlank) {
    if (skipEmpty) {
      if (!words) return skipBlank<1, false>(data, units, nonBlank);
      return bigEndian ? skipBlank<2, true>(data, units, nonBlank)
                       : skipBlank<2, false>(data, units, nonBlank);
    }
    return words ? countLineFeeds<2>(data, units, bigEndian)
                 : countLineFeeds<1>(data, units, false);
  }

  // Each step compares four vectors and takes the all-ones lanes (-1) away from byte counters,
  // so a counter gains at most 4 per step: after 63 steps it is still below 256 and is summed.
  // A 16-bit LF sets both of its bytes, so the sum counts it twice.
  template <std::size_t UnitBytes>
  static BlockCount countLineFeeds(const unsigned char* data, std::size_t units, bool bigEndian) {
    constexpr std::size_t StepUnits = 4 * Isa::Bytes / UnitBytes;
    constexpr std::size_t MaxSteps = 63;
    // A 16-bit lane holds the unit as a little-endian load reads it.
    const Vector lf =
        UnitBytes == 1 ? Isa::splat8(Lf) : Isa::splat16(bigEndian ? unsigned{Lf} << 8 : Lf);
    BlockCount done{};
    while (units - done.units >= StepUnits) {
      const std::size_t fit = (units - done.units) / StepUnits;
      const std::size_t steps = fit < MaxSteps ? fit : MaxSteps;
      Vector counts = Isa::zero();
      for (std::size_t step = 0; step < steps; ++step, done.units += StepUnits) {
        const unsigned char* at = data + UnitBytes * done.units;
        const Vector a = Isa::add(Isa::template equal<UnitBytes>(Isa::load(at), lf),
                                  Isa::template equal<UnitBytes>(Isa::load(at + Isa::Bytes), lf));
        const Vector b =
            Isa::add(Isa::template equal<UnitBytes>(Isa::load(at + 2 * Isa::Bytes), lf),
                     Isa::template equal<UnitBytes>(Isa::load(at + 3 * Isa::Bytes), lf));
        counts = Isa::subtract(counts, Isa::add(a, b));
      }
      done.lines += Isa::sumBytes(counts) / UnitBytes;
    }
    return done;
  }

  // Each block of 64 units becomes two bit masks, LF and above LastBlank (bit i = unit i), built
  // from parts of Isa::Bytes units: one vector of bytes, or two of 16-bit units. Each byte order
  // has a loop of its own; a test inside the loop measured slower.
  template <std::size_t UnitBytes, bool BigEndian>
  static BlockCount skipBlank(const unsigned char* data, std::size_t units, bool& nonBlank) {
    const Vector lf = UnitBytes == 1 ? Isa::splat8(Lf) : Isa::splat16(Lf);
    BlockCount done{};
    bool carry = nonBlank;
    for (; units - done.units >= BlockUnits; done.units += BlockUnits) {
      std::uint64_t lfBits = 0;
      std::uint64_t visibleBits = 0;
      for (std::size_t part = 0; part < BlockUnits / Isa::Bytes; ++part) {
        const unsigned char* at = data + UnitBytes * (done.units + part * Isa::Bytes);
        Vector lfMask;
        Vector visibleMask;
        if constexpr (UnitBytes == 1) {
          const Vector units8 = Isa::load(at);
          lfMask = Isa::template equal<1>(units8, lf);
          visibleMask = Isa::template visible<1>(units8);
        } else {
          Vector first = Isa::load(at);
          Vector second = Isa::load(at + Isa::Bytes);
          if constexpr (BigEndian) {
            first = Isa::swapBytes(first);
            second = Isa::swapBytes(second);
          }
          lfMask = Isa::pack(Isa::template equal<2>(first, lf), Isa::template equal<2>(second, lf));
          visibleMask =
              Isa::pack(Isa::template visible<2>(first), Isa::template visible<2>(second));
        }
        lfBits |= Isa::bits(lfMask) << (part * Isa::Bytes);
        visibleBits |= Isa::bits(visibleMask) << (part * Isa::Bytes);
      }
      done.lines += Isa::popCount(goodLfs(lfBits, visibleBits, carry));
    }
    nonBlank = carry;
    return done;
  }

  // For 64 units with LF bits `lfBits` and above-LastBlank bits `visibleBits`, the LFs whose line
  // holds a unit above LastBlank. Between two LFs the complement of `lfBits` is a run of ones;
  // adding a visible bit (or the carry from the previous block at bit 0) ripples to the end of its
  // run and sets the LF there. Further bits in the same run land on cleared bits, so each LF is set
  // at most once. A carry out of bit 63 means the line after the last LF is already non-blank. One
  // add with carry in and out keeps the chain from block to block to one instruction; two adds and
  // compares measured about 1.4 times slower (AVX2, bytes, in L2).
  static std::uint64_t goodLfs(std::uint64_t lfBits, std::uint64_t visibleBits, bool& carry) {
    unsigned long long sum = 0;
    carry = _addcarry_u64(carry ? 1 : 0, ~lfBits, visibleBits, &sum) != 0;
    return sum & lfBits;
  }
};

} // namespace linepeek::kernels
