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
  // Whole trees.
  std::vector<std::string> conditions; // --where, each as given
  bool summary = false;                // --summary or --summary-only
  bool summaryOnly = false;
  std::string filesFrom; // the list of paths; "-" is standard input; empty: none
  bool nullSeparated = false;
  int jobs = 0; // 0: the default, defaultJobs()
};

// The default of --jobs: the processors this process may use, at most 8.
int defaultJobs();

// Parses the arguments (without the program name). Short options take their value attached
// (-fall) or as the next argument, long ones as --name=value or the next argument; "--" ends the
// options. On a mistake answers false with a message in `error`. --where is checked against the
// module's fields later, when they are known.
bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

extern const char* const UsageText;

} // namespace linepeek::cli
