// The replacement pairs of the settings file: slots S1 to S20 of section Replaces. The line
// answers apply them (plugin/replace_stream.h).
#pragma once

#include <string>

#include "settings/settings.h"

namespace linepeek {

// Reads S1..S20 of section Replaces from `path` into `target.replaces`.
void loadReplacePairs(const std::u16string& path, Settings& target);

} // namespace linepeek
