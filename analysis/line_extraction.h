// The first ten and last three text lines of the cached file, split at LF from windows of raw
// bytes at either end. Runs under the value lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "analysis/analysis_cache.h"
#include "settings/settings.h"

namespace linepeek {

// Window sizes as parameters so tests and fuzzers reach the boundaries with small inputs.
struct LineWindows {
  std::int32_t first = HeadWindow;
  std::int32_t wide = WideWindow;
};

// Fills headSlots/headCount once per cached file (returns at once when headDone).
void headLines(AnalysisCache& cache, platform::FileHandle file, const Settings& config,
               LineWindows windows = {});
// Fills tailSlots/tailCount once per cached file (returns at once when tailDone).
void tailLines(AnalysisCache& cache, platform::FileHandle file, const Settings& config,
               LineWindows windows = {});

// Line text of a raw window: UTF-16 converted to UTF-8, other kinds with the BOM dropped.
std::string decodeWindow(std::string_view raw, EncodingKind kind, std::int32_t bomLength);
// UTF-16 units from byte `offset` on, an odd last byte ignored, unpaired surrogates as U+FFFD.
std::string utf16ToUtf8(std::string_view raw, bool bigEndian, std::int32_t offset);

// True when no byte is above 32, and for the empty line.
bool isBlankLine(std::string_view line);

// Store up to ten (three) lines into the cache's slots and set the count.
void splitHead(AnalysisCache& cache, std::string_view text, bool edgeComplete, bool skipEmpty);
void splitTail(AnalysisCache& cache, std::string_view text, bool edgeComplete, bool skipEmpty);

} // namespace linepeek
