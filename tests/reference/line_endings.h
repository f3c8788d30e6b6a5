// The "Line endings" of a head sample, written for clarity rather than speed.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tests/reference/encoding.h"
#include "tests/reference/unicode.h"

namespace linepeek::reference {

// The units after the mark: bytes, or for UTF-16 each whole pair of bytes in the file's order.
inline std::vector<unsigned> unitsAfterMark(std::string_view sample, int kind, int bomLength) {
  std::vector<unsigned> units;
  const bool wide = kind == KindUtf16Le || kind == KindUtf16Be;
  const auto start = static_cast<std::size_t>(bomLength);
  if (!wide) {
    for (std::size_t i = start; i < sample.size(); ++i)
      units.push_back(byteAt(sample, i));
    return units;
  }
  for (std::size_t i = start; i + 1 < sample.size(); i += 2) {
    const unsigned first = byteAt(sample, i);
    const unsigned second = byteAt(sample, i + 1);
    units.push_back(kind == KindUtf16Be ? first * 256 + second : second * 256 + first);
  }
  return units;
}

// Each LF is "CRLF" when a CR comes just before it, else "LF"; each CR that no LF follows is
// "CR", but a CR in the last unit only when the file ends with the sample. One kind found is
// its name, several "Mixed", none "None".
inline std::string lineEndings(std::string_view sample, int kind, int bomLength,
                               bool sampleIsWhole) {
  const std::vector<unsigned> units = unitsAfterMark(sample, kind, bomLength);
  std::set<std::string> found;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const bool last = i + 1 == units.size();
    if (units[i] == 10) found.insert(i > 0 && units[i - 1] == 13 ? "CRLF" : "LF");
    if (units[i] == 13 && !last && units[i + 1] != 10) found.insert("CR");
    if (units[i] == 13 && last && sampleIsWhole) found.insert("CR");
  }
  if (found.empty()) return "None";
  if (found.size() > 1) return "Mixed";
  return *found.begin();
}

} // namespace linepeek::reference
