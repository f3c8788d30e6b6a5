// The replacements of a whole text at once, for the tests and fuzzers that check the stream
// against them; the pairs' key names and split are in settings/settings_check.h.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "plugin/replace_stream.h"
#include "settings/settings.h"

namespace linepeek {

// Replaces every occurrence of `from` left to right without overlap; inserted text is never
// searched again. An empty `from` changes nothing; otherwise the result is cut at `limitUnits`.
void applyPair(std::u16string& text, const std::u16string& from, const std::u16string& to,
               std::size_t limitUnits = ReplaceLimitUnits);

// Applies slots 1 to 20 of `pairs` in order, each on the cut result of the one before.
void applyReplacements(std::u16string& text, const std::array<ReplacePair, ReplaceSlots>& pairs,
                       std::size_t limitUnits = ReplaceLimitUnits);

} // namespace linepeek
