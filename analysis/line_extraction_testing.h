// The steps of headLines and tailLines, for the tests and fuzzers that check each against a
// reference.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "analysis/line_extraction.h"

namespace linepeek {

// The line text of a window held in memory, from `bomLength` bytes on: for UTF-16 its UTF-8,
// written into `decoded`, for other kinds a view of `raw` itself.
std::string_view windowText(std::string_view raw, EncodingKind kind, std::int32_t bomLength,
                            std::string& decoded);

// True when no byte is above LastBlank, and for the empty line.
bool isBlankLine(std::string_view line);

// Store up to ten (three) lines of `text` into the group's slots, as views of `text`, and set
// its count. A line is the bytes between LFs less one trailing CR; with `skipEmpty`, blank lines
// are not stored. `edgeComplete` says whether the text after the last LF (head) or before the
// first LF (tail) is a whole line rather than one cut by the window. The head stops at its
// tenth stored line, the tail scans backward and stops at its third.
void splitHead(HeadLines& head, std::string_view text, bool edgeComplete, bool skipEmpty);
void splitTail(TailLines& tail, std::string_view text, bool edgeComplete, bool skipEmpty);

} // namespace linepeek
