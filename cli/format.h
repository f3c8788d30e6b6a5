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
// Their names, in the enum's order.
inline constexpr std::string_view FormatNames[] = {"table", "csv", "tsv", "json"};

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
  // In a table: the width the cells are padded to, at least the name's; a wider cell makes its
  // row wider. Numeric columns are aligned right, the name included.
  int width = 0;
  bool numeric = false;
};

// For a table whose rows are all known: each column as wide as its widest cell, and numeric
// when it has a value and every value is a number.
void fitColumns(std::vector<Column>& columns, const std::vector<std::vector<Value>>& rows,
                int cellWidth);

// Writes rows in one format through `write`, which receives whole lines, each row as it comes.
class Formatter {
public:
  Formatter(OutputFormat format, int cellWidth, std::function<void(std::string_view)> write);

  // With `summaryFollows`, a JSON document is an object: the rows under "rows", beside them
  // the summary.
  void begin(std::vector<Column> columns, bool summaryFollows = false);
  // One row, written at once.
  void row(const std::vector<Value>& cells); // one cell per column
  void finish();
  // After the rows, if any: a table of the lines in the same format (Summary, Value, Count),
  // apart from the rows by an empty line; in JSON an object under "summary", where the lines
  // of one field make an object of their values.
  void summary(const std::vector<SummaryLine>& lines);

  // Ends the document as far as it is begun, so that a run that fails still leaves valid JSON
  // behind: the rows' array and, when a summary was to follow, the object around them.
  void abandon();

private:
  std::string tableLine(const std::vector<std::string>& cells) const;

  OutputFormat format_;
  int cellWidth_;
  std::function<void(std::string_view)> write_;
  std::vector<Column> columns_;
  bool firstJsonRow_ = true;
  bool finished_ = false;
  bool begun_ = false;
  bool summaryFollows_ = false;
};

} // namespace linepeek::cli
