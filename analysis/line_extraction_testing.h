// The steps of headLines and tailLines, for the tests and fuzzers that check each against a
// reference.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "analysis/line_extraction.h"

namespace linepeek {

// Line text of a raw window: UTF-16 converted to UTF-8, other kinds with the BOM dropped.
std::string decodeWindow(std::string_view raw, EncodingKind kind, std::int32_t bomLength);
// UTF-16 units from byte `offset` on, an odd last byte ignored, unpaired surrogates as U+FFFD.
std::string utf16ToUtf8(std::string_view raw, bool bigEndian, std::int32_t offset);

// True when no byte is above 32, and for the empty line.
bool isBlankLine(std::string_view line);

// Store up to ten (three) lines into the cache's slots and set the count. A line is the bytes
// between LFs less one trailing CR; with `skipEmpty`, lines of bytes <= 32 are not stored.
// `edgeComplete` says whether the text after the last LF (head) or before the first LF (tail) is
// a whole line rather than one cut by the window. The head stops at its tenth stored line, the
// tail scans backward and stops at its third.
void splitHead(AnalysisCache& cache, std::string_view text, bool edgeComplete, bool skipEmpty);
void splitTail(AnalysisCache& cache, std::string_view text, bool edgeComplete, bool skipEmpty);

} // namespace linepeek
