// Output formats: an aligned table, CSV, TSV and JSON. Text in and out is UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/value.h"

namespace linepeek::cli {

enum class OutputFormat { Table, Csv, Tsv, Json };

std::optional<OutputFormat> parseOutputFormat(std::string_view name);

// One field of CSV (RFC 4180): quoted when it holds a comma, a quote, CR or LF, quotes doubled.
std::string csvField(std::string_view text);
// One field of TSV: backslash, tab, LF and CR written as \\, \t, \n and \r.
std::string tsvField(std::string_view text);
// A JSON string literal, quotes included. Control characters are escaped; ill-formed UTF-8
// becomes U+FFFD, so the output is always valid JSON.
std::string jsonString(std::string_view text);

// One line of a summary: a total (`value` empty), or the count of one value of a field.
struct SummaryLine {
  std::string name;
  std::string value;
  std::int64_t count = 0;
};

struct Column {
  std::string name;
  bool cut = true; // table cells of this column are cut at the cell width
};

// Writes rows in one format through `write`, which receives whole lines. CSV, TSV and JSON
// rows go out as they come; the table keeps its rows until finish() to align them.
class Formatter {
public:
  Formatter(OutputFormat format, int cellWidth, std::function<void(std::string_view)> write);

  // With `summaryFollows`, a JSON document is an object: the rows under "rows", beside them
  // the summary.
  void begin(std::vector<Column> columns, bool summaryFollows = false);
  void row(const std::vector<Value>& cells); // one cell per column
  void finish();
  // After the rows, if any: a table of the lines in the same format (Summary, Value, Count),
  // apart from the rows by an empty line; in JSON an object under "summary", where the lines
  // of one field make an object of their values.
  void summary(const std::vector<SummaryLine>& lines);

private:
  void writeTable();

  OutputFormat format_;
  int cellWidth_;
  std::function<void(std::string_view)> write_;
  std::vector<Column> columns_;
  std::vector<std::vector<Value>> tableRows_;
  bool firstJsonRow_ = true;
  bool begun_ = false;
  bool summaryFollows_ = false;
};

} // namespace linepeek::cli
