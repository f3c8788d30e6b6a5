#include "cli/settings_report.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "base/ascii.h"
#include "cli/format.h"
#include "cli/system.h"
#include "cli/text.h"
#include "cli/value.h"
#include "settings/settings_check.h"

namespace linepeek::cli {
namespace {

using Texts = std::vector<std::u16string>;

// A count as the notes write it, its thousands apart: 2047 -> "2,047".
std::string grouped(int count) {
  std::string digits = std::to_string(count);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(static_cast<std::size_t>(at), 1, ',');
  return digits;
}

// Section and key names as the INI reader compares them.
bool sameName(std::u16string_view a, std::u16string_view b) {
  return sameIgnoringAsciiCase(a, b);
}

// Edits (a unit inserted, removed, changed, or two neighbours swapped) that turn one name into
// the other, ASCII case ignored.
std::size_t editDistance(std::u16string_view a, std::u16string_view b) {
  const std::u16string x = asciiLowered(a);
  const std::u16string y = asciiLowered(b);
  const std::size_t width = y.size() + 1;
  std::vector<std::size_t> cost((x.size() + 1) * width);
  const auto at = [&](std::size_t i, std::size_t j) -> std::size_t& { return cost[i * width + j]; };
  for (std::size_t i = 0; i <= x.size(); ++i) {
    for (std::size_t j = 0; j <= y.size(); ++j) {
      if (i == 0 || j == 0) {
        at(i, j) = i + j;
        continue;
      }
      const std::size_t change = x[i - 1] == y[j - 1] ? 0 : 1;
      at(i, j) = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + change});
      if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1])
        at(i, j) = std::min(at(i, j), at(i - 2, j - 2) + 1);
    }
  }
  return at(x.size(), y.size());
}

struct KnownKey {
  std::u16string section;
  std::u16string key;
};

// Every key the module reads: the table's, then S1 to S20.
std::vector<KnownKey> knownKeys() {
  std::vector<KnownKey> keys;
  for (const SettingKey& row : SettingKeys)
    keys.push_back({std::u16string(row.section), std::u16string(row.key)});
  for (int slot = 1; slot <= ReplaceSlots; ++slot)
    keys.push_back({std::u16string(ReplaceSection), replaceKey(slot)});
  return keys;
}

// The candidate nearest to `name`, or null when none is close: one edit in five units, and at
// least one, so that a misspelling is caught and an unrelated name is not.
template <typename Candidate, typename NameOf>
const Candidate* nearest(std::u16string_view name, const std::vector<Candidate>& candidates,
                         NameOf nameOf) {
  const Candidate* best = nullptr;
  std::size_t bestDistance = 1 + name.size() / 5 + 1;
  for (const Candidate& candidate : candidates) {
    const std::size_t distance = editDistance(name, nameOf(candidate));
    if (distance < bestDistance) {
      best = &candidate;
      bestDistance = distance;
    }
  }
  return best;
}

// A section line's key and value, split at its first "="; false for a line without one.
bool splitLine(const std::u16string& line, std::u16string& key, std::u16string& value) {
  const std::size_t equals = line.find(u'=');
  if (equals == std::u16string::npos) return false;
  key = line.substr(0, equals);
  value = line.substr(equals + 1);
  return true;
}

// Whether the lines of a section hold `key`, as the reader finds it.
bool hasKey(const Texts& lines, std::u16string_view key) {
  std::u16string name;
  std::u16string value;
  return std::any_of(lines.begin(), lines.end(), [&](const std::u16string& line) {
    return splitLine(line, name, value) && sameName(name, key);
  });
}

std::string byteList(const ByteFlagTable& table) {
  std::string list;
  for (std::size_t byte = 0; byte < table.size(); ++byte) {
    if (table[byte] == 0) continue;
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(byte));
    list += list.empty() ? hex : std::string(" ") + hex;
  }
  return list;
}

// A key's value as `record` holds it.
Value shownValue(const SettingKey& row, const Settings& record) {
  switch (row.kind) {
  case KeyKind::Number:
    return Value::ofNumber(record.*row.number);
  case KeyKind::OnOff:
  case KeyKind::ZeroSwitch:
    return Value::ofText(record.*row.flag ? "on" : "off");
  case KeyKind::ExtensionList:
    return Value::ofText(utf16ToUtf8(record.*row.text));
  case KeyKind::ByteList:
    break;
  }
  return Value::ofText(byteList(record.*row.bytes));
}

class Report {
public:
  Report(const std::u16string& path, OutputFormat format)
      : path_(path), format_(format), keys_(knownKeys()) {
    loadSettingsFrom(path_, record_);
  }

  void run() {
    for (const SettingKey& row : SettingKeys)
      addKey(row);
    const Texts pairLines = linesOf(ReplaceSection);
    for (int slot = 1; slot <= ReplaceSlots; ++slot)
      addPair(slot, pairLines);
    addUnread();
  }

  const std::vector<std::vector<Value>>& rows() const { return rows_; }
  int notes() const { return notes_; }

private:
  std::u16string read(std::u16string_view section, const std::u16string& key, int units) const {
    return readIniString(std::u16string(section), key, std::u16string(), path_, units);
  }

  // The lines of the first section named `section`, which is the one the reader reads.
  Texts linesOf(std::u16string_view section) const {
    return platform::profileSection(std::u16string(section).c_str(), path_.c_str());
  }

  // The text the module read for a present key, and the note when the read cut it.
  Value presentText(std::u16string_view section, const std::u16string& key, std::u16string& text,
                    std::vector<std::string>& notes) const {
    text = read(section, key, IniValueUnits);
    if (text.size() == IniValueUnits - 1 &&
        read(section, key, IniValueUnits + 1).size() > text.size())
      notes.push_back("cut at " + grouped(IniValueUnits - 1) + " units");
    return Value::ofText(utf16ToUtf8(text));
  }

  Value missingText() const {
    return format_ == OutputFormat::Json ? Value() : Value::ofText("missing");
  }

  void addKey(const SettingKey& row) {
    const std::u16string key(row.key);
    std::vector<std::string> notes;
    std::u16string text;
    Value shown = missingText();
    if (hasKey(linesOf(row.section), key)) {
      shown = presentText(row.section, key, text, notes);
      if (row.kind == KeyKind::Number || row.kind == KeyKind::OnOff) {
        std::int32_t parsed = 0;
        const std::int32_t used = clampedNumber(text, row);
        if (!parseIniNumber(text, parsed)) {
          notes.push_back("not a number: default used");
        } else if (parsed != used) {
          notes.push_back("clamped from " + std::to_string(parsed) + " to " + std::to_string(used));
        }
      }
      if (row.kind == KeyKind::ByteList) {
        ByteFlagTable table{};
        Texts ignored;
        buildByteFlagTable(text, table, &ignored);
        std::string entries;
        for (const std::u16string& entry : ignored)
          entries += (entries.empty() ? "'" : ", '") + utf16ToUtf8(entry) + "'";
        if (!entries.empty()) notes.push_back("hex list: " + entries + " ignored");
      }
    }
    add(row.section, key, shown, shownValue(row, record_), shownValue(row, defaults_), notes);
  }

  // A pair is listed when its key is present; a missing one changes nothing.
  void addPair(int slot, const Texts& lines) {
    const std::u16string key = replaceKey(slot);
    if (!hasKey(lines, key)) return;
    std::vector<std::string> notes;
    std::u16string text;
    const Value shown = presentText(ReplaceSection, key, text, notes);
    bool hasEquals = false;
    const ReplacePair pair = splitReplacePair(text, &hasEquals);
    // An empty value and the default "=" ask for nothing, so they are not noted.
    if (!hasEquals && !text.empty()) notes.push_back("no \"=\": the pair does nothing");
    if (hasEquals && pair.from.empty() && text != ReplaceDefault)
      notes.push_back("empty from: the pair does nothing");
    Value used;
    if (!pair.from.empty())
      used = Value::ofText("'" + utf16ToUtf8(pair.from) + "' -> '" + utf16ToUtf8(pair.to) + "'");
    add(ReplaceSection, key, shown, used, Value(), notes);
  }

  // The sections and lines that the module does not read, in file order.
  void addUnread() {
    std::vector<std::u16string> sections;
    for (const KnownKey& known : keys_)
      if (std::find(sections.begin(), sections.end(), known.section) == sections.end())
        sections.push_back(known.section);
    Texts seen;
    for (const std::u16string& section : platform::profileSectionNames(path_.c_str())) {
      const auto same = [&](const std::u16string& other) { return sameName(other, section); };
      if (std::any_of(seen.begin(), seen.end(), same)) {
        add(section, u"", Value(), Value(), Value(), {"stands again: only the first is read"});
        continue;
      }
      seen.push_back(section);
      if (std::none_of(sections.begin(), sections.end(), same)) {
        const std::u16string* near =
            nearest(section, sections, [](const std::u16string& name) { return name; });
        add(section, u"", Value(), Value(), Value(),
            {"unknown section" + (near ? "; nearest: [" + utf16ToUtf8(*near) + "]" : "")});
      }
      addUnreadLines(section);
    }
  }

  void addUnreadLines(const std::u16string& section) {
    Texts seen;
    for (const std::u16string& line : linesOf(section)) {
      std::u16string key;
      std::u16string value;
      if (!splitLine(line, key, value)) {
        add(section, line, Value(), Value(), Value(), {"no \"=\": not read"});
        continue;
      }
      const auto same = [&](const std::u16string& other) { return sameName(other, key); };
      const Value text = Value::ofText(utf16ToUtf8(value));
      if (std::any_of(seen.begin(), seen.end(), same)) {
        add(section, key, text, Value(), Value(), {"stands again: only the first is read"});
        continue;
      }
      seen.push_back(key);
      const auto isKey = [&](const KnownKey& known) { return sameName(known.key, key); };
      if (std::any_of(keys_.begin(), keys_.end(), [&](const KnownKey& known) {
            return isKey(known) && sameName(known.section, section);
          }))
        continue;
      const auto known = std::find_if(keys_.begin(), keys_.end(), isKey);
      std::string note;
      if (known != keys_.end()) {
        note = "belongs in [" + utf16ToUtf8(known->section) + "]: not read here";
      } else {
        note = "unknown key";
        const KnownKey* near = nearest(key, keys_, [](const KnownKey& k) { return k.key; });
        if (near != nullptr) {
          note += "; nearest: " + utf16ToUtf8(near->key);
          if (!sameName(near->section, section)) note += " in [" + utf16ToUtf8(near->section) + "]";
        }
      }
      add(section, key, text, Value(), Value(), {note});
    }
  }

  void add(std::u16string_view section, std::u16string_view key, const Value& text,
           const Value& value, const Value& defaultValue, const std::vector<std::string>& notes) {
    std::string joined;
    for (const std::string& note : notes)
      joined += (joined.empty() ? "" : "; ") + note;
    notes_ += notes.empty() ? 0 : 1;
    rows_.push_back({Value::ofText(utf16ToUtf8(section)), Value::ofText(utf16ToUtf8(key)), text,
                     value, defaultValue, joined.empty() ? Value() : Value::ofText(joined)});
  }

  std::u16string path_;
  OutputFormat format_;
  std::vector<KnownKey> keys_;
  Settings record_;
  Settings defaults_;
  std::vector<std::vector<Value>> rows_;
  int notes_ = 0;
};

// Why the module would read nothing from `path` ("not found", "not readable"), or null.
const char* unreadable(const std::string& path) {
  const std::filesystem::path file = pathFromUtf8(path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return "not found";
  if (!std::ifstream(file, std::ios::binary).is_open()) return "not readable";
  return nullptr;
}

} // namespace

ExitStatus reportSettings(const Options& options, const std::string& modulePath,
                          const std::function<void(std::string_view)>& write, std::string& error) {
  if (options.paths.size() > 1) {
    error = "--settings takes one settings file at most";
    return ExitStatus::Error;
  }
  const bool named = !options.paths.empty();
  std::string shownPath =
      named ? options.paths[0] : utf16ToUtf8(iniPathFor(utf8ToUtf16(modulePath, true)));
  if (!named) {
    // The file the user edits: beside an installed module the settings are a link into /etc,
    // and the module's folder is reached through "..".
    std::error_code resolveError;
    const std::filesystem::path resolved =
        std::filesystem::weakly_canonical(pathFromUtf8(shownPath), resolveError);
    if (!resolveError) shownPath = pathToUtf8(resolved);
  }
  const char* const problem = unreadable(shownPath);
  const bool found = problem == nullptr;
  if (named && !found) {
    error = "cannot read settings file '" + shownPath + "': " + problem;
    return ExitStatus::Error;
  }
  // The INI reader takes full paths only: Windows looks for a bare name in its own folder.
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(pathFromUtf8(shownPath), ec);
  if (ec) full = pathFromUtf8(shownPath);

  Report report(hostFileName(full), options.format);
  report.run();
  const int notes = report.notes() + (found ? 0 : 1);
  const bool json = options.format == OutputFormat::Json;
  const bool table = options.format == OutputFormat::Table;
  if (json) {
    write("{\"file\": " + jsonString(shownPath) + ", \"found\": " + (found ? "true" : "false") +
          ", \"notes\": " + std::to_string(notes) + ", \"settings\": ");
  } else if (table) {
    write("File: " + shownPath +
          (found ? "" : " (" + std::string(problem) + ": every key at its default)") + "\n");
  }
  Formatter formatter(options.format, options.cellWidth, write);
  std::vector<Column> columns;
  for (const char* name : {"Section", "Key", "Text", "Value", "Default", "Note"}) {
    const std::string column = name;
    columns.push_back(
        {json ? asciiLowered(column) : column, column == "Text" || column == "Value"});
  }
  fitColumns(columns, report.rows(), options.cellWidth);
  formatter.begin(columns);
  for (const std::vector<Value>& row : report.rows())
    formatter.row(row);
  formatter.finish();
  if (json) write("}\n");
  if (table) write("Notes: " + std::to_string(notes) + "\n");
  return notes > 0 ? ExitStatus::Unreachable : ExitStatus::Ok;
}

} // namespace linepeek::cli
