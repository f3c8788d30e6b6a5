#include "cli/fields.h"

#include <algorithm>

#include "base/ascii.h"
#include "cli/text.h"

namespace linepeek::cli {
namespace {

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

const FieldInfo* findField(std::string_view name, const std::vector<FieldInfo>& catalogue) {
  for (const FieldInfo& field : catalogue)
    if (field.name == name) return &field;
  const std::string lowered = asciiLowered(name);
  for (const FieldInfo& field : catalogue)
    if (asciiLowered(field.name) == lowered) return &field;
  return nullptr;
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

} // namespace

bool selectFields(std::string_view list, bool isDefaultList, std::string_view unit,
                  const std::vector<FieldInfo>& catalogue, std::vector<SelectedField>& selected,
                  std::string& error) {
  std::vector<const FieldInfo*> chosen;
  if (trimBlanks(list) == "all") {
    for (const FieldInfo& field : catalogue)
      chosen.push_back(&field);
  } else {
    std::size_t start = 0;
    for (;;) {
      const std::size_t comma = list.find(',', start);
      const std::string_view name = trimBlanks(list.substr(start, comma - start));
      if (!name.empty()) {
        const FieldInfo* field = findField(name, catalogue);
        if (field == nullptr && !isDefaultList) {
          error = "unknown field '" + std::string(name) + "'; the module offers " +
                  fieldNames(catalogue);
          return false;
        }
        if (field != nullptr && std::find(chosen.begin(), chosen.end(), field) == chosen.end())
          chosen.push_back(field);
      }
      if (comma == std::string_view::npos) break;
      start = comma + 1;
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
      isOffered = isOffered || std::find(units.begin(), units.end(), unit) != units.end();
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
  for (const FieldInfo* field : chosen) {
    int unitIndex = 0;
    if (!unit.empty() && hasUnits(*field)) {
      const std::vector<std::string> units = splitUnits(field->units);
      const auto found = std::find(units.begin(), units.end(), unit);
      if (found != units.end()) unitIndex = static_cast<int>(found - units.begin());
    }
    selected.push_back({field, unitIndex});
  }
  return true;
}

} // namespace linepeek::cli
