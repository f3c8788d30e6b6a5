// Names the encoding ("Encoding") and tells binary from text ("Type") from bounded prefixes of
// the head sample. Runs under the value lock.
#pragma once

#include "analysis/analysis_cache.h"
#include "settings/settings.h"

namespace linepeek {

// The once-per-file producers of isBinary and encodingText.
void binaryFlag(AnalysisCache& cache, const Settings& config);
void encodingName(AnalysisCache& cache, const Settings& config);

} // namespace linepeek
