// Names the charset of a file ("Charset"), which the "auto" unit of the line fields decodes in:
// the module's own detection for UTF-8 and UTF-16, the uchardet detector's verdict on the head
// sample for every other text, corrected where the module's own evidence contradicts it. Runs
// under the value lock.
#pragma once

#include <string_view>

#include "base/charsets.h"
#include "settings/settings.h"

namespace linepeek {

struct AnalysisCache;

// The detector's verdict on `sample` alone; null when it has none (no bytes, too little
// confidence, or a name outside Charsets). A pure function of the bytes: a fresh detector each
// call, fed the sample once. Memory exhaustion inside the detector throws std::bad_alloc; the
// detector is released on every way out.
const Charset* detectCharset(std::string_view sample);

// The charset of the cached file, computed once per cached file: UTF-8 and UTF-16
// kinds name their form; a file that "Type" calls binary (binaryFlag runs when it has not) and a
// sample without a verdict give null, which gets no value; any other file gets the verdict on
// its head sample.
const Charset* charsetOf(AnalysisCache& cache, const Settings& config);

// The name of charsetOf, or null.
const char* charsetName(AnalysisCache& cache, const Settings& config);

} // namespace linepeek
