// The rows of a run: the walk yields entries, the pool yields them answered in order, and the
// printer writes each row as it comes, so memory stays flat however big the tree is.
#pragma once

#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "cli/host_module.h"
#include "cli/options.h"
#include "cli/output.h"

namespace linepeek::cli {

// Shows the rows of the options' paths, or of their --files-from list, then the summary. Every
// failure is reported on stderr; answers the exit status.
ExitStatus showRows(const Options& options, const HostModule& module, const std::string& modulePath,
                    const std::vector<FieldInfo>& catalogue, Output& out);

} // namespace linepeek::cli
