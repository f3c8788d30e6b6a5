// The counts after the rows (--summary): files and folders, the rows per value of each choice
// field, and the sum of each number field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/format.h"
#include "cli/host_module.h"
#include "cli/value.h"

namespace linepeek::cli {

// The fields a summary counts, those of them that the module offers.
inline constexpr std::string_view SummaryFields[] = {"Type", "Encoding", "Line endings",
                                                     "Line count"};

class Summary {
public:
  // Counts `field`, whose answer stands at `position` among the values of each row: a choice
  // field by value, in the order of its choices, any other by the sum of its numbers.
  void addField(const FieldInfo& field, std::size_t position);
  void add(bool isFolder, const std::vector<Value>& values);
  // "files", "folders", then each field in the order added: a choice field's values that some
  // row has, or the sum of a number field.
  std::vector<SummaryLine> lines() const;

private:
  struct Counted {
    const FieldInfo* field;
    std::size_t position;
    std::vector<std::pair<std::string, std::int64_t>> counts; // choice fields
    std::int64_t sum = 0;
  };
  std::int64_t files_ = 0;
  std::int64_t folders_ = 0;
  std::vector<Counted> fields_;
};

} // namespace linepeek::cli
