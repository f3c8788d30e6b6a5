#include "cli/format.h"

#include <algorithm>
#include <cstdio>

#include "cli/text.h"

namespace linepeek::cli {
namespace {

constexpr std::string_view ColumnGap = "  ";

} // namespace

std::optional<OutputFormat> parseOutputFormat(std::string_view name) {
  if (name == "table") return OutputFormat::Table;
  if (name == "csv") return OutputFormat::Csv;
  if (name == "tsv") return OutputFormat::Tsv;
  if (name == "json") return OutputFormat::Json;
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
  case OutputFormat::Table:
    return; // the header is written with the rows
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
  case OutputFormat::Table:
    tableRows_.push_back(cells);
    return;
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
  switch (format_) {
  case OutputFormat::Table:
    writeTable();
    break;
  case OutputFormat::Json:
    write_(firstJsonRow_ ? "]" : "\n]");
    if (!summaryFollows_) write_("\n");
    break;
  case OutputFormat::Csv:
  case OutputFormat::Tsv:
    break;
  }
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
    return;
  }
  if (begun_) write_(format_ == OutputFormat::Csv ? "\r\n" : "\n");
  Formatter table(format_, cellWidth_, write_);
  table.begin({{"Summary", false}, {"Value", true}, {"Count", false}});
  for (const SummaryLine& line : lines)
    table.row({Value::ofText(line.name), line.value.empty() ? Value{} : Value::ofText(line.value),
               Value::ofNumber(line.count)});
  table.finish();
}

void Formatter::writeTable() {
  const std::size_t count = columns_.size();
  std::vector<std::vector<std::string>> shown;
  std::vector<int> widths(count, 0);
  // A column whose values are all numbers is right-aligned, header included.
  std::vector<bool> numeric(count, true);
  std::vector<bool> anyValue(count, false);

  std::vector<std::string> header;
  for (std::size_t i = 0; i < count; ++i)
    header.push_back(displayText(columns_[i].name));
  shown.push_back(header);
  for (const auto& cells : tableRows_) {
    std::vector<std::string> line;
    for (std::size_t i = 0; i < count; ++i) {
      const Value none;
      const Value& cell = i < cells.size() ? cells[i] : none;
      if (cell.kind != Value::Kind::None) anyValue[i] = true;
      if (cell.kind == Value::Kind::Text) numeric[i] = false;
      std::string text = displayText(plainText(cell));
      line.push_back(columns_[i].cut ? fitToWidth(text, cellWidth_) : text);
    }
    shown.push_back(std::move(line));
  }
  for (const auto& line : shown)
    for (std::size_t i = 0; i < count; ++i)
      widths[i] = std::max(widths[i], displayWidth(line[i]));

  for (const auto& line : shown) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
      const bool last = i + 1 == count;
      const auto pad = static_cast<std::size_t>(widths[i] - displayWidth(line[i]));
      if (i > 0) out += ColumnGap;
      if (numeric[i] && anyValue[i]) {
        out.append(pad, ' ');
        out += line[i];
      } else {
        out += line[i];
        if (!last) out.append(pad, ' ');
      }
    }
    while (!out.empty() && out.back() == ' ')
      out.pop_back();
    out += '\n';
    write_(out);
  }
}

} // namespace linepeek::cli
