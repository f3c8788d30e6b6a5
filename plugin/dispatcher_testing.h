// The extension filter of the dispatcher, for the tests that hold it against a table of names.
#pragma once

#include <string>

#include "plugin/dispatcher.h"

namespace linepeek {

// True when `fileName` passes `extensions`, the space-separated list of the Extensions setting:
// its extension, ASCII letters lowered and without the dot, is one of the list's entries. An
// empty list passes every name. The line fields and "Line count" obey it.
bool passesExtensionFilter(const std::u16string& fileName, const std::u16string& extensions);

} // namespace linepeek
