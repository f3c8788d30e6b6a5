// Writes the settings documents from the key table: samples/linepeek.ini whole, and the block
// between the marker lines in README.md and in cli/linepeek-cli.1.in. With --check it writes
// nothing and fails when a document is not what it would write.
//   linepeek_settings_docs <source folder> [--check]
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>

#include "settings/key_table.h"

namespace linepeek {
namespace {

// The table's names and texts are ASCII.
std::string narrow(std::u16string_view text) {
  return std::string(text.begin(), text.end());
}

// `help` with each `code` span put between `open` and `close`.
std::string markup(std::string_view help, std::string_view open, std::string_view close) {
  std::string out;
  bool inside = false;
  for (char c : help) {
    if (c == '`') {
      out += inside ? close : open;
      inside = !inside;
    } else {
      out += c;
    }
  }
  return out;
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

// `text` in lines of at most `width` bytes where the words allow, each begun with `lead`.
std::string wrap(const std::string& text, const std::string& lead, std::size_t width) {
  std::string out;
  std::string line;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    if (!line.empty() && lead.size() + line.size() + 1 + word.size() > width) {
      out += lead + line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  return out + lead + line + "\n";
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
    std::string text = markup(row.help, "\"", "\"");
    if (row.kind == KeyKind::Number) text += " Range " + range(row, "..", "") + ".";
    out += comment(text) + narrow(row.key) + "=" + defaultText(row) + "\n";
  }
  out += "\n[" + narrow(ReplaceSection) + "]\n" + comment(markup(ReplaceHelp, "\"", "\""));
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
           range(row, "\u2013", "`") + " | " + std::string(row.help) + " |\n";
  }
  const std::string prefix = narrow(ReplaceKeyPrefix);
  out += "| " + narrow(ReplaceSection) + " | " + prefix + "1 \u2026 " + prefix +
         std::to_string(ReplaceSlots) + " | " + readmeCell(narrow(ReplaceDefault)) +
         " | `from=to` | " + std::string(ReplaceHelp) + " |\n";
  return out;
}

// Roff text: code in bold, each sentence on lines of its own, and no line that reads as a
// request.
std::string roff(std::string_view help) {
  std::string escaped;
  for (std::size_t i = 0; i < help.size(); ++i) {
    if (help[i] == '\\') {
      escaped += "\\e";
      continue;
    }
    if ((help[i] == '.' || help[i] == '\'') && (i == 0 || help[i - 1] == ' ')) escaped += "\\&";
    escaped += help[i];
  }
  const std::string text = markup(escaped, "\\fB", "\\fR");
  std::string out;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t stop = text.find(". ", start);
    const std::size_t end = stop == std::string::npos ? text.size() : stop + 1;
    out += wrap(text.substr(start, end - start), "", 80);
    start = end + 1;
  }
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
           range(row, "\\(en", "") + ")\n" + roff(row.help);
  }
  const std::string prefix = narrow(ReplaceKeyPrefix);
  out += ".SS [" + narrow(ReplaceSection) + "]\n.TP\n\\fB" + prefix + "1\\fR ... \\fB" + prefix +
         std::to_string(ReplaceSlots) + "\\fR=" + narrow(ReplaceDefault) + " (from=to)\n" +
         roff(ReplaceHelp);
  return out;
}

struct Document {
  const char* path;
  // The lines around the generated block; empty when the whole file is generated.
  std::string_view begin;
  std::string_view end;
  std::string text;
};

const std::string_view ReadmeBegin =
    "<!-- Generated from settings/key_table.h: cmake --build <build> --target settings_docs -->";
const std::string_view ReadmeEnd = "<!-- End of the generated settings table -->";
const std::string_view ManualBegin =
    ".\\\" Generated from settings/key_table.h: cmake --build <build> --target settings_docs";
const std::string_view ManualEnd = ".\\\" End of the generated settings";

// `old` with its generated block replaced; empty when the marker lines are missing.
std::string withBlock(const std::string& old, const Document& document) {
  if (document.begin.empty()) return document.text;
  const std::string begin = std::string(document.begin) + "\n";
  const std::size_t from = old.find(begin);
  const std::size_t to = old.find(std::string(document.end) + "\n", from);
  if (from == std::string::npos || to == std::string::npos) return "";
  return old.substr(0, from + begin.size()) + document.text + old.substr(to);
}

} // namespace
} // namespace linepeek

int main(int argc, char** argv) {
  using namespace linepeek;
  const bool check = argc == 3 && std::string_view(argv[2]) == "--check";
  if (argc != 2 && !check) {
    std::cerr << "usage: linepeek_settings_docs <source folder> [--check]\n";
    return 2;
  }
  const Document documents[] = {
      {"samples/linepeek.ini", "", "", sampleIni()},
      {"README.md", ReadmeBegin, ReadmeEnd, readmeTable()},
      {"cli/linepeek-cli.1.in", ManualBegin, ManualEnd, manualSection()},
  };
  int status = 0;
  for (const Document& document : documents) {
    const std::string path = std::string(argv[1]) + "/" + document.path;
    std::ifstream in(path, std::ios::binary);
    const std::string old{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string updated = withBlock(old, document);
    if (updated.empty()) {
      std::cerr << path << ": no lines \"" << document.begin << "\" and \"" << document.end
                << "\" around the settings\n";
      return 2;
    }
    if (updated == old) continue;
    if (check) {
      std::cerr << document.path << " is not what settings/key_table.h gives; write it again "
                << "with: cmake --build <build> --target settings_docs\n";
      status = 1;
    } else if (!(std::ofstream(path, std::ios::binary) << updated)) {
      std::cerr << "cannot write " << path << "\n";
      return 2;
    } else {
      std::cout << "wrote " << document.path << "\n";
    }
  }
  return status;
}
