#include "cli/show.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <system_error>

#include "base/charsets.h"
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
    std::error_code ec;
    if (std::filesystem::is_directory(pathFromUtf8(name), ec)) {
      error = "cannot read the list '" + name +
              "': " + std::make_error_code(std::errc::is_a_directory).message();
      return false;
    }
    errno = 0;
    file_.open(pathFromUtf8(name), std::ios::binary);
    if (!file_.is_open()) {
      error = "cannot read the list '" + name +
              "': " + std::error_code(errno, std::generic_category()).message();
      return false;
    }
    input_.emplace([this](char* buffer, std::size_t size) -> std::ptrdiff_t {
      errno = 0;
      file_.read(buffer, static_cast<std::streamsize>(size));
      if (!file_.bad()) return file_.gcount();
      readError_ = errno;
      return -1;
    });
    return true;
  }
  InputBuffer& input() { return *input_; }
  // Why reading the list failed.
  std::string failure(const std::string& name) const {
    const int code = readError_ != 0 ? readError_ : EIO;
    return "cannot read the list '" + name +
           "': " + std::error_code(code, std::generic_category()).message();
  }

private:
  std::ifstream file_;
  std::optional<InputBuffer> input_;
  int readError_ = 0;
};

// A file whose every field came back empty and that this process cannot open either: the row
// says nothing, so the reason is told. Folders, and readable files without values (an empty
// file), are not.
bool isUnreadable(const Row& row, std::string& reason) {
  if (row.entry.isFolder) return false;
  for (const Value& value : row.values)
    if (value.kind != Value::Kind::None) return false;
  reason = unreadableReason(row.entry.fullPath);
  return !reason.empty();
}

// The table's widths come from what is known before the first row: the cut width for texts and
// paths (and the paths given), the longest choice, the longest name "Charset" can answer, the
// header for numbers.
std::vector<Column> rowColumns(const Options& options, const Plan& plan) {
  const bool json = options.format == OutputFormat::Json;
  Column path{json ? "path" : "Path", false, options.cellWidth, false};
  for (const std::string& given : options.paths)
    path.width = std::max(path.width, displayWidth(displayText(given)));
  std::vector<Column> columns{path};
  for (const SelectedField& field : plan.shown) {
    Column column{field.info->name, true, options.cellWidth, field.info->type == Numeric64};
    if (column.numeric) column.width = 0;
    int longest = -1;
    if (field.info->type == MultipleChoice) {
      for (const std::string& choice : splitUnits(field.info->units))
        longest = std::max(longest, displayWidth(displayText(choice)));
    } else if (field.info->name == CharsetFieldName) {
      for (const Charset& charset : Charsets)
        longest = std::max(longest, displayWidth(charset.name));
    }
    if (longest >= 0) {
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
      [&](const std::string& path) { return walkPath(path, options.recursive, visit, failed); });
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
  std::string reason;
  RowPool pool(
      makeClients(options, module, modulePath, plan.requests),
      [&](Row& row) {
        if (isUnreadable(row, reason)) {
          anyUnreachable = true;
          progress.clear();
          complain("cannot read '" + row.entry.shownPath + "': " + reason);
        }
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
      options, list, [&](const Entry& entry) { return pool.add(entry); },
      [&](const std::string& shownPath, const std::string& why) {
        anyUnreachable = true;
        progress.clear();
        complain("cannot access '" + shownPath + "': " + why);
      });
  const bool answered = pool.finish(error);
  progress.clear();
  if (!answered || !listRead) {
    // The document is closed as far as it was begun, so that it stays valid.
    formatter.abandon();
    complain(answered ? list.failure(options.filesFrom) : error);
    return ExitStatus::Error;
  }
  if (!options.summaryOnly) formatter.finish();
  if (options.summary) formatter.summary(plan.summary.lines());
  return anyUnreachable ? ExitStatus::Unreachable : ExitStatus::Ok;
}

} // namespace linepeek::cli
