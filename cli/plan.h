// What each row asks the module for, and what is done with the answers: the fields shown, the
// conditions of --where and the counts of --summary, from the options and the catalogue.
#pragma once

#include <string>
#include <vector>

#include "cli/fields.h"
#include "cli/host_module.h"
#include "cli/options.h"
#include "cli/summary.h"

namespace linepeek::cli {

struct Plan {
  std::vector<SelectedField> shown;  // the columns after the path (none with --summary-only)
  std::vector<Request> requests;     // the shown fields first, then those only the rest needs
  std::vector<Condition> conditions; // positions among the requests set
  Summary summary;                   // its fields' positions set
};

// False with a message in `error` for a field, unit or condition the catalogue does not have.
bool makePlan(const Options& options, const std::vector<FieldInfo>& catalogue, Plan& plan,
              std::string& error);

} // namespace linepeek::cli
