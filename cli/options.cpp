#include "cli/options.h"

#include <cerrno>
#include <cstdlib>

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

The module receives each entry's absolute path; the output shows paths as given, joined with
entry names. Set LINEPEEK_CODEPAGES=ANSI,OEM (e.g. 1252,437) to choose the module's code pages
on POSIX systems.

Exit status: 0 all paths shown; 1 some path could not be reached (reported on stderr, the others
still shown); 2 usage, module or output errors.
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
};

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
    char* end = nullptr;
    errno = 0;
    const long width = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || errno != 0 || width < 0 || width > 100000) {
      error = "--width needs a whole number from 0 to 100000, not '" + value + "'";
      return false;
    }
    options.cellWidth = static_cast<int>(width);
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
  return true;
}

} // namespace linepeek::cli
