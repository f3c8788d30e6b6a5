// The settings as the README's table, the sample INI and the manual page show them, held against
// the key table: the same keys in the same sections and order, with the same defaults and
// ranges. The explanations around them may be worded apart.
#include "settings/key_table.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_util.h"

namespace linepeek {
namespace {

using test::utf8;

// One key as a document shows it. In the sample INI, `range` holds the comment above the key.
struct DocKey {
  std::string section;
  std::string key;
  std::string defaultText;
  std::string range;
};

bool isNumberKind(KeyKind kind) {
  return kind == KeyKind::Number || kind == KeyKind::OnOff;
}

std::string numberRange(const SettingKey& row, const char* between) {
  return std::to_string(row.lower) + between + std::to_string(row.upper);
}

std::string shownDefault(const SettingKey& row) {
  return isNumberKind(row.kind) ? std::to_string(row.defaultNumber) : utf8(row.defaultText);
}

// The README and the manual page: one row per key, the pair slots as one row.
std::vector<DocKey> referenceRows() {
  std::vector<DocKey> rows;
  for (const SettingKey& row : SettingKeys) {
    std::string range;
    switch (row.kind) {
    case KeyKind::Number:
    case KeyKind::OnOff:
      range = numberRange(row, "-");
      break;
    case KeyKind::ZeroSwitch:
      range = "0 or anything else";
      break;
    case KeyKind::ExtensionList:
      range = "text";
      break;
    case KeyKind::ByteList:
      range = "hex list";
      break;
    }
    rows.push_back({utf8(row.section), utf8(row.key), shownDefault(row), range});
  }
  const std::string prefix = utf8(ReplaceKeyPrefix);
  rows.push_back({utf8(ReplaceSection), prefix + "1 ... " + prefix + std::to_string(ReplaceSlots),
                  utf8(ReplaceDefault), "from=to"});
  return rows;
}

// The sample INI: every key and slot. `range` is what the comment above a key must hold: a
// number's range as "1..64", for the other keys any comment at all.
std::vector<DocKey> sampleRows() {
  std::vector<DocKey> rows;
  for (const SettingKey& row : SettingKeys) {
    const bool hasRange = row.kind == KeyKind::Number;
    rows.push_back({utf8(row.section), utf8(row.key), shownDefault(row),
                    hasRange ? numberRange(row, "..") : ";"});
  }
  for (int slot = 1; slot <= ReplaceSlots; ++slot)
    rows.push_back({utf8(ReplaceSection), utf8(ReplaceKeyPrefix) + std::to_string(slot),
                    utf8(ReplaceDefault), ""});
  return rows;
}

std::vector<std::string> sourceLines(const char* name) {
  std::ifstream in(std::string(LINEPEEK_SOURCE_DIR) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in) << "cannot read " << name;
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
}

// Rows "| section | key | default | range | meaning |" under "## Settings".
std::vector<DocKey> readmeRows() {
  std::vector<DocKey> rows;
  bool inside = false;
  for (std::string line : sourceLines("README.md")) {
    if (line.rfind("## ", 0) == 0) inside = line == "## Settings";
    if (!inside || line.rfind("| ", 0) != 0) continue;
    for (const auto& [from, to] : {std::pair<const char*, const char*>{"`", ""},
                                   {"(empty)", ""},
                                   {"\u2013", "-"},
                                   {"\u2026", "..."}})
      replaceAll(line, from, to);
    std::vector<std::string> cells;
    std::istringstream parts(line.substr(1));
    for (std::string cell; std::getline(parts, cell, '|');)
      cells.push_back(cell.size() >= 2 ? cell.substr(1, cell.size() - 2) : "");
    if (cells.size() >= 4 && cells[0] != "section")
      rows.push_back({cells[0], cells[1], cells[2], cells[3]});
  }
  return rows;
}

// Under ".SH SETTINGS", ".SS [Section]" and then tag lines "\fBKey\fR=default (range)".
std::vector<DocKey> manualRows() {
  std::vector<DocKey> rows;
  bool inside = false;
  std::string section;
  const std::regex tag(R"(^([^=]+)=(.*) \(([^()]+)\)$)");
  const std::regex header(R"(^\.SS \[(\w+)\]$)");
  for (std::string line : sourceLines("cli/linepeek-cli.1.in")) {
    std::smatch match;
    if (line.rfind(".SH ", 0) == 0) {
      inside = line == ".SH SETTINGS";
    } else if (inside && std::regex_match(line, match, header)) {
      section = match[1];
    } else if (inside && line.rfind("\\fB", 0) == 0) {
      for (const char* font : {"\\fB", "\\fR", "\\fI"})
        replaceAll(line, font, "");
      replaceAll(line, "\\(en", "-");
      if (std::regex_match(line, match, tag)) {
        rows.push_back({section, match[1], match[2], match[3]});
      } else {
        rows.push_back({section, line + " (not \"key=default (range)\")", "", ""});
      }
    }
  }
  return rows;
}

// Keys with the comment lines just above each.
std::vector<DocKey> iniRows() {
  std::vector<DocKey> rows;
  std::string section;
  std::string comment;
  for (const std::string& line : sourceLines("samples/linepeek.ini")) {
    if (line.empty()) continue;
    if (line[0] == ';') {
      comment += line + "\n";
    } else if (line[0] == '[') {
      section = line.substr(1, line.find(']') - 1);
      comment.clear();
    } else {
      const std::size_t equals = line.find('=');
      rows.push_back({section, line.substr(0, equals),
                      equals == std::string::npos ? "" : line.substr(equals + 1), comment});
      comment.clear();
    }
  }
  return rows;
}

// One failure per difference, naming the document, the key and what differs.
void expectRows(const char* document, const std::vector<DocKey>& shown,
                const std::vector<DocKey>& table, bool rangeInComment) {
  for (std::size_t i = 0; i < std::max(shown.size(), table.size()); ++i) {
    if (i >= shown.size()) {
      ADD_FAILURE() << document << " lacks " << table[i].section << "/" << table[i].key
                    << ", which the key table has";
      continue;
    }
    const DocKey& doc = shown[i];
    const std::string name = doc.section + "/" + doc.key;
    if (i >= table.size()) {
      ADD_FAILURE() << document << " shows " << name << ", which the key table lacks";
      continue;
    }
    const DocKey& want = table[i];
    if (doc.section != want.section || doc.key != want.key) {
      ADD_FAILURE() << document << " shows " << name << " where the key table has " << want.section
                    << "/" << want.key << "; later keys not compared";
      return;
    }
    if (doc.defaultText != want.defaultText)
      ADD_FAILURE() << document << ": " << name << " default '" << doc.defaultText
                    << "', the key table says '" << want.defaultText << "'";
    const bool rangeMatches =
        rangeInComment ? doc.range.find(want.range) != std::string::npos : doc.range == want.range;
    if (!rangeMatches && rangeInComment)
      ADD_FAILURE() << document << ": the comment above " << name << " lacks '" << want.range
                    << "'";
    if (!rangeMatches && !rangeInComment)
      ADD_FAILURE() << document << ": " << name << " range '" << doc.range
                    << "', the key table says '" << want.range << "'";
  }
}

TEST(SettingsReference, ReadmeTable) {
  expectRows("README.md", readmeRows(), referenceRows(), false);
}

TEST(SettingsReference, ManualPage) {
  expectRows("cli/linepeek-cli.1.in", manualRows(), referenceRows(), false);
}

TEST(SettingsReference, SampleIni) {
  expectRows("samples/linepeek.ini", iniRows(), sampleRows(), true);
}

} // namespace
} // namespace linepeek
