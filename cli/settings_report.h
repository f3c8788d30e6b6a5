// linepeek-cli --settings: what the module makes of a settings file, told key by key. The file
// is read with the module's own settings code and the platform's INI reader, so the report
// sees what the module sees on the same system.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "cli/exit_status.h"
#include "cli/options.h"

namespace linepeek::cli {

// Reports on the one path of `options`, or without one on the file that the module at
// `modulePath` reads: beside it, named like it with the extension ".ini". Every key with the
// text in the file, the value the module uses and its default; the replacement pairs present;
// and each line that the module does not read, with the nearest known name. Writes through
// `write` in options.format (csv and tsv: the rows only) and answers Ok when there is nothing to
// note, Unreachable when there is (a missing default file included), and Error with `error` set
// for a usage error: more than one path, or a named file that is no readable file.
ExitStatus reportSettings(const Options& options, const std::string& modulePath,
                          const std::function<void(std::string_view)>& write, std::string& error);

} // namespace linepeek::cli
