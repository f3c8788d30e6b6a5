// Counts the lines of a whole file: LF ends a line, a BOM belongs to no line, and with
// skipEmpty only lines holding a unit above 32 count. Runs under the value lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "analysis/analysis_cache.h"
#include "analysis/encoding_kind.h"
#include "settings/settings.h"

namespace linepeek {

// The instruction sets the counting kernels are written for, narrowest first.
enum class CountKernel : std::uint8_t { Scalar, Sse2, Avx2, Avx512 };

// What a count carries from one buffer to the next.
struct LineState {
  std::uint64_t lines = 0; // lines ended by an LF (with skipEmpty: the non-blank ones only)
  bool openLine = false;   // the units after the last LF make a line that counts if the file
                           // ends here: any unit at all, or with skipEmpty a unit above 32
};

// Picks the widest kernel the CPU has. Called once at load; the CPU is probed at most once per
// process however often this runs, and a count that finds no kernel chosen picks one itself.
void selectCountKernel();

// The widest kernel this CPU runs (probed once), and the one counts use now.
CountKernel bestCountKernel();
CountKernel activeCountKernel();
// Whether this CPU (and build) can run `kernel`.
bool countKernelAvailable(CountKernel kernel);
// Makes counts use `kernel`; false, changing nothing, when the CPU cannot run it. For tests and
// benchmarks; selectCountKernel() goes back to the best one.
bool forceCountKernel(CountKernel kernel);

// Scans the whole units in `byteLength` bytes at `data` with the active kernel and adds them to
// `state`: bytes for 8-bit and UTF-8 text, 16-bit units in their byte order for the UTF-16
// kinds, where an odd last byte is ignored; the caller keeps later buffers aligned.
void scanUnits(const unsigned char* data, std::size_t byteLength, EncodingKind kind, bool skipEmpty,
               LineState& state);

// The count once the file has ended: the ended lines plus an unterminated last line that counts.
std::int64_t finishCount(const LineState& state);

// The once-per-file producer of the line total: counts when the record lacks it and keeps the
// result whatever it is, so a failed count is not retried for the same cached file, and answers
// the total. A head sample that holds the whole file is counted where it is, without a read.
std::int64_t lineCount(AnalysisCache& cache, platform::FileHandle file, const Settings& config);

} // namespace linepeek
