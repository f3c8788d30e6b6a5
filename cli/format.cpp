#include "cli/format.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "cli/text.h"

namespace linepeek::cli {
namespace {

constexpr std::string_view ColumnGap = "  ";

// A cell as a table shows it: display-safe, and cut when its column is.
std::string shownCell(const Value& cell, const Column& column, int cellWidth) {
  std::string text = displayText(plainText(cell));
  return column.cut ? fitToWidth(text, cellWidth) : text;
}

} // namespace

void fitColumns(std::vector<Column>& columns, const std::vector<std::vector<Value>>& rows,
                int cellWidth) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    Column& column = columns[i];
    bool anyValue = false;
    bool allNumbers = true;
    for (const std::vector<Value>& cells : rows) {
      if (i >= cells.size()) continue;
      anyValue = anyValue || cells[i].kind != Value::Kind::None;
      allNumbers = allNumbers && cells[i].kind != Value::Kind::Text;
      column.width = std::max(column.width, displayWidth(shownCell(cells[i], column, cellWidth)));
    }
    column.numeric = anyValue && allNumbers;
  }
}

std::optional<OutputFormat> parseOutputFormat(std::string_view name) {
  for (std::size_t i = 0; i < std::size(FormatNames); ++i)
    if (name == FormatNames[i]) return static_cast<OutputFormat>(i);
  return std::nullopt;
}

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string tsvField(std::string_view text) {
  if (text.find_first_of("\\\t\n\r") == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    switch (c) {
    case '\\':
      out += "\\\\";
      break;
    case '\t':
      out += "\\t";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    default:
      out += c;
    }
  }
  return out;
}

std::string jsonString(std::string_view text) {
  const std::string valid = validUtf8(text);
  std::string out = "\"";
  for (char c : valid) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      if (byte < 0x20) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(byte));
        out += escaped;
      } else {
        out += c;
      }
    }
  }
  out += '"';
  return out;
}

Formatter::Formatter(OutputFormat format, int cellWidth,
                     std::function<void(std::string_view)> write)
    : format_(format), cellWidth_(cellWidth), write_(std::move(write)) {}

void Formatter::begin(std::vector<Column> columns, bool summaryFollows) {
  columns_ = std::move(columns);
  begun_ = true;
  summaryFollows_ = summaryFollows;
  std::string line;
  switch (format_) {
  case OutputFormat::Table: {
    std::vector<std::string> names;
    for (Column& column : columns_) {
      names.push_back(displayText(column.name));
      column.width = std::max(column.width, displayWidth(names.back()));
    }
    write_(tableLine(names));
    return;
  }
  case OutputFormat::Json:
    write_(summaryFollows ? "{\"rows\": [" : "[");
    return;
  case OutputFormat::Csv:
  case OutputFormat::Tsv:
    break;
  }
  const bool csv = format_ == OutputFormat::Csv;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (i > 0) line += csv ? "," : "\t";
    line += csv ? csvField(columns_[i].name) : tsvField(columns_[i].name);
  }
  line += csv ? "\r\n" : "\n"; // RFC 4180 ends records with CR LF
  write_(line);
}

void Formatter::row(const std::vector<Value>& cells) {
  std::string line;
  switch (format_) {
  case OutputFormat::Table: {
    std::vector<std::string> shown;
    const Value none;
    for (std::size_t i = 0; i < columns_.size(); ++i)
      shown.push_back(shownCell(i < cells.size() ? cells[i] : none, columns_[i], cellWidth_));
    line = tableLine(shown);
    break;
  }
  case OutputFormat::Csv:
  case OutputFormat::Tsv: {
    const bool csv = format_ == OutputFormat::Csv;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) line += csv ? "," : "\t";
      const std::string text = plainText(cells[i]);
      line += csv ? csvField(text) : tsvField(text);
    }
    line += csv ? "\r\n" : "\n";
    break;
  }
  case OutputFormat::Json:
    line = firstJsonRow_ ? "\n  {" : ",\n  {";
    firstJsonRow_ = false;
    for (std::size_t i = 0; i < cells.size() && i < columns_.size(); ++i) {
      if (i > 0) line += ", ";
      line += jsonString(columns_[i].name) + ": ";
      switch (cells[i].kind) {
      case Value::Kind::None:
        line += "null";
        break;
      case Value::Kind::Number:
        line += std::to_string(cells[i].number);
        break;
      case Value::Kind::Text:
        line += jsonString(cells[i].text);
        break;
      }
    }
    line += "}";
    break;
  }
  write_(line);
}

void Formatter::finish() {
  finished_ = true;
  if (format_ != OutputFormat::Json) return;
  write_(firstJsonRow_ ? "]" : "\n]");
  if (!summaryFollows_) write_("\n");
}

void Formatter::abandon() {
  if (format_ != OutputFormat::Json || !begun_) return;
  if (!finished_) finish();
  if (summaryFollows_) write_("}\n");
  summaryFollows_ = false;
}

void Formatter::summary(const std::vector<SummaryLine>& lines) {
  if (format_ == OutputFormat::Json) {
    std::string text = begun_ ? ",\n\"summary\": {" : "{\"summary\": {";
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const SummaryLine& line = lines[i];
      const bool opens = !line.value.empty() && (i == 0 || lines[i - 1].name != line.name);
      const bool closes =
          !line.value.empty() && (i + 1 == lines.size() || lines[i + 1].name != line.name);
      if (i > 0) text += ", ";
      if (line.value.empty() || opens) text += jsonString(line.name) + ": ";
      if (opens) text += "{";
      if (!line.value.empty()) text += jsonString(line.value) + ": ";
      text += std::to_string(line.count);
      if (closes) text += "}";
    }
    write_(text + "}}\n");
    summaryFollows_ = false;
    return;
  }
  if (begun_) write_(format_ == OutputFormat::Csv ? "\r\n" : "\n");
  std::vector<std::vector<Value>> rows;
  for (const SummaryLine& line : lines)
    rows.push_back({Value::ofText(line.name),
                    line.value.empty() ? Value{} : Value::ofText(line.value),
                    Value::ofNumber(line.count)});
  std::vector<Column> columns{{"Summary", false}, {"Value", true}, {"Count", false}};
  fitColumns(columns, rows, cellWidth_);
  Formatter table(format_, cellWidth_, write_);
  table.begin(columns);
  for (const std::vector<Value>& row : rows)
    table.row(row);
  table.finish();
}

std::string Formatter::tableLine(const std::vector<std::string>& cells) const {
  std::string out;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const int width = displayWidth(cells[i]);
    const auto pad = static_cast<std::size_t>(std::max(columns_[i].width - width, 0));
    if (i > 0) out += ColumnGap;
    if (columns_[i].numeric) out.append(pad, ' ');
    out += cells[i];
    if (!columns_[i].numeric && i + 1 < cells.size()) out.append(pad, ' ');
  }
  while (!out.empty() && out.back() == ' ')
    out.pop_back();
  return out + '\n';
}

} // namespace linepeek::cli
