// The steps of loadSettings, for the tests and fuzzers that check each on its own; those that a
// settings checker needs too are declared in settings/settings_check.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/key_table.h"
#include "settings/settings.h"
#include "settings/settings_check.h"

namespace linepeek {

// The module's own path through the platform, empty when it cannot be had. A path that fills the
// first 260-unit buffer is asked for again with larger buffers rather than used cut short.
std::u16string modulePath();

// Every setting at its default, as if no settings file existed; `iniPath` empty.
void loadDefaults(Settings& target);

} // namespace linepeek
