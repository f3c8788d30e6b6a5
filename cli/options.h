// The command line: the one table of options, from which the parser, --help, the manual page's
// options and the bash completion are all made, and the options it parses into.
#pragma once

#include <string>
#include <vector>

#include "cli/format.h"

namespace linepeek::cli {

inline constexpr int DefaultCellWidth = 40;
inline constexpr int MaxJobs = 64;

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

// What an option's value is, for the bash completion.
enum class ValueKind { None, Number, Path, Format, Unit, Fields, Where };

enum class Takes {
  Nothing,
  Value,    // attached (-fLIST, --fields=LIST) or the next argument
  Optional, // only attached (--settings=FILE); else the option stands alone
};

struct OptionSpec {
  char shortName; // 0 when there is none
  const char* longName;
  Takes takes;
  const char* argument; // the value's name in the documents, lower case; null for Nothing
  ValueKind kind;
  bool wholeTrees;     // listed under "Whole trees"
  const char* summary; // for --help: plain text
  const char* details; // for the manual page: `code` spans in backquotes, *value names* starred
  // Applies the value (empty for Nothing, or an Optional not given); false with `error` set on a
  // mistake.
  bool (*apply)(Options& options, const std::string& value, std::string& error);
};

// Every option, in the order --help lists them.
const std::vector<OptionSpec>& optionTable();

// The default of --jobs: the processors this process may use, at most 8.
int defaultJobs();

// Parses the arguments (without the program name). Short options take their value attached
// (-fall) or as the next argument, long ones as --name=value or the next argument; "--" ends the
// options. On a mistake answers false with a message in `error`. --where is checked against the
// module's fields later, when they are known.
bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

// --help, made from the table.
std::string usageText();

} // namespace linepeek::cli
