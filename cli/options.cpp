#include "cli/options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "cli/system.h"

namespace linepeek::cli {
namespace {

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

bool nonEmpty(const std::string& value, const char* message, std::string& target,
              std::string& error) {
  if (value.empty()) {
    error = message;
    return false;
  }
  target = value;
  return true;
}

using O = Options;
using S = std::string;

const std::vector<OptionSpec> Table = {
    {'f', "fields", Takes::Value, "list", ValueKind::Fields, false,
     "field names as the module's catalogue has them (\"1\"..\"10\", \"-3\", \"-2\", \"-1\", "
     "\"Line count\", \"Encoding\", \"Type\", \"Line endings\" and \"Charset\" if offered), "
     "comma-separated, or \"all\" (default: Type,Encoding,Charset,Line endings,Line count,1,-1, "
     "where offered)",
     "The fields to show: names from the module's catalogue (see `FIELDS`), separated by commas, "
     "or `all` for every field. The default is `Type,Encoding,Charset,Line endings,Line "
     "count,1,-1`; "
     "a field the module does not offer is left out.",
     [](O& o, const S& v, S&) {
       o.fields = v;
       o.fieldsGiven = true;
       return true;
     }},
    {'u', "unit", Takes::Value, "unit", ValueKind::Unit, false,
     "unit for the line fields: win (ANSI code page, the default), dos (OEM) or auto, where the "
     "module offers it; letter case is ignored",
     "The code page of the line fields of 8-bit files: `win` (the ANSI code page, the default), "
     "`dos` (the OEM code page) or `auto`, where the module offers it; letter case is ignored. "
     "UTF-8 and UTF-16 files ignore it.",
     [](O& o, const S& v, S&) {
       o.unit = v;
       return true;
     }},
    {'r', "recursive", Takes::Nothing, nullptr, ValueKind::None, false,
     "descend into subfolders (links to folders are not followed)",
     "Descend into subfolders. Symbolic links to folders are shown but not followed.",
     [](O& o, const S&, S&) {
       o.recursive = true;
       return true;
     }},
    {'o', "format", Takes::Value, "format", ValueKind::Format, false,
     "table (default, also in pipes), csv (RFC 4180), tsv (\\t \\n \\r \\\\ escaped) or json (an "
     "array of objects; null where the module gave no value)",
     "The output format: `table`, aligned columns, the default also when the output is a pipe; "
     "`csv`, RFC 4180 with CRLF line ends; `tsv`, tab-separated, with tab, line feed, carriage "
     "return and backslash written as `\\t`, `\\n`, `\\r` and `\\\\`; `json`, an array of "
     "objects, one per entry, `null` where the module gave no value. Every format is written "
     "as the entries are answered; a table takes its column widths from what is known before "
     "its first row (the field's choices, the cut width, the header), and a longer cell makes "
     "its row wider.",
     [](O& o, const S& v, S& e) {
       const auto format = parseOutputFormat(v);
       if (!format) e = "unknown format '" + v + "' (table, csv, tsv or json)";
       if (format) o.format = *format;
       return format.has_value();
     }},
    {0, "width", Takes::Value, "n", ValueKind::Number, false,
     "cut table cells longer than N columns with an ellipsis (default 40; 0: no cut; paths are "
     "never cut)",
     "Cut table cells longer than *n* columns with an ellipsis; 0 never cuts. The default is 40. "
     "Paths are never cut.",
     [](O& o, const S& v, S& e) { return wholeNumber("width", v, 0, 100000, o.cellWidth, e); }},
    {0, "module", Takes::Value, "path", ValueKind::Path, false,
     "the module to load (default: linepeek.so or linepeek.dll beside this program, or else in "
     "../lib/linepeek/ from this program's folder)",
     "The module to load. By default `linepeek.so` beside the program, or else in "
     "*../lib/linepeek/* from the program's folder (see `FILES`).",
     [](O& o, const S& v, S& e) { return nonEmpty(v, "--module needs a path", o.modulePath, e); }},
    {0, "list-fields", Takes::Nothing, nullptr, ValueKind::None, false,
     "print the module's field catalogue with types and units",
     "Print the module's field catalogue (index, name, type, units) in the chosen format.",
     [](O& o, const S&, S&) {
       o.listFields = true;
       return true;
     }},
    {0, "settings", Takes::Optional, "file", ValueKind::Path, false,
     "check a settings file as the module reads it: every key with its text, the value used and "
     "the default, the replacement pairs, and notes on what the module ignores (default FILE: "
     "the .ini beside the module, named like it); exit status 1 when there is a note",
     "Check a settings file as the module reads it, with the module's own settings code and the "
     "system's INI reader. One row per key gives its section, the text in the file (or "
     "`missing`), the value the module uses and the default, with a note where the line does not "
     "do what it seems to: a number clamped into its range, a number that does not parse, hex "
     "list entries that are ignored, a value cut after 2047 UTF-16 code units. The replacement "
     "pairs in the file follow, with a note for a value without `=` and for an empty *from*; "
     "then every section and line that the module does not read: an unknown section or key with "
     "the nearest known name, a key in the wrong section, a line without `=`, and a section or "
     "key that stands again, of which only the first is read. Without *file*, the file the "
     "module reads is checked: the one beside the module (see `--module`), named like it with "
     "the extension *.ini*. The file may follow as the next argument or as `--settings=`*file*. "
     "With `-o json` the report is an object with the file, the number of notes and the rows; "
     "csv and tsv give the rows only. Blanks around a value are trimmed before any of this is "
     "seen, so the report cannot tell them (see `SETTINGS`).",
     [](O& o, const S& v, S&) {
       o.checkSettings = true;
       if (!v.empty()) o.paths.push_back(v);
       return true;
     }},
    {'h', "help", Takes::Nothing, nullptr, ValueKind::None, false, "show this help",
     "Print a summary of the options.",
     [](O& o, const S&, S&) {
       o.showHelp = true;
       return true;
     }},
    {'V', "version", Takes::Nothing, nullptr, ValueKind::None, false, "show the version",
     "Print the version.",
     [](O& o, const S&, S&) {
       o.showVersion = true;
       return true;
     }},
    {0, "summary", Takes::Nothing, nullptr, ValueKind::None, true,
     "after the rows, count files and folders, the rows per Type, Encoding and Line endings, and "
     "the sum of Line count (in json an object beside the rows)",
     "After the rows, counts: files and folders, the rows per value of `Type`, `Encoding` and "
     "`Line endings` (those the module offers), and the sum of `Line count`. They are asked for "
     "even when `-f` does not show them, and count the rows that `--where` keeps. In table, csv "
     "and tsv the counts are a table of their own (Summary, Value, Count) after an empty line; in "
     "json the document is an object with the rows under `rows` and the counts under `summary`.",
     [](O& o, const S&, S&) {
       o.summary = true;
       return true;
     }},
    {0, "summary-only", Takes::Nothing, nullptr, ValueKind::None, true,
     "the counts without the rows",
     "The counts without the rows; in json an object with `summary` only.",
     [](O& o, const S&, S&) {
       o.summary = o.summaryOnly = true;
       return true;
     }},
    {0, "where", Takes::Value, "cond", ValueKind::Where, true,
     "keep only the rows where FIELD=VALUE[,VALUE...] holds (one of the values; FIELD!=... : "
     "none of them; an empty VALUE is an empty cell); may be repeated, and every condition must "
     "hold",
     "*cond* is *field*`=`*value*[`,`*value*...]: keep only the rows whose *field* has one of "
     "the values, as csv shows them; *field*`!=`*value* keeps the rows where it has none of "
     "them. An empty *value* stands for an empty cell. The field need not be shown. Field names, "
     "units and the values of a choice or text field may be written in any letter case; a field "
     "the module does not offer, or a value that is not one of a choice field's choices, is a "
     "usage error that lists the names or the choices. The option may be repeated: every "
     "condition must hold.",
     [](O& o, const S& v, S&) {
       o.conditions.push_back(v);
       return true;
     }},
    {0, "files-from", Takes::Value, "file", ValueKind::Path, true,
     "the paths from FILE, one a line, or from standard input with '-'",
     "Read the paths from *file*, or from standard input when it is `-`, one a line (LF or CR "
     "LF); empty lines are skipped. Each is taken as a *path* argument would be: a folder shows "
     "its entries, so give `find -type f` for files only. No *path* may be given beside it.",
     [](O& o, const S& v, S& e) {
       return nonEmpty(v, "--files-from needs a file, or '-' for standard input", o.filesFrom, e);
     }},
    {'0', "null", Takes::Nothing, nullptr, ValueKind::None, true,
     "the names in the --files-from list end with NUL, as find -print0 writes",
     "The names in the list end with a NUL byte, as `find -print0` and `git ls-files -z` write "
     "them.",
     [](O& o, const S&, S&) {
       o.nullSeparated = true;
       return true;
     }},
    {'j', "jobs", Takes::Value, "n", ValueKind::Number, true,
     "ask N instances of the module at once (1 to 64), each in a worker process of its own "
     "(default: the processors available, at most 8); rows keep their order",
     "Ask *n* instances of the module at once (1 to 64): each is a worker process of this "
     "program that loads the same module file, so each reads the same settings file beside it. "
     "The rows come out in the order of `-j 1`, which asks the module loaded by this process "
     "itself. The default is the number of processors this process may use, at most 8. A worker "
     "that ends on its own (a module that crashed on a file) is reported with the first of the "
     "entries it was asked about, and the run ends with status 2; the rows before those entries "
     "are shown.",
     [](O& o, const S& v, S& e) { return wholeNumber("jobs", v, 1, MaxJobs, o.jobs, e); }},
};

const OptionSpec* findLong(const std::string& name) {
  for (const OptionSpec& option : Table)
    if (name == option.longName) return &option;
  return nullptr;
}

const OptionSpec* findShort(char name) {
  for (const OptionSpec& option : Table)
    if (option.shortName != 0 && option.shortName == name) return &option;
  return nullptr;
}

// One long option at args[i], which starts with "--"; moves `i` past a value it takes.
bool parseLong(const std::vector<std::string>& args, std::size_t& i, Options& options,
               std::string& error) {
  const std::string& arg = args[i];
  const std::size_t equals = arg.find('=');
  const std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
  const OptionSpec* option = findLong(name);
  if (option == nullptr) {
    error = "unknown option '--" + name + "'";
    return false;
  }
  std::string value;
  if (equals != std::string::npos && option->takes == Takes::Nothing) {
    error = "option '--" + name + "' takes no value";
    return false;
  }
  if (equals != std::string::npos) {
    value = arg.substr(equals + 1);
  } else if (option->takes == Takes::Value) {
    if (i + 1 == args.size()) {
      error = "option '--" + name + "' needs a value";
      return false;
    }
    value = args[++i];
  }
  return option->apply(options, value, error);
}

// A cluster of short options at args[i]: -rV, or -fLIST where the rest is the value.
bool parseShort(const std::vector<std::string>& args, std::size_t& i, Options& options,
                std::string& error) {
  const std::string& arg = args[i];
  for (std::size_t k = 1; k < arg.size(); ++k) {
    const OptionSpec* option = findShort(arg[k]);
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
    if (!option->apply(options, value, error)) return false;
  }
  return true;
}

// `text` in lines of at most `width` columns where the words allow, each after `indent`
// spaces; the first line goes on from `column`.
std::string wrapped(const std::string& text, std::size_t column, std::size_t indent,
                    std::size_t width) {
  std::string out;
  std::istringstream words(text);
  std::size_t at = column;
  bool lineEmpty = true;
  for (std::string word; words >> word;) {
    if (!lineEmpty && at + 1 + word.size() > width) {
      out += "\n" + std::string(indent, ' ');
      at = indent;
      lineEmpty = true;
    }
    if (!lineEmpty) {
      out += ' ';
      ++at;
    }
    out += word;
    at += word.size();
    lineEmpty = false;
  }
  return out + "\n";
}

std::string upper(const char* text) {
  std::string out = text;
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

constexpr const char* UsageHead =
    "Usage: linepeek-cli [options] [PATH...]\n"
    "Shows what the linepeek content module answers for files, as a file manager would show it.\n"
    "A folder shows its entries (folders first, then files, each sorted by name); no PATH: the\n"
    "current folder.\n";

constexpr const char* UsageTail = "\nThe module receives each entry's absolute path; the output "
                                  "shows paths as given, joined with\n"
                                  "entry names. Set LINEPEEK_CODEPAGES=ANSI,OEM (e.g. 1252,437) to "
                                  "choose the module's code pages\n"
                                  "on POSIX systems.\n"
                                  "\n"
                                  "Exit status: 0 all paths shown; 1 some path could not be "
                                  "reached or read (reported on stderr,\n"
                                  "the others still shown); 2 usage, module or output errors, an "
                                  "unreadable --files-from list, a\n"
                                  "worker that ended. On POSIX systems a closed pipe on standard "
                                  "output ends the program without\n"
                                  "a word, as it ends cat.\n";

constexpr std::size_t HelpColumn = 23;
constexpr std::size_t HelpWidth = 100;

} // namespace

const std::vector<OptionSpec>& optionTable() {
  return Table;
}

bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  options = Options{};
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      options.paths.insert(options.paths.end(), args.begin() + static_cast<long>(i) + 1,
                           args.end());
      break;
    }
    const bool isLong = arg.size() > 2 && arg[0] == '-' && arg[1] == '-';
    const bool isShort = !isLong && arg.size() > 1 && arg[0] == '-';
    if (isLong && !parseLong(args, i, options, error)) return false;
    if (isShort && !parseShort(args, i, options, error)) return false;
    if (!isLong && !isShort) options.paths.push_back(arg);
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

std::string usageText() {
  std::string out = UsageHead;
  for (const bool wholeTrees : {false, true}) {
    out += wholeTrees ? "\nWhole trees:\n" : "\nOptions:\n";
    for (const OptionSpec& option : Table) {
      if (option.wholeTrees != wholeTrees) continue;
      std::string label = option.shortName != 0 ? std::string("  -") + option.shortName + ", --"
                                                : std::string("      --");
      label += option.longName;
      if (option.takes == Takes::Value) label += " " + upper(option.argument);
      if (option.takes == Takes::Optional) label += "[=" + upper(option.argument) + "]";
      out += label;
      if (label.size() + 2 > HelpColumn) {
        out += "\n" + std::string(HelpColumn, ' ');
      } else {
        out.append(HelpColumn - label.size(), ' ');
      }
      out += wrapped(option.summary, HelpColumn, HelpColumn, HelpWidth);
    }
  }
  return out + UsageTail;
}

int defaultJobs() {
  return std::min(availableCores(), 8);
}

} // namespace linepeek::cli
