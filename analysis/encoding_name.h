// Names the encoding ("Encoding") and tells binary from text ("Type") from bounded prefixes of
// the head sample. Runs under the value lock.
#pragma once

#include <string_view>

#include "analysis/analysis_cache.h"
#include "settings/settings.h"

namespace linepeek {

bool looksRtf(std::string_view sample);
bool looksBinary(std::string_view sample, const Settings& config);
bool looksOemGraphics(std::string_view sample, const Settings& config);
// `dosLetters` selects the DOS Cyrillic letter class instead of the Windows one.
bool looksRussian(std::string_view sample, bool dosLetters, const Settings& config);

// The once-per-file producers of isBinary and encodingText.
void binaryFlag(AnalysisCache& cache, const Settings& config);
void encodingName(AnalysisCache& cache, const Settings& config);

} // namespace linepeek
