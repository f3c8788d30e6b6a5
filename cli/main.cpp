// linepeek-cli: a small file manager without a window. It loads the content module at run time
// and asks it for fields exactly as a file manager does, one field of one file per call.
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "cli/format.h"
#include "cli/host_module.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/settings_report.h"
#include "cli/show.h"
#include "cli/system.h"
#include "cli/worker_client.h"

namespace linepeek::cli {
namespace {

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

void listFields(const std::vector<FieldInfo>& catalogue, const Options& options, Output& out) {
  std::vector<std::vector<Value>> rows;
  for (const FieldInfo& field : catalogue)
    rows.push_back({Value::ofNumber(field.index), Value::ofText(field.name),
                    Value::ofText(std::to_string(field.type) + " " + typeName(field.type)),
                    Value::ofText(field.units)});
  std::vector<Column> columns{{"Index", false}, {"Name", false}, {"Type", false}, {"Units", false}};
  fitColumns(columns, rows, 0);
  Formatter formatter(options.format, 0, [&](std::string_view text) { out.add(text); });
  formatter.begin(columns);
  for (const std::vector<Value>& row : rows)
    formatter.row(row);
  formatter.finish();
}

std::string modulePathOf(const Options& options) {
  if (!options.modulePath.empty()) return options.modulePath;
  return defaultModulePath(executableFolder(), [](const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(pathFromUtf8(path), ec);
  });
}

// The run once the options are known: what they ask for, with `out` not yet flushed.
ExitStatus runOptions(const Options& options, Output& out) {
  if (options.showHelp || options.showVersion) {
    out.add(options.showHelp ? usageText() : "linepeek-cli " LINEPEEK_VERSION "\n");
    return ExitStatus::Ok;
  }
  const std::string modulePath = modulePathOf(options);
  std::string error;
  if (options.checkSettings) {
    const ExitStatus status = reportSettings(
        options, modulePath, [&](std::string_view text) { out.add(text); }, error);
    if (status == ExitStatus::Error) complain(error);
    return status;
  }
  std::optional<HostModule> module = HostModule::load(modulePath, error);
  std::vector<FieldInfo> catalogue;
  if (!module || !module->readCatalogue(catalogue, error)) {
    complain(error);
    return ExitStatus::Error;
  }
  if (!options.listFields) return showRows(options, *module, modulePath, catalogue, out);
  listFields(catalogue, options, out);
  return ExitStatus::Ok;
}

ExitStatus runChecked(const std::vector<std::string>& args) {
  Options options;
  std::string error;
  if (!parseOptions(args, options, error)) {
    complain(error + "\nTry 'linepeek-cli --help'.");
    return ExitStatus::Error;
  }
  Output out;
  const ExitStatus status = runOptions(options, out);
  out.flush();
  if (!out.failed()) return status;
  complain("cannot write the output: " + out.failure());
  return ExitStatus::Error;
}

} // namespace

int run(const std::vector<std::string>& args) {
  // Only memory exhaustion or a vanished current folder get here; neither may pass as success.
  try {
    if (args.size() == 1 && args[0] == WorkerArgument) return serveWorker();
    return exitCode(runChecked(args));
  } catch (const std::exception& e) {
    complain(std::string("unexpected failure: ") + e.what());
  } catch (...) {
    // An exception of a module's own C++ runtime, which no type here matches.
    complain("unexpected failure");
  }
  return exitCode(ExitStatus::Error);
}

} // namespace linepeek::cli
