// Plain-text replacements applied to the line fields' UTF-16 text.
#pragma once

#include <array>
#include <string>

#include "settings/settings.h"

namespace linepeek {

// The key of slot `slotNumber` (1 to 20): "S" and the number without leading zeros.
std::u16string replaceKey(int slotNumber);

// Splits a value at its first "=": `from` before it, `to` after it (further "=" stay in `to`).
// A value without "=" gives two empty texts.
ReplacePair splitReplacePair(const std::u16string& value);

// Reads S1..S20 of section Replaces from `path` into `target.replaces`.
void loadReplacePairs(const std::u16string& path, Settings& target);

// Replaces every occurrence of `from` left to right without overlap; inserted text is never
// searched again. An empty `from` changes nothing.
void applyPair(std::u16string& text, const std::u16string& from, const std::u16string& to);

// Applies slots 1 to 20 of `pairs` in order.
void applyReplacements(std::u16string& text, const std::array<ReplacePair, ReplaceSlots>& pairs);

} // namespace linepeek
