#include "cli/summary.h"

#include <algorithm>

namespace linepeek::cli {

void Summary::addField(const FieldInfo& field, std::size_t position) {
  Counted counted{&field, position, {}, 0};
  if (field.type == MultipleChoice)
    for (std::string& choice : splitUnits(field.units))
      counted.counts.emplace_back(std::move(choice), 0);
  fields_.push_back(std::move(counted));
}

void Summary::add(bool isFolder, const std::vector<Value>& values) {
  ++(isFolder ? folders_ : files_);
  for (Counted& counted : fields_) {
    const Value& value = values[counted.position];
    if (value.kind == Value::Kind::Number) counted.sum += value.number;
    if (value.kind != Value::Kind::Text || value.text.empty() ||
        counted.field->type != MultipleChoice)
      continue;
    // An answer outside the catalogue's choices is counted after them.
    auto found = std::find_if(counted.counts.begin(), counted.counts.end(),
                              [&](const auto& count) { return count.first == value.text; });
    if (found == counted.counts.end())
      found = counted.counts.insert(counted.counts.end(), {value.text, 0});
    ++found->second;
  }
}

std::vector<SummaryLine> Summary::lines() const {
  std::vector<SummaryLine> lines{{"files", "", files_}, {"folders", "", folders_}};
  for (const Counted& counted : fields_) {
    if (counted.field->type != MultipleChoice) {
      lines.push_back({counted.field->name, "", counted.sum});
      continue;
    }
    for (const auto& [value, count] : counted.counts)
      if (count > 0) lines.push_back({counted.field->name, value, count});
  }
  return lines;
}

} // namespace linepeek::cli
