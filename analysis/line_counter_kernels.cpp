// The choice of counting kernel, made once at load, and scanUnits, which runs it. A vector kernel
// counts the leading whole blocks of a buffer (line_counter_vector.h); the plain loop here counts
// the units after them, and the whole buffer when the CPU has no vector kernel.
#include "analysis/line_counter.h"

#include <atomic>

#include "analysis/line_counter_vector.h"
#include "base/characters.h"
#include "base/unicode.h"

namespace linepeek {
namespace {

inline unsigned unitAt(const unsigned char* data, std::size_t index, EncodingKind kind) {
  if (!isUtf16(kind)) return data[index];
  return utf16UnitAt(data, index, kind == EncodingKind::Utf16Be);
}

// The LFs: one loop per unit width and byte order, so that the kind is no test inside it and the
// compiler vectorises the loop. With the test inside, the scalar kernel ran at 0.8 to 1.1 GB/s
// (text, in L2), depending on where the linker put the loop; now at about 7.
template <EncodingKind Kind>
std::uint64_t countLineFeeds(const unsigned char* data, std::size_t units) {
  std::uint64_t lines = 0;
  for (std::size_t i = 0; i < units; ++i)
    lines += unitAt(data, i, Kind) == Lf;
  return lines;
}

std::uint64_t countPlain(const unsigned char* data, std::size_t units, EncodingKind kind,
                         bool skipEmpty, bool& nonBlank) {
  if (!skipEmpty) {
    switch (kind) {
    case EncodingKind::Utf16Le:
      return countLineFeeds<EncodingKind::Utf16Le>(data, units);
    case EncodingKind::Utf16Be:
      return countLineFeeds<EncodingKind::Utf16Be>(data, units);
    case EncodingKind::Other:
    case EncodingKind::Utf8:
      break;
    }
    return countLineFeeds<EncodingKind::Other>(data, units);
  }
  std::uint64_t lines = 0;
  bool open = nonBlank;
  for (std::size_t i = 0; i < units; ++i) {
    const unsigned unit = unitAt(data, i, kind);
    if (unit == Lf) {
      lines += open;
      open = false;
    } else if (unit > LastBlank) {
      open = true;
    }
  }
  nonBlank = open;
  return lines;
}

// The scalar kernel leaves every unit to the plain loop.
kernels::BlockCount noBlocks(const unsigned char*, std::size_t, bool, bool, bool, bool&) {
  return {};
}

// The CPU probe runs once per process: on virtual machines each CPUID traps to the hypervisor.
CountKernel probeBestKernel() {
#ifdef LINEPEEK_VECTOR_KERNELS
  __builtin_cpu_init();
  // The AVX-512 answers also say that the system saves the 512-bit and mask registers.
  if (!__builtin_cpu_supports("popcnt") || !__builtin_cpu_supports("avx2"))
    return CountKernel::Sse2;
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw"))
    return CountKernel::Avx512;
  return CountKernel::Avx2;
#else
  return CountKernel::Scalar;
#endif
}

kernels::BlockKernel blockKernel(CountKernel kernel) {
  switch (kernel) {
#ifdef LINEPEEK_VECTOR_KERNELS
  case CountKernel::Avx512:
    return kernels::avx512Blocks;
  case CountKernel::Avx2:
    return kernels::avx2Blocks;
  case CountKernel::Sse2:
    return kernels::sse2Blocks;
#endif
  default:
    return noBlocks;
  }
}

std::atomic<kernels::BlockKernel> activeKernel{nullptr};
std::atomic<int> probedKernel{-1}; // a CountKernel once probed
std::atomic<CountKernel> activeKind{CountKernel::Scalar};

void useKernel(CountKernel kernel) {
  activeKind.store(kernel, std::memory_order_relaxed);
  activeKernel.store(blockKernel(kernel), std::memory_order_release);
}

kernels::BlockKernel currentKernel() {
  kernels::BlockKernel kernel = activeKernel.load(std::memory_order_acquire);
  if (kernel == nullptr) {
    selectCountKernel();
    kernel = activeKernel.load(std::memory_order_acquire);
  }
  return kernel;
}

} // namespace

CountKernel bestCountKernel() {
  // A namespace-scope cache rather than a function-local static: the guard of a local static
  // would bring in the run-time's thread support, whose per-load records a DLL never gets back.
  // Two threads that race here both probe and store the same answer.
  int best = probedKernel.load(std::memory_order_relaxed);
  if (best < 0) {
    best = static_cast<int>(probeBestKernel());
    probedKernel.store(best, std::memory_order_relaxed);
  }
  return static_cast<CountKernel>(best);
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

void scanUnits(const unsigned char* data, std::size_t byteLength, EncodingKind kind, bool skipEmpty,
               LineState& state) {
  const std::size_t unitBytes = isUtf16(kind) ? 2 : 1;
  const std::size_t units = byteLength / unitBytes;
  if (units == 0) return;
  bool nonBlank = state.openLine;
  const kernels::BlockCount blocks = currentKernel()(
      data, units, unitBytes == 2, kind == EncodingKind::Utf16Be, skipEmpty, nonBlank);
  state.lines += blocks.lines + countPlain(data + unitBytes * blocks.units, units - blocks.units,
                                           kind, skipEmpty, nonBlank);
  // Without skipEmpty any unit opens a line, so only the last one decides.
  state.openLine = skipEmpty ? nonBlank : unitAt(data, units - 1, kind) != Lf;
}

std::int64_t finishCount(const LineState& state) {
  return static_cast<std::int64_t>(state.lines + (state.openLine ? 1U : 0U));
}

} // namespace linepeek
