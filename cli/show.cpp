#include "cli/show.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <system_error>

#include "cli/format.h"
#include "cli/listing.h"
#include "cli/plan.h"
#include "cli/pool.h"
#include "cli/system.h"
#include "cli/text.h"
#include "cli/worker_client.h"

namespace linepeek::cli {
namespace {

// The --files-from list: a file, or standard input for "-".
class PathList {
public:
  bool open(const std::string& name, std::string& error) {
    if (name == "-") {
      input_.emplace(readInput);
      return true;
    }
    errno = 0;
    file_.open(pathFromUtf8(name), std::ios::binary);
    if (!file_.is_open()) {
      error = "cannot read the list '" + name +
              "': " + std::error_code(errno, std::generic_category()).message();
      return false;
    }
    input_.emplace([this](char* buffer, std::size_t size) -> std::ptrdiff_t {
      file_.read(buffer, static_cast<std::streamsize>(size));
      return file_.bad() ? -1 : file_.gcount();
    });
    return true;
  }
  InputBuffer& input() { return *input_; }

private:
  std::ifstream file_;
  std::optional<InputBuffer> input_;
};

// The table's widths come from what is known before the first row: the cut width for texts and
// paths (and the paths given), the longest choice, the header for numbers.
std::vector<Column> rowColumns(const Options& options, const Plan& plan) {
  const bool json = options.format == OutputFormat::Json;
  Column path{json ? "path" : "Path", false, options.cellWidth, false};
  for (const std::string& given : options.paths)
    path.width = std::max(path.width, displayWidth(displayText(given)));
  std::vector<Column> columns{path};
  for (const SelectedField& field : plan.shown) {
    Column column{field.info->name, true, options.cellWidth, field.info->type == Numeric64};
    if (column.numeric) column.width = 0;
    if (field.info->type == MultipleChoice) {
      int longest = 0;
      for (const std::string& choice : splitUnits(field.info->units))
        longest = std::max(longest, displayWidth(displayText(choice)));
      column.width = options.cellWidth > 0 ? std::min(longest, options.cellWidth) : longest;
    }
    columns.push_back(std::move(column));
  }
  return columns;
}

std::vector<std::unique_ptr<Client>> makeClients(const Options& options, const HostModule& module,
                                                 const std::string& modulePath,
                                                 const std::vector<Request>& requests) {
  std::vector<std::unique_ptr<Client>> clients;
  const int jobs = options.jobs > 0 ? options.jobs : defaultJobs();
  if (jobs == 1) clients.push_back(std::make_unique<ModuleClient>(module, requests));
  for (int i = 0; jobs > 1 && i < jobs; ++i)
    clients.push_back(std::make_unique<WorkerClient>(modulePath, requests));
  return clients;
}

// Walks the paths, or the list's, handing each entry to `visit`; false when the list failed.
bool walk(const Options& options, PathList& list, const VisitFn& visit, const FailFn& failed) {
  if (options.filesFrom.empty()) {
    walkPaths(options.paths, options.recursive, visit, failed);
    return true;
  }
  return readPathList(
      list.input(), options.nullSeparated ? '\0' : '\n',
      [&](const std::string& path) { walkPath(path, options.recursive, visit, failed); });
}

} // namespace

ExitStatus showRows(const Options& options, const HostModule& module, const std::string& modulePath,
                    const std::vector<FieldInfo>& catalogue, Output& out) {
  Plan plan;
  std::string error;
  PathList list;
  if (!makePlan(options, catalogue, plan, error) ||
      (!options.filesFrom.empty() && !list.open(options.filesFrom, error))) {
    complain(error);
    return ExitStatus::Error;
  }
  Formatter formatter(options.format, options.cellWidth,
                      [&](std::string_view text) { out.add(text); });
  if (!options.summaryOnly) formatter.begin(rowColumns(options, plan), options.summary);

  // Rows stream to stdout; a progress line must not mix with them.
  Progress progress(isTerminal(Stream::Err) && !(isTerminal(Stream::Out) && !options.summaryOnly));
  bool anyUnreachable = false;
  std::vector<Value> cells;
  RowPool pool(
      makeClients(options, module, modulePath, plan.requests),
      [&](Row& row) {
        for (const Condition& condition : plan.conditions)
          if (!conditionHolds(condition, row.values[condition.position])) return;
        if (options.summary) plan.summary.add(row.entry.isFolder, row.values);
        if (options.summaryOnly) return;
        cells.assign(1, Value::ofText(row.entry.shownPath));
        const auto shown = row.values.begin() + static_cast<long>(plan.shown.size());
        cells.insert(cells.end(), std::make_move_iterator(row.values.begin()),
                     std::make_move_iterator(shown));
        formatter.row(cells);
      },
      [&](std::size_t answered) { progress.update(answered); });
  const bool listRead = walk(
      options, list, [&](const Entry& entry) { pool.add(entry); },
      [&](const std::string& shownPath, const std::string& reason) {
        anyUnreachable = true;
        progress.clear();
        complain("cannot access '" + shownPath + "': " + reason);
      });
  const bool answered = pool.finish(error);
  progress.clear();
  if (!options.summaryOnly) formatter.finish();
  if (options.summary && answered && listRead) formatter.summary(plan.summary.lines());
  out.flush();
  if (!answered || !listRead) {
    complain(answered ? "cannot read the list '" + options.filesFrom + "'" : error);
    return ExitStatus::Error;
  }
  return anyUnreachable ? ExitStatus::Unreachable : ExitStatus::Ok;
}

} // namespace linepeek::cli
