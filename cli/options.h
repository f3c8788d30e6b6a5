// The command line: options and paths.
#pragma once

#include <string>
#include <vector>

#include "cli/format.h"

namespace linepeek::cli {

inline constexpr int DefaultCellWidth = 40;

struct Options {
  std::vector<std::string> paths;
  std::string fields;       // as given
  bool fieldsGiven = false; // false: the default subset
  std::string unit;         // empty means each field's first unit
  OutputFormat format = OutputFormat::Table;
  int cellWidth = DefaultCellWidth; // 0: no cut
  std::string modulePath;           // empty means the module beside the executable
  bool recursive = false;
  bool listFields = false;
  bool checkSettings = false; // --settings: report on the settings file in paths, or the default
  bool showHelp = false;
  bool showVersion = false;
};

// Parses the arguments (without the program name). Short options take their value attached
// (-fall) or as the next argument, long ones as --name=value or the next argument; "--" ends the
// options. On a mistake answers false with a message in `error`.
bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

extern const char* const UsageText;

} // namespace linepeek::cli
