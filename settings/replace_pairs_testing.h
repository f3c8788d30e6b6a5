// The pieces of the replacement pairs, for the tests and fuzzers that check each on its own and
// for the CLI's settings report.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "settings/replace_pairs.h"

namespace linepeek {

// The key of slot `slotNumber` (1 to 20): "S" and the number without leading zeros.
std::u16string replaceKey(int slotNumber);

// Splits a value at its first "=": `from` before it, `to` after it (further "=" stay in `to`).
// A value without "=" gives two empty texts; `hasEquals`, when given, tells it apart.
ReplacePair splitReplacePair(const std::u16string& value, bool* hasEquals = nullptr);

// Replaces every occurrence of `from` left to right without overlap; inserted text is never
// searched again. An empty `from` changes nothing; otherwise the result is cut at `limitUnits`.
void applyPair(std::u16string& text, const std::u16string& from, const std::u16string& to,
               std::size_t limitUnits = ReplaceLimitUnits);

// Applies slots 1 to 20 of `pairs` in order, each on the cut result of the one before.
void applyReplacements(std::u16string& text, const std::array<ReplacePair, ReplaceSlots>& pairs,
                       std::size_t limitUnits = ReplaceLimitUnits);

} // namespace linepeek
