// The vector kernels of the line counter: their entry points, and their loops written once over
// the vector width. Each instruction set has a source file of its own (line_counter_sse2.cpp,
// line_counter_avx2.cpp, line_counter_avx512.cpp) that supplies a traits struct and is compiled
// for that instruction set: a compiler builds each function for one target only, so one file
// cannot hold the loops for two.
//
// Those files include nothing but this header (and through it base/characters.h, which holds
// constants only), <cstddef>, <cstdint> and the intrinsics. An inline function they emitted would
// be built with their instructions, and the linker may hand that copy to code that runs on any CPU.
// For the same reason the loops are members of a template over the traits, which each file keeps in
// an unnamed namespace: no copy is shared. tests/analysis/check_kernel_object.cmake holds the AVX2
// and AVX-512 objects to this.
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
BlockCount avx512Blocks(const unsigned char* data, std::size_t units, bool words, bool bigEndian,
                        bool skipEmpty, bool& nonBlank);

// The loops over one instruction set. `Isa` holds a vector of Isa::Bytes bytes and provides:
//   load(at)                    Isa::Bytes bytes from any address
//   splat8(v), splat16(v)       every 8- or 16-bit lane set to v
//   equal<UnitBytes>(a, b)      a mask of the lanes of 1 or 2 bytes where a equals b
//   visible<UnitBytes>(a)       the same for lanes above LastBlank, compared unsigned
//   pack(m, n)                  the 16-bit lane masks of two vectors as one mask, m's lanes first
//   bits(mask)                  bit i = lane i of a mask of Isa::Bytes lanes
//   lanes<UnitBytes>(mask)      byte lanes all ones where the mask has the lane, else zero
//   swapBytes(a)                the two bytes of every 16-bit lane exchanged
//   zero(), add(a, b), subtract(a, b), sumBytes(a)   byte lanes: the count accumulation
//   popCount(bits)
// A mask is a vector of all-ones lanes where the compares give one (SSE2, AVX2), or a bit per
// lane where they give mask registers (AVX-512).
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

  // Each step compares eight vectors and takes the all-ones lanes (-1) away from byte counters,
  // so a counter gains at most 8 per step: after 31 steps it is still below 256 and is summed.
  // A 16-bit LF sets both of its bytes, so the sum counts it twice. Steps of four vectors ran
  // SSE2 at 60 to 87 GB/s (text, in L2) depending on where the linker put the loop; steps of
  // eight at about 93 wherever it was.
  template <std::size_t UnitBytes>
  static BlockCount countLineFeeds(const unsigned char* data, std::size_t units, bool bigEndian) {
    constexpr std::size_t StepVectors = 8;
    constexpr std::size_t StepUnits = StepVectors * Isa::Bytes / UnitBytes;
    constexpr std::size_t MaxSteps = 31;
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
        Vector pairs[StepVectors / 2];
        for (std::size_t pair = 0; pair < StepVectors / 2; ++pair) {
          pairs[pair] = Isa::add(lineFeeds<UnitBytes>(at + 2 * pair * Isa::Bytes, lf),
                                 lineFeeds<UnitBytes>(at + (2 * pair + 1) * Isa::Bytes, lf));
        }
        const Vector sum = Isa::add(Isa::add(pairs[0], pairs[1]), Isa::add(pairs[2], pairs[3]));
        counts = Isa::subtract(counts, sum);
      }
      done.lines += Isa::sumBytes(counts) / UnitBytes;
    }
    return done;
  }

  // Byte lanes all ones where the vector at `at` holds an LF unit.
  template <std::size_t UnitBytes> static Vector lineFeeds(const unsigned char* at, Vector lf) {
    return Isa::template lanes<UnitBytes>(Isa::template equal<UnitBytes>(Isa::load(at), lf));
  }

  // Each block of 64 units becomes two bit masks, LF and above LastBlank (bit i = unit i), built
  // from parts of Isa::Bytes units: one vector of bytes, or two of 16-bit units. Each byte order
  // has a loop of its own; a test inside the loop measured slower.
  template <std::size_t UnitBytes, bool BigEndian>
  static BlockCount skipBlank(const unsigned char* data, std::size_t units, bool& nonBlank) {
    const Vector lf = UnitBytes == 1 ? Isa::splat8(Lf) : Isa::splat16(Lf);
    BlockCount done{};
    unsigned char carry = nonBlank ? 1 : 0;
    for (; units - done.units >= ChainBlocks * BlockUnits; done.units += ChainBlocks * BlockUnits)
      done.lines += chain<ChainBlocks, UnitBytes, BigEndian>(data, done.units, lf, carry);
    for (; units - done.units >= BlockUnits; done.units += BlockUnits)
      done.lines += chain<1, UnitBytes, BigEndian>(data, done.units, lf, carry);
    nonBlank = carry != 0;
    return done;
  }

  // The LFs whose line holds a unit above LastBlank, in `Blocks` blocks from unit `first`. Between
  // two LFs the complement of the LF bits is a run of ones; adding a visible bit (or the carry
  // from the previous block at bit 0) ripples to the end of its run and sets the LF there. Further
  // bits in the same run land on cleared bits, so each LF is set at most once. A carry out of bit
  // 63 means the line after the block's last LF is already non-blank. The adds of all the blocks
  // come first, one add with carry each: with nothing between them that writes the flags, the
  // carry passes from block to block in the flags register. Saving it after every block measured
  // about 1.3 times slower (AVX-512, bytes, in L2); two adds and compares instead of the add
  // with carry, about 1.4 times (AVX2). SSE2 needs four vectors a block and has too few
  // registers to hold four blocks: there a chain of one block measured faster.
  static constexpr std::size_t ChainBlocks = Isa::Bytes > 16 ? 4 : 1;
  template <std::size_t Blocks, std::size_t UnitBytes, bool BigEndian>
  static std::uint64_t chain(const unsigned char* data, std::size_t first, const Vector& lf,
                             unsigned char& carry) {
    std::uint64_t lfBits[Blocks];
    std::uint64_t visibleBits[Blocks];
    for (std::size_t block = 0; block < Blocks; ++block) {
      lfBits[block] = 0;
      visibleBits[block] = 0;
      for (std::size_t part = 0; part < BlockUnits / Isa::Bytes; ++part) {
        const unsigned char* at =
            data + UnitBytes * (first + block * BlockUnits + part * Isa::Bytes);
        std::uint64_t lfPart = 0;
        std::uint64_t visiblePart = 0;
        if constexpr (UnitBytes == 1) {
          const Vector units8 = Isa::load(at);
          lfPart = Isa::bits(Isa::template equal<1>(units8, lf));
          visiblePart = Isa::bits(Isa::template visible<1>(units8));
        } else {
          Vector low = Isa::load(at);
          Vector high = Isa::load(at + Isa::Bytes);
          if constexpr (BigEndian) {
            low = Isa::swapBytes(low);
            high = Isa::swapBytes(high);
          }
          lfPart = Isa::bits(
              Isa::pack(Isa::template equal<2>(low, lf), Isa::template equal<2>(high, lf)));
          visiblePart =
              Isa::bits(Isa::pack(Isa::template visible<2>(low), Isa::template visible<2>(high)));
        }
        lfBits[block] |= lfPart << (part * Isa::Bytes);
        visibleBits[block] |= visiblePart << (part * Isa::Bytes);
      }
    }
    unsigned long long sums[Blocks];
    for (std::size_t block = 0; block < Blocks; ++block)
      carry = _addcarry_u64(carry, ~lfBits[block], visibleBits[block], &sums[block]);
    std::uint64_t lines = 0;
    for (std::size_t block = 0; block < Blocks; ++block)
      lines += Isa::popCount(sums[block] & lfBits[block]);
    return lines;
  }
};

} // namespace linepeek::kernels
