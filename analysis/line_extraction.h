// The first ten and last three text lines of the cached file, split at LF from windows at either
// end, each made line text first: the byte order mark dropped, UTF-16 converted to UTF-8. Runs
// under the value lock.
#pragma once

#include <cstdint>

#include "analysis/analysis_cache.h"
#include "settings/settings.h"

namespace linepeek {

// Window sizes as parameters so tests and fuzzers reach the boundaries with small inputs.
struct LineWindows {
  std::int32_t first = HeadWindow;
  std::int32_t wide = WideWindow;
};

// The head group, computed once per cached file and answered. The first pass splits the cached head
// sample without reading; when it holds fewer than ten lines of a file larger than `windows.first`,
// the first min(size, `windows.wide`) bytes are split instead, unless their read came back no
// longer than the sample. A last line without LF counts only when the window reached the end of the
// file. The caller holds the value lock.
const HeadLines& headLines(AnalysisCache& cache, platform::FileHandle file, const Settings& config,
                           LineWindows windows = {});
// The tail group, computed once per cached file and answered, the last line in the last slot
// used. Reads the last
// min(size, `windows.first`) bytes and, when they give fewer than three lines of a larger file,
// the last min(size, `windows.wide`) bytes; a file held whole in the head sample is not read.
// Text before a window's first LF counts only when the window starts at offset 0, the only place
// a BOM is skipped. UTF-16 windows start on an even offset. A window whose read fails is not
// used; one that ends early at the end of the file is. The caller holds the value lock.
const TailLines& tailLines(AnalysisCache& cache, platform::FileHandle file, const Settings& config,
                           LineWindows windows = {});

} // namespace linepeek
