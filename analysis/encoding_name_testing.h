// The tests behind encodingName, for the tests and fuzzers that check each against a reference.
// Pure functions of the sample and the settings.
#pragma once

#include <string_view>

#include "settings/settings.h"

namespace linepeek {

bool looksRtf(std::string_view sample);
bool looksBinary(std::string_view sample, const Settings& config);
bool looksOemGraphics(std::string_view sample, const Settings& config);
// `dosLetters` selects the DOS Cyrillic letter class instead of the Windows one.
bool looksRussian(std::string_view sample, bool dosLetters, const Settings& config);

} // namespace linepeek
