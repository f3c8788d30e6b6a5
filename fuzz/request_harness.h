// Whole requests through the module's entry points on a file of the in-memory layer, shared by
// the two request targets: every field, twice in different orders, each answer and buffer
// checked against the plain rules, and the memory each request allocates checked against a
// bound that holds for any file and settings.
//
// The input: a byte of settings switches (skipEmpty, an Extensions list, short pairs, Russian
// and DOS thresholds, lengthening pairs, "Line endings" and "Charset" offered), the entry's name
// (a file with and without an admitted extension, a folder, a missing entry), the unit, maxLen,
// the size the file is stretched to, and the lifecycle step between the two rounds; the rest is
// the file. Each input starts from empty records and leaves none behind.
#pragma once

#include <cstddef>
#include <cstdint>

namespace linepeek::fuzz {

enum class RequestShapes {
  // Files as the input holds them, and pairs that lengthen a line at most eightfold: the rules
  // of every field, unit, buffer size, setting and lifecycle step, over a thousand inputs a
  // second under the sanitizers.
  Small,
  // Every file stretched to about the head window (64 KiB) or the wide window (4 MiB), where
  // the second passes and 4 MiB lines live, and pairs that grow a line to the 4,194,304-unit
  // cut: the memory bounds. A few inputs a second.
  Large,
};

// Runs the requests of one input; aborts with the input printed on any mismatch.
void runRequests(const std::uint8_t* data, std::size_t size, RequestShapes shapes);

} // namespace linepeek::fuzz
