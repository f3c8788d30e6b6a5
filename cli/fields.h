// Which fields to ask for, and with which unit, from the user's words and the catalogue.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/host_module.h"

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
// its position in the field's units; it must be offered by some field of the catalogue, and a
// field that lacks it gets index 0. On failure answers false with a message in `error`.
bool selectFields(std::string_view list, bool isDefaultList, std::string_view unit,
                  const std::vector<FieldInfo>& catalogue, std::vector<SelectedField>& selected,
                  std::string& error);

} // namespace linepeek::cli
