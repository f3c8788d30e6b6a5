// Counts the lines of a whole file: LF ends a line, a BOM belongs to no line, and with
// skipEmpty only lines holding a unit above 32 count. Runs under the value lock.
#pragma once

#include <cstdint>

#include "analysis/analysis_cache.h"
#include "settings/settings.h"

namespace linepeek {

// Picks the widest counting kernel the CPU has. Called once at load; cheap to call again.
void selectCountKernel();

// Reads the file from offset 0 in CountChunk pieces; a failed read ends the count, a short read
// is the last chunk.
std::int64_t countLines(platform::FileHandle file, EncodingKind kind, std::int32_t bomLength,
                        bool skipEmpty);

// The once-per-file producer of lineTotal.
void lineCount(AnalysisCache& cache, platform::FileHandle file, const Settings& config);

} // namespace linepeek
