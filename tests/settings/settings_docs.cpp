// Writes the documents of the module's tables: from the key table samples/linepeek.ini whole,
// and the settings block between the marker lines in README.md and in cli/linepeek-cli.1.in;
// from the charset table the names "Charset" answers, in README.md, the manual page and the
// bash completion. With --check it writes nothing and fails when a document is not what it
// would write.
//   linepeek_settings_docs <source folder> [--check]
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/charsets.h"
#include "settings/key_table.h"
#include "tests/support/doc_blocks.h"

namespace linepeek {
namespace {

// The table's names and texts are ASCII.
std::string narrow(std::u16string_view text) {
  return std::string(text.begin(), text.end());
}

bool isNumber(const SettingKey& row) {
  return row.kind == KeyKind::Number || row.kind == KeyKind::OnOff;
}

std::string defaultText(const SettingKey& row) {
  return isNumber(row) ? std::to_string(row.defaultNumber) : narrow(row.defaultText);
}

std::string range(const SettingKey& row, std::string_view dash, std::string_view quote) {
  switch (row.kind) {
  case KeyKind::Number:
  case KeyKind::OnOff:
    return std::to_string(row.lower) + std::string(dash) + std::to_string(row.upper);
  case KeyKind::ZeroSwitch:
    return std::string(quote) + "0" + std::string(quote) + " or anything else";
  case KeyKind::ExtensionList:
    return "text";
  case KeyKind::ByteList:
    return "hex list";
  }
  return "";
}

std::string comment(const std::string& text) {
  return wrap(text, "; ", 96);
}

std::string sampleIni() {
  std::string out = comment(
      "linepeek settings. Copy this file beside the module under the module's own name with the "
      "extension .ini (linepeek.ini beside linepeek.dll or linepeek.so). It is read once when the "
      "module loads. Every key below holds its default value; a missing key means the same. Sizes "
      "in KB count units of 1024 bytes. Numbers outside their range are clamped.");
  std::u16string_view section;
  for (const SettingKey& row : SettingKeys) {
    if (row.section != section) {
      section = row.section;
      out += "\n[" + narrow(section) + "]\n";
    }
    std::string text = markup(helpText(row.help), "\"", "\"");
    if (row.kind == KeyKind::Number) text += " Range " + range(row, "..", "") + ".";
    out += comment(text) + narrow(row.key) + "=" + defaultText(row) + "\n";
  }
  out +=
      "\n[" + narrow(ReplaceSection) + "]\n" + comment(markup(helpText(ReplaceHelp), "\"", "\""));
  for (int slot = 1; slot <= ReplaceSlots; ++slot)
    out += narrow(ReplaceKeyPrefix) + std::to_string(slot) + "=" + narrow(ReplaceDefault) + "\n";
  return out;
}

std::string readmeCell(std::string_view text) {
  return text.empty() ? "(empty)" : "`" + std::string(text) + "`";
}

std::string readmeTable() {
  std::string out = "| section | key | default | range | meaning |\n|---|---|---|---|---|\n";
  for (const SettingKey& row : SettingKeys) {
    const std::string shown = isNumber(row) || row.kind == KeyKind::ZeroSwitch
                                  ? defaultText(row)
                                  : readmeCell(defaultText(row));
    out += "| " + narrow(row.section) + " | " + narrow(row.key) + " | " + shown + " | " +
           range(row, "\u2013", "`") + " | " + helpText(row.help) + " |\n";
  }
  const std::string prefix = narrow(ReplaceKeyPrefix);
  out += "| " + narrow(ReplaceSection) + " | " + prefix + "1 \u2026 " + prefix +
         std::to_string(ReplaceSlots) + " | " + readmeCell(narrow(ReplaceDefault)) +
         " | `from=to` | " + helpText(ReplaceHelp) + " |\n";
  return out;
}

std::string manualSection() {
  std::string out;
  std::u16string_view section;
  for (const SettingKey& row : SettingKeys) {
    if (row.section != section) {
      section = row.section;
      out += ".SS [" + narrow(section) + "]\n";
    }
    out += ".TP\n\\fB" + narrow(row.key) + "\\fR=" + defaultText(row) + " (" +
           range(row, "\\(en", "") + ")\n" + roff(helpText(row.help));
  }
  const std::string prefix = narrow(ReplaceKeyPrefix);
  out += ".SS [" + narrow(ReplaceSection) + "]\n.TP\n\\fB" + prefix + "1\\fR ... \\fB" + prefix +
         std::to_string(ReplaceSlots) + "\\fR=" + narrow(ReplaceDefault) + " (from=to)\n" +
         roff(helpText(ReplaceHelp));
  return out;
}

// The names as code spans, wrapped as the README's prose.
std::string readmeCharsets() {
  std::string names;
  for (const Charset& charset : Charsets)
    names += std::string(names.empty() ? "" : ", ") + "`" + charset.name + "`";
  return wrap(names + ".", "", 100);
}

std::string manualCharsets() {
  std::string names;
  for (const Charset& charset : Charsets)
    names += std::string(names.empty() ? "" : ", ") + "`" + charset.name + "`";
  return roff(names + ".");
}

// One printf of every name, continued over lines of at most 100 bytes.
std::string completionCharsets() {
  std::string out = "  printf '%s\\n'";
  std::string line;
  for (const Charset& charset : Charsets) {
    if (!line.empty() && line.size() + 1 + std::strlen(charset.name) > 94) {
      out += " \\\n    " + line;
      line.clear();
    }
    line += (line.empty() ? "" : " ") + std::string(charset.name);
  }
  return out + " \\\n    " + line + "\n";
}

} // namespace
} // namespace linepeek

int main(int argc, char** argv) {
  using namespace linepeek;
  const auto settings = [](const char* path, Comment comment, std::string_view what,
                           std::string text) {
    return generatedBlock(path, comment, "settings/key_table.h", "settings_docs", what,
                          std::move(text));
  };
  const auto charsets = [](const char* path, Comment comment, std::string text) {
    return generatedBlock(path, comment, "base/charsets.h", "settings_docs", "charset names",
                          std::move(text));
  };
  return writeDocumentsMain(
      argc, argv, "linepeek_settings_docs",
      {{"samples/linepeek.ini", "", "", sampleIni(), "settings/key_table.h", "settings_docs"},
       settings("README.md", Comment::Markdown, "settings table", readmeTable()),
       settings("cli/linepeek-cli.1.in", Comment::Roff, "settings", manualSection()),
       charsets("README.md", Comment::Markdown, readmeCharsets()),
       charsets("cli/linepeek-cli.1.in", Comment::Roff, manualCharsets()),
       charsets("cli/linepeek-cli.bash", Comment::IndentedShell, completionCharsets())});
}
