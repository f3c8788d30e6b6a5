#include "cli/fields.h"

#include <algorithm>

#include "base/ascii.h"
#include "base/blanks.h"
#include "cli/text.h"
#include "settings/settings_check.h"

namespace linepeek::cli {
namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return sameIgnoringAsciiCase(a, b);
}

// The position of `word` among `words`: exactly, else ignoring ASCII case; words.size() when
// it is not there.
std::size_t positionOf(const std::vector<std::string>& words, std::string_view word) {
  const auto exact = std::find(words.begin(), words.end(), word);
  if (exact != words.end()) return static_cast<std::size_t>(exact - words.begin());
  const auto alike = std::find_if(words.begin(), words.end(),
                                  [&](const std::string& w) { return sameIgnoringCase(w, word); });
  return static_cast<std::size_t>(alike - words.begin());
}

// Multiple-choice fields carry choices, not units, in the units text.
bool hasUnits(const FieldInfo& field) {
  return field.type != MultipleChoice && !field.units.empty();
}

std::string fieldNames(const std::vector<FieldInfo>& catalogue) {
  std::string names;
  for (const FieldInfo& field : catalogue) {
    if (!names.empty()) names += ", ";
    names += "\"" + field.name + "\"";
  }
  return names;
}

// The setting that makes the module offer the field `name` ("LineEndings" for "Line endings"),
// from the key table's texts, which say "offers the field `NAME`"; empty for any other field.
std::string switchFor(std::string_view name) {
  for (const SettingKey& row : SettingKeys) {
    const std::string help(row.help);
    const std::string marker = "offers the field `";
    const std::size_t at = help.find(marker);
    if (at == std::string::npos) continue;
    const std::size_t start = at + marker.size();
    if (sameIgnoringCase(help.substr(start, help.find('`', start) - start), name))
      return std::string(row.key.begin(), row.key.end()) + "=1 in [" +
             std::string(row.section.begin(), row.section.end()) + "]";
  }
  return {};
}

std::string unknownField(std::string_view name, const std::vector<FieldInfo>& catalogue) {
  const std::string setting = switchFor(name);
  return "unknown field '" + std::string(name) + "'; the module offers " + fieldNames(catalogue) +
         (setting.empty()
              ? ""
              : ", and '" + std::string(name) + "' with " + setting + " of its settings");
}

// The text between commas, without blanks around it; an empty text gives one empty part.
std::vector<std::string_view> splitList(std::string_view list) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t comma = list.find(',', start);
    parts.push_back(trimBlanks(list.substr(start, comma - start)));
    if (comma == std::string_view::npos) return parts;
    start = comma + 1;
  }
}

} // namespace

const FieldInfo* findField(std::string_view name, const std::vector<FieldInfo>& catalogue) {
  for (const FieldInfo& field : catalogue)
    if (field.name == name) return &field;
  for (const FieldInfo& field : catalogue)
    if (sameIgnoringCase(field.name, name)) return &field;
  return nullptr;
}

int unitIndexFor(const FieldInfo& field, std::string_view unit) {
  if (unit.empty() || !hasUnits(field)) return 0;
  const std::vector<std::string> units = splitUnits(field.units);
  const std::size_t found = positionOf(units, unit);
  return found == units.size() ? 0 : static_cast<int>(found);
}

bool selectFields(std::string_view list, bool isDefaultList, std::string_view unit,
                  const std::vector<FieldInfo>& catalogue, std::vector<SelectedField>& selected,
                  std::string& error) {
  std::vector<const FieldInfo*> chosen;
  if (trimBlanks(list) == "all") {
    for (const FieldInfo& field : catalogue)
      chosen.push_back(&field);
  } else {
    for (const std::string_view name : splitList(list)) {
      if (name.empty()) continue;
      const FieldInfo* field = findField(name, catalogue);
      if (field == nullptr && !isDefaultList) {
        error = unknownField(name, catalogue);
        return false;
      }
      if (field != nullptr && std::find(chosen.begin(), chosen.end(), field) == chosen.end())
        chosen.push_back(field);
    }
    if (chosen.empty() && isDefaultList) {
      for (const FieldInfo& field : catalogue)
        chosen.push_back(&field);
    } else if (chosen.empty()) {
      error = "no field named in '" + std::string(list) + "'";
      return false;
    }
  }

  // A unit that no field of the catalogue offers is a mistake; a chosen field that lacks it
  // (such as a count or a choice) is asked with its first unit.
  if (!unit.empty()) {
    std::string offered;
    bool isOffered = false;
    for (const FieldInfo& field : catalogue) {
      if (!hasUnits(field)) continue;
      const std::vector<std::string> units = splitUnits(field.units);
      isOffered = isOffered || positionOf(units, unit) < units.size();
      if (offered.find(field.units) == std::string::npos)
        offered += (offered.empty() ? "" : ", ") + field.units;
    }
    if (!isOffered) {
      error = "unknown unit '" + std::string(unit) + "'; the module offers " +
              (offered.empty() ? std::string("no units") : offered);
      return false;
    }
  }
  selected.clear();
  for (const FieldInfo* field : chosen)
    selected.push_back({field, unitIndexFor(*field, unit)});
  return true;
}

bool parseCondition(std::string_view text, const std::vector<FieldInfo>& catalogue,
                    Condition& condition, std::string& error) {
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos || equals == 0) {
    error = "--where needs FIELD=VALUE or FIELD!=VALUE, not '" + std::string(text) + "'";
    return false;
  }
  condition.negated = text[equals - 1] == '!';
  const std::string_view name = trimBlanks(text.substr(0, equals - (condition.negated ? 1 : 0)));
  condition.field = findField(name, catalogue);
  if (condition.field == nullptr) {
    error = unknownField(name, catalogue) + " (in --where)";
    return false;
  }
  const bool isChoice = condition.field->type == MultipleChoice;
  const std::vector<std::string> choices = splitUnits(condition.field->units);
  condition.values.clear();
  for (const std::string_view value : splitList(text.substr(equals + 1))) {
    const std::size_t found = positionOf(choices, value);
    if (!isChoice || value.empty()) {
      condition.values.emplace_back(value);
    } else if (found < choices.size()) {
      condition.values.push_back(choices[found]);
    } else {
      std::string listed;
      for (const std::string& choice : choices)
        listed += (listed.empty() ? "\"" : ", \"") + choice + "\"";
      error = "'" + std::string(value) + "' is not a choice of '" + condition.field->name +
              "'; its choices are " + listed;
      return false;
    }
  }
  return true;
}

bool conditionHolds(const Condition& condition, const Value& cell) {
  const std::string text = plainText(cell);
  // Texts (type 11) match ignoring ASCII case, as choices do; choices were spelt as the module
  // spells them when the condition was read.
  const bool listed = condition.field->type == StringW
                          ? positionOf(condition.values, text) < condition.values.size()
                          : std::find(condition.values.begin(), condition.values.end(), text) !=
                                condition.values.end();
  return listed != condition.negated;
}

} // namespace linepeek::cli
