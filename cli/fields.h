// Which fields to ask for, and with which unit, from the user's words and the catalogue.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/host_module.h"
#include "cli/value.h"

namespace linepeek::cli {

// The fields shown when the user names none; those missing from a catalogue are left out.
inline constexpr std::string_view DefaultFields =
    "Type,Encoding,Charset,Line endings,Line count,1,-1";

struct SelectedField {
  const FieldInfo* info;
  int unitIndex; // passed with every request for this field
};

// Resolves a comma-separated list of field names, or "all", against the catalogue. Names match
// exactly, else ignoring ASCII case; blanks around names are ignored and a repeated name is
// shown once. `unit` (empty for the default, the first unit) picks each field's unit index by
// its position in the field's units, matched as names are; it must be offered by some field of the
// catalogue, and a field that lacks it gets index 0. On failure answers false with a message in
// `error`.
bool selectFields(std::string_view list, bool isDefaultList, std::string_view unit,
                  const std::vector<FieldInfo>& catalogue, std::vector<SelectedField>& selected,
                  std::string& error);

// The field named `name`: exactly, else ignoring ASCII case; null when there is none.
const FieldInfo* findField(std::string_view name, const std::vector<FieldInfo>& catalogue);

// The index of `unit` among the field's units, matched as names are; 0 when `unit` is empty or the
// field lacks it.
int unitIndexFor(const FieldInfo& field, std::string_view unit);

// One condition on the rows (--where): the row is kept when the text of the field's cell, as
// csv shows it, is one of `values` (with `negated`, when it is none of them); the text of a
// text field matches ignoring ASCII case. An empty value stands for an empty cell.
struct Condition {
  const FieldInfo* field = nullptr;
  bool negated = false;
  std::vector<std::string> values;
  std::size_t position = 0; // of the field's answer among a row's values; set by the caller
};

// Parses "FIELD=VALUE[,VALUE...]" or "FIELD!=VALUE[,VALUE...]". The field is found as by
// findField; the values of a choice field must be among its choices, matched exactly, else
// ignoring ASCII case, and are kept as the module spells them. Blanks around names and values
// are ignored. On a mistake answers false with a message in `error` that lists the field names
// (and the setting that offers a field the module leaves out) or the choices.
bool parseCondition(std::string_view text, const std::vector<FieldInfo>& catalogue,
                    Condition& condition, std::string& error);

bool conditionHolds(const Condition& condition, const Value& cell);

} // namespace linepeek::cli
