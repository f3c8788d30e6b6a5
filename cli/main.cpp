// linepeek-cli: a small file manager without a window. It loads the content module at run time
// and asks it for fields exactly as a file manager does, one field of one file per call.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "cli/fields.h"
#include "cli/format.h"
#include "cli/host_module.h"
#include "cli/listing.h"
#include "cli/options.h"
#include "cli/settings_report.h"
#include "cli/summary.h"
#include "cli/system.h"
#include "cli/workers.h"

namespace linepeek::cli {
namespace {

constexpr int ExitOk = 0;
constexpr int ExitUnreachable = 1;
constexpr int ExitError = 2;

void complain(const std::string& message) {
  writeText(Stream::Err, "linepeek-cli: " + message + "\n");
}

// Collects output and writes it in pieces of whole lines, so a console never receives half a
// character. Remembers a failed write.
class Output {
public:
  void add(std::string_view text) {
    pending_ += text;
    if (pending_.size() >= FlushBytes) flush();
  }
  void flush() {
    if (!pending_.empty() && !writeText(Stream::Out, pending_)) failed_ = true;
    pending_.clear();
  }
  bool failed() const { return failed_; }

private:
  static constexpr std::size_t FlushBytes = 16384;
  std::string pending_;
  bool failed_ = false;
};

// "12345 entries, 2100/s" on stderr, redrawn in place, once a run has taken a second.
class Progress {
public:
  explicit Progress(bool enabled) : enabled_(enabled) {}
  ~Progress() { clear(); }

  void update(std::size_t done) {
    done_ = done;
    if (!enabled_) return;
    const auto now = Clock::now();
    if (now - start_ < std::chrono::seconds(1) || now - lastDraw_ < std::chrono::milliseconds(200))
      return;
    lastDraw_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    char line[96];
    std::snprintf(line, sizeof line, "\r%zu entries, %.0f/s", done_,
                  static_cast<double>(done_) / seconds);
    std::string text = line;
    // Pad over a longer previous line; no escape sequences, so any console shows it right.
    const std::size_t length = text.size();
    if (length < drawnLength_) text.append(drawnLength_ - length, ' ');
    drawnLength_ = std::max(drawnLength_, length);
    writeText(Stream::Err, text);
  }

  void clear() {
    if (drawnLength_ == 0) return;
    writeText(Stream::Err, "\r" + std::string(drawnLength_, ' ') + "\r");
    drawnLength_ = 0;
  }

private:
  using Clock = std::chrono::steady_clock;
  bool enabled_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point lastDraw_{};
  std::size_t done_ = 0;
  std::size_t drawnLength_ = 0;
};

const char* typeName(int type) {
  switch (type) {
  case Numeric64:
    return "int64";
  case MultipleChoice:
    return "choice";
  case StringW:
    return "string";
  default:
    return "other";
  }
}

int listFields(const std::vector<FieldInfo>& catalogue, const Options& options, Output& out) {
  Formatter formatter(options.format, 0, [&](std::string_view text) { out.add(text); });
  formatter.begin({{"Index", false}, {"Name", false}, {"Type", false}, {"Units", false}});
  for (const FieldInfo& field : catalogue) {
    formatter.row({Value::ofNumber(field.index), Value::ofText(field.name),
                   Value::ofText(std::to_string(field.type) + " " + typeName(field.type)),
                   Value::ofText(field.units)});
  }
  formatter.finish();
  out.flush();
  return out.failed() ? ExitError : ExitOk;
}

int runChecked(const std::vector<std::string>& args) {
  if (args.size() == 1 && args[0] == WorkerArgument) return serveWorker();
  Options options;
  std::string error;
  if (!parseOptions(args, options, error)) {
    complain(error + "\nTry 'linepeek-cli --help'.");
    return ExitError;
  }
  Output out;
  if (options.showHelp || options.showVersion) {
    out.add(options.showHelp ? UsageText : "linepeek-cli " LINEPEEK_VERSION "\n");
    out.flush();
    return out.failed() ? ExitError : ExitOk;
  }

  std::string modulePath = options.modulePath;
  if (modulePath.empty()) {
    modulePath = defaultModulePath(executableFolder(), [](const std::string& path) {
      std::error_code ec;
      return std::filesystem::exists(pathFromUtf8(path), ec);
    });
  }
  if (options.checkSettings) {
    const int status = reportSettings(
        options, modulePath, [&](std::string_view text) { out.add(text); }, error);
    if (status == ExitError) complain(error);
    out.flush();
    return out.failed() ? ExitError : status;
  }
  std::optional<HostModule> module = HostModule::load(modulePath, error);
  if (!module) {
    complain(error);
    return ExitError;
  }
  std::vector<FieldInfo> catalogue;
  if (!module->readCatalogue(catalogue, error)) {
    complain(error);
    return ExitError;
  }
  if (options.listFields) return listFields(catalogue, options, out);

  std::vector<SelectedField> selected;
  const std::string list = options.fieldsGiven ? options.fields : std::string(DefaultFields);
  if (!selectFields(list, !options.fieldsGiven, options.unit, catalogue, selected, error)) {
    complain(error);
    return ExitError;
  }

  std::vector<Condition> conditions(options.conditions.size());
  for (std::size_t i = 0; i < conditions.size(); ++i) {
    if (!parseCondition(options.conditions[i], catalogue, conditions[i], error)) {
      complain(error);
      return ExitError;
    }
  }
  // The fields each row asks for: those shown, then those that only --where and --summary need.
  std::vector<SelectedField> asked;
  if (!options.summaryOnly) asked = selected;
  const std::size_t shownCount = asked.size();
  const auto askFor = [&](const FieldInfo& field) {
    for (std::size_t i = 0; i < asked.size(); ++i)
      if (asked[i].info == &field) return i;
    asked.push_back({&field, unitIndexFor(field, options.unit)});
    return asked.size() - 1;
  };
  for (Condition& condition : conditions)
    condition.position = askFor(*condition.field);
  Summary summary;
  if (options.summary) {
    for (const std::string_view name : SummaryFields)
      if (const FieldInfo* field = findField(name, catalogue))
        summary.addField(*field, askFor(*field));
  }

  // The list of --files-from, opened before any output.
  std::ifstream listFile;
  std::optional<InputBuffer> pathList;
  if (options.filesFrom == "-") {
    pathList.emplace(readInput);
  } else if (!options.filesFrom.empty()) {
    errno = 0;
    listFile.open(pathFromUtf8(options.filesFrom), std::ios::binary);
    if (!listFile.is_open()) {
      complain("cannot read the list '" + options.filesFrom +
               "': " + std::error_code(errno, std::generic_category()).message());
      return ExitError;
    }
    pathList.emplace([&listFile](char* buffer, std::size_t size) -> std::ptrdiff_t {
      listFile.read(buffer, static_cast<std::streamsize>(size));
      return listFile.bad() ? -1 : listFile.gcount();
    });
  }

  std::vector<Column> columns{{options.format == OutputFormat::Json ? "path" : "Path", false}};
  for (const SelectedField& field : selected)
    columns.push_back({field.info->name, true});
  Formatter formatter(options.format, options.cellWidth,
                      [&](std::string_view text) { out.add(text); });
  if (!options.summaryOnly) formatter.begin(columns, options.summary);

  // Rows stream to stdout except in a table; a progress line must not mix with them.
  const bool rowsOnTerminal =
      isTerminal(Stream::Out) && options.format != OutputFormat::Table && !options.summaryOnly;
  Progress progress(isTerminal(Stream::Err) && !rowsOnTerminal);
  bool anyUnreachable = false;
  std::vector<Value> cells;
  RowPool pool(
      *module, modulePath, asked, options.jobs > 0 ? options.jobs : defaultJobs(),
      [&](const Entry& entry, std::vector<Value>& values) {
        for (const Condition& condition : conditions)
          if (!conditionHolds(condition, values[condition.position])) return;
        if (options.summary) summary.add(entry.isFolder, values);
        if (options.summaryOnly) return;
        cells.assign(1, Value::ofText(entry.shownPath));
        cells.insert(cells.end(), std::make_move_iterator(values.begin()),
                     std::make_move_iterator(values.begin() + static_cast<long>(shownCount)));
        formatter.row(cells);
      },
      [&](std::size_t answered) { progress.update(answered); });
  const VisitFn visit = [&](const Entry& entry) { pool.add(entry); };
  const FailFn failed = [&](const std::string& shownPath, const std::string& reason) {
    anyUnreachable = true;
    progress.clear();
    complain("cannot access '" + shownPath + "': " + reason);
  };
  bool listRead = true;
  if (pathList) {
    listRead =
        readPathList(*pathList, options.nullSeparated ? '\0' : '\n', [&](const std::string& path) {
          walkPath(path, options.recursive, visit, failed);
        });
  } else {
    walkPaths(options.paths, options.recursive, visit, failed);
  }
  const bool answered = pool.finish(error);
  progress.clear();
  if (!options.summaryOnly) formatter.finish();
  if (options.summary && answered && listRead) formatter.summary(summary.lines());
  out.flush();
  if (!answered || !listRead) {
    complain(answered ? "cannot read the list '" + options.filesFrom + "'" : error);
    return ExitError;
  }
  if (out.failed()) {
    complain("cannot write the output");
    return ExitError;
  }
  return anyUnreachable ? ExitUnreachable : ExitOk;
}

} // namespace

int run(const std::vector<std::string>& args) {
  // Only memory exhaustion or a vanished current folder get here; neither may pass as success.
  try {
    return runChecked(args);
  } catch (const std::exception& e) {
    complain(std::string("unexpected failure: ") + e.what());
    return ExitError;
  }
}

} // namespace linepeek::cli
