// Writes linepeek-cli's documents from its option table: the options of the manual page, the
// option words and value kinds of the bash completion, and the README's usage block, each
// between its marker lines. With --check it writes nothing and fails when one differs.
//   linepeek_cli_docs <source folder> [--check]
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/format.h"
#include "cli/options.h"
#include "tests/support/doc_blocks.h"

namespace linepeek::cli {
namespace {

// Roff for an option name: each "-" as "\-".
std::string roffName(std::string_view name) {
  std::string out;
  for (char c : name)
    out += c == '-' ? std::string("\\-") : std::string(1, c);
  return out;
}

std::string manualLabel(const OptionSpec& option) {
  const std::string longName = "\\-\\-" + roffName(option.longName);
  const std::string shortName =
      option.shortName != 0 ? "\\-" + std::string(1, option.shortName) : "";
  if (option.takes == Takes::Optional)
    return ".BR " + longName + " \" [\\fI" + option.argument + "\\fR]\"";
  if (option.takes == Takes::Nothing)
    return shortName.empty() ? ".B " + longName : ".BR " + shortName + " \", \" " + longName;
  if (shortName.empty()) return ".BI " + longName + " \" " + option.argument + "\"";
  return ".BR " + shortName + " \", \" " + longName + " \" \" \\fI" + option.argument + "\\fR";
}

std::string manualOptions(bool wholeTrees) {
  std::string out;
  for (const OptionSpec& option : optionTable())
    if (option.wholeTrees == wholeTrees)
      out += ".TP\n" + manualLabel(option) + "\n" + roff(option.details, '*');
  return out;
}

const char* kindName(ValueKind kind) {
  switch (kind) {
  case ValueKind::Number:
    return "number";
  case ValueKind::Path:
    return "path";
  case ValueKind::Format:
    return "format";
  case ValueKind::Unit:
    return "unit";
  case ValueKind::Fields:
    return "fields";
  case ValueKind::Where:
    return "where";
  case ValueKind::None:
    break;
  }
  return "";
}

std::string completionBlock() {
  std::string words;
  std::string cases;
  for (const OptionSpec& option : optionTable()) {
    const std::string longName = std::string("--") + option.longName;
    words += longName + "\\n";
    std::string names = longName;
    if (option.shortName != 0) {
      words += std::string("-") + option.shortName + "\\n";
      names = std::string("-") + option.shortName + " | " + longName;
    }
    if (option.kind != ValueKind::None)
      cases += "  " + names + ") echo " + kindName(option.kind) + " ;;\n";
  }
  std::string formats;
  for (const std::string_view name : FormatNames)
    formats += std::string(formats.empty() ? "" : "\\n") + std::string(name);
  words.resize(words.size() - 2);
  return "_linepeek_cli_options=$'" + words + "'\n_linepeek_cli_formats=$'" + formats +
         "'\n# What the value of an option is: number, path, format, unit, fields, where, or\n"
         "# nothing for an option without one.\n_linepeek_cli_value_kind() {\n  case $1 in\n" +
         cases + "  esac\n}\n";
}

std::string readmeUsage() {
  return "```text\n$ linepeek-cli --help\n" + usageText() + "```\n";
}

} // namespace
} // namespace linepeek::cli

int main(int argc, char** argv) {
  using namespace linepeek;
  const auto block = [](const char* path, Comment comment, std::string_view what, std::string text,
                        std::string_view suffix = "") {
    return generatedBlock(path, comment, "cli/options.cpp", "cli_docs", what, std::move(text),
                          suffix);
  };
  return writeDocumentsMain(
      argc, argv, "linepeek_cli_docs",
      {block("cli/linepeek-cli.1.in", Comment::Roff, "options", cli::manualOptions(false)),
       block("cli/linepeek-cli.1.in", Comment::Roff, "options", cli::manualOptions(true),
             " (whole trees)"),
       block("cli/linepeek-cli.bash", Comment::Shell, "options", cli::completionBlock()),
       block("README.md", Comment::Markdown, "usage", cli::readmeUsage())});
}
