#include "cli/plan.h"

namespace linepeek::cli {

bool makePlan(const Options& options, const std::vector<FieldInfo>& catalogue, Plan& plan,
              std::string& error) {
  std::vector<SelectedField> selected;
  const std::string list = options.fieldsGiven ? options.fields : std::string(DefaultFields);
  if (!selectFields(list, !options.fieldsGiven, options.unit, catalogue, selected, error))
    return false;
  plan.conditions.resize(options.conditions.size());
  for (std::size_t i = 0; i < plan.conditions.size(); ++i)
    if (!parseCondition(options.conditions[i], catalogue, plan.conditions[i], error)) return false;

  if (!options.summaryOnly) plan.shown = selected;
  std::vector<const FieldInfo*> asked;
  for (const SelectedField& field : plan.shown) {
    asked.push_back(field.info);
    plan.requests.push_back({field.info->index, field.unitIndex});
  }
  // A field asked for once serves every use.
  const auto askFor = [&](const FieldInfo& field) {
    for (std::size_t i = 0; i < asked.size(); ++i)
      if (asked[i] == &field) return i;
    asked.push_back(&field);
    plan.requests.push_back({field.index, unitIndexFor(field, options.unit)});
    return asked.size() - 1;
  };
  for (Condition& condition : plan.conditions)
    condition.position = askFor(*condition.field);
  if (options.summary) {
    for (const std::string_view name : SummaryFields)
      if (const FieldInfo* field = findField(name, catalogue))
        plan.summary.addField(*field, askFor(*field));
  }
  return true;
}

} // namespace linepeek::cli
