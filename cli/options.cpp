#include "cli/options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "cli/system.h"

namespace linepeek::cli {

const char* const UsageText =
    R"(Usage: linepeek-cli [options] [PATH...]
Shows what the linepeek content module answers for files, as a file manager would show it.
A folder shows its entries (folders first, then files, each sorted by name); no PATH: the
current folder.

Options:
  -f, --fields LIST    field names as the module's catalogue has them ("1".."10", "-3", "-2",
                       "-1", "Line count", "Encoding", "Type", "Line endings" and "Charset"
                       if offered), comma-separated, or "all"
                       (default: Type,Encoding,Charset,Line endings,Line count,1,-1, where
                       offered)
  -u, --unit UNIT      unit for the line fields: win (ANSI code page, the default) or dos (OEM)
  -r, --recursive      descend into subfolders
  -o, --format FORMAT  table (default, also in pipes), csv (RFC 4180), tsv (\t \n \r \\
                       escaped) or json (an array of objects; null where the module gave no value)
      --width N        cut table cells longer than N columns with an ellipsis (default 40; 0: no
                       cut; paths are never cut)
      --module PATH    the module to load (default: linepeek.so or linepeek.dll beside this program,
                       or else in ../lib/linepeek/ from this program's folder)
      --list-fields    print the module's field catalogue with types and units
      --settings [FILE]
                       check a settings file as the module reads it: every key with its text,
                       the value used and the default, the replacement pairs, and notes on what
                       the module ignores (default FILE: the .ini beside the module, named
                       like it); exit status 1 when there is a note
  -h, --help           show this help
  -V, --version        show the version

Whole trees:
      --summary        after the rows, count files and folders, the rows per Type, Encoding and
                       Line endings, and the sum of Line count (in json an object beside the rows)
      --summary-only   the counts without the rows
      --where COND     keep only the rows where FIELD=VALUE[,VALUE...] holds (one of the values;
                       FIELD!=... : none of them; an empty VALUE is an empty cell); may be
                       repeated, and every condition must hold
      --files-from FILE  the paths from FILE, one a line, or from standard input with '-'
  -0, --null           the names in the --files-from list end with NUL, as find -print0 writes
  -j, --jobs N         ask N instances of the module at once, each in a worker process of its
                       own (default: the processors available, at most 8); rows keep their order

The module receives each entry's absolute path; the output shows paths as given, joined with
entry names. Set LINEPEEK_CODEPAGES=ANSI,OEM (e.g. 1252,437) to choose the module's code pages
on POSIX systems.

Exit status: 0 all paths shown; 1 some path could not be reached (reported on stderr, the others
still shown); 2 usage, module or output errors, an unreadable --files-from list, a worker that
ended.
)";

namespace {

enum class Takes { Nothing, Value };

struct OptionInfo {
  char shortName; // 0 when there is none
  const char* longName;
  Takes takes;
};

constexpr OptionInfo OptionTable[] = {
    {'f', "fields", Takes::Value},      {'u', "unit", Takes::Value},
    {'r', "recursive", Takes::Nothing}, {'o', "format", Takes::Value},
    {0, "width", Takes::Value},         {0, "module", Takes::Value},
    {0, "list-fields", Takes::Nothing}, {'h', "help", Takes::Nothing},
    {'V', "version", Takes::Nothing},   {0, "settings", Takes::Nothing},
    {0, "summary", Takes::Nothing},     {0, "summary-only", Takes::Nothing},
    {0, "where", Takes::Value},         {0, "files-from", Takes::Value},
    {'0', "null", Takes::Nothing},      {'j', "jobs", Takes::Value},
};

// The value of --`name` as a whole decimal number from `low` to `high`; else false with a
// message in `error`.
bool wholeNumber(const char* name, const std::string& value, long low, long high, int& number,
                 std::string& error) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || errno != 0 || parsed < low || parsed > high) {
    error = std::string("--") + name + " needs a whole number from " + std::to_string(low) +
            " to " + std::to_string(high) + ", not '" + value + "'";
    return false;
  }
  number = static_cast<int>(parsed);
  return true;
}

constexpr long MaxJobs = 64;

bool apply(const OptionInfo& option, const std::string& value, Options& options,
           std::string& error) {
  const std::string name = option.longName;
  if (name == "fields") {
    options.fields = value;
    options.fieldsGiven = true;
  } else if (name == "unit") {
    options.unit = value;
  } else if (name == "recursive") {
    options.recursive = true;
  } else if (name == "format") {
    const auto format = parseOutputFormat(value);
    if (!format) {
      error = "unknown format '" + value + "' (table, csv, tsv or json)";
      return false;
    }
    options.format = *format;
  } else if (name == "width") {
    if (!wholeNumber("width", value, 0, 100000, options.cellWidth, error)) return false;
  } else if (name == "module") {
    if (value.empty()) {
      error = "--module needs a path";
      return false;
    }
    options.modulePath = value;
  } else if (name == "list-fields") {
    options.listFields = true;
  } else if (name == "help") {
    options.showHelp = true;
  } else if (name == "version") {
    options.showVersion = true;
  } else if (name == "settings") {
    options.checkSettings = true;
  } else if (name == "summary" || name == "summary-only") {
    options.summary = true;
    options.summaryOnly = options.summaryOnly || name == "summary-only";
  } else if (name == "where") {
    options.conditions.push_back(value);
  } else if (name == "files-from") {
    if (value.empty()) {
      error = "--files-from needs a file, or '-' for standard input";
      return false;
    }
    options.filesFrom = value;
  } else if (name == "null") {
    options.nullSeparated = true;
  } else if (name == "jobs") {
    if (!wholeNumber("jobs", value, 1, MaxJobs, options.jobs, error)) return false;
  }
  return true;
}

} // namespace

bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  options = Options{};
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      options.paths.insert(options.paths.end(), args.begin() + static_cast<long>(i) + 1,
                           args.end());
      break;
    }
    if (arg.size() > 2 && arg[0] == '-' && arg[1] == '-') {
      const std::size_t equals = arg.find('=');
      const std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
      const OptionInfo* option = nullptr;
      for (const OptionInfo& candidate : OptionTable)
        if (name == candidate.longName) option = &candidate;
      if (option == nullptr) {
        error = "unknown option '--" + name + "'";
        return false;
      }
      std::string value;
      if (option->takes == Takes::Value) {
        if (equals != std::string::npos) {
          value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
          value = args[++i];
        } else {
          error = "option '--" + name + "' needs a value";
          return false;
        }
      } else if (equals != std::string::npos) {
        error = "option '--" + name + "' takes no value";
        return false;
      }
      if (!apply(*option, value, options, error)) return false;
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      // A cluster of short options: -rV, or -fLIST where the rest is the value.
      for (std::size_t k = 1; k < arg.size(); ++k) {
        const OptionInfo* option = nullptr;
        for (const OptionInfo& candidate : OptionTable)
          if (candidate.shortName != 0 && candidate.shortName == arg[k]) option = &candidate;
        if (option == nullptr) {
          error = std::string("unknown option '-") + arg[k] + "'";
          return false;
        }
        std::string value;
        if (option->takes == Takes::Value) {
          if (k + 1 < arg.size()) {
            value = arg.substr(k + 1);
          } else if (i + 1 < args.size()) {
            value = args[++i];
          } else {
            error = std::string("option '-") + arg[k] + "' needs a value";
            return false;
          }
          k = arg.size();
        }
        if (!apply(*option, value, options, error)) return false;
      }
      continue;
    }
    options.paths.push_back(arg);
  }
  if (options.nullSeparated && options.filesFrom.empty()) {
    error = "--null goes with --files-from";
    return false;
  }
  if (!options.filesFrom.empty() && !options.paths.empty()) {
    error = "give paths either with --files-from or as arguments, not both";
    return false;
  }
  return true;
}

int defaultJobs() {
  return std::min(availableCores(), 8);
}

} // namespace linepeek::cli
