// Lines of a file and their count, written for clarity rather than speed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/reference/encoding.h"
#include "tests/reference/unicode.h"

namespace linepeek::reference {

// The bytes of a window as 8-bit text: UTF-16 converted to UTF-8 from the BOM's end on, other
// kinds with the BOM's bytes dropped.
inline std::string decodeWindow(std::string_view raw, int kind, int bomLength) {
  if (kind == KindUtf16Le) return utf16ToUtf8(raw, false, bomLength);
  if (kind == KindUtf16Be) return utf16ToUtf8(raw, true, bomLength);
  const std::size_t skip = static_cast<std::size_t>(bomLength);
  return raw.size() > skip ? std::string(raw.substr(skip)) : std::string();
}

// Blank: no byte above 32 (the space).
inline bool isBlankLine(std::string_view line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (byteAt(line, i) > 32) return false;
  }
  return true;
}

// The line without one trailing CR.
inline std::string withoutCr(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return std::string(line);
}

// Every line of the text in file order: LF ends a line, one trailing CR is dropped, a final
// unterminated piece is a line only when `edgeComplete` says the text really ends there.
inline std::vector<std::string> headLines(std::string_view text, bool edgeComplete, bool skipEmpty,
                                          std::size_t capacity) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size() && lines.size() < capacity; ++i) {
    if (text[i] != '\n') continue;
    std::string line = withoutCr(text.substr(start, i - start));
    if (!skipEmpty || !isBlankLine(line)) lines.push_back(line);
    start = i + 1;
  }
  if (edgeComplete && lines.size() < capacity && start < text.size()) {
    std::string line = withoutCr(text.substr(start));
    if (!skipEmpty || !isBlankLine(line)) lines.push_back(line);
  }
  return lines;
}

// The last lines in file order, scanned backward from the end.
inline std::vector<std::string> tailLines(std::string_view text, bool edgeComplete, bool skipEmpty,
                                          std::size_t capacity) {
  std::vector<std::string> found; // last line first
  if (text.empty()) return found;
  std::size_t end = text.size(); // one past the line end
  if (text.back() == '\n') --end;
  std::size_t i = end;
  while (i > 0 && found.size() < capacity) {
    --i;
    if (text[i] != '\n') continue;
    std::string line = withoutCr(text.substr(i + 1, end - (i + 1)));
    if (!skipEmpty || !isBlankLine(line)) found.push_back(line);
    end = i;
  }
  if (found.size() < capacity && edgeComplete && end > 0) {
    std::string line = withoutCr(text.substr(0, end));
    if (!skipEmpty || !isBlankLine(line)) found.push_back(line);
  }
  return std::vector<std::string>(found.rbegin(), found.rend());
}

// The head group by the two-pass rule: the head sample (the first `first` bytes), then the
// first `wide` bytes when the sample gave fewer than ten lines of a larger file.
inline std::vector<std::string> headGroup(std::string_view file, int kind, int bomLength,
                                          bool skipEmpty, std::int64_t first, std::int64_t wide) {
  const auto size = static_cast<std::int64_t>(file.size());
  const auto window = [&](std::int64_t length) {
    return file.substr(0, static_cast<std::size_t>(size < length ? size : length));
  };
  std::string_view raw = window(first);
  std::vector<std::string> lines =
      headLines(decodeWindow(raw, kind, bomLength), static_cast<std::int64_t>(raw.size()) >= size,
                skipEmpty, 10);
  if (lines.size() < 10 && size > first) {
    raw = window(wide);
    lines = headLines(decodeWindow(raw, kind, bomLength),
                      static_cast<std::int64_t>(raw.size()) >= size, skipEmpty, 10);
  }
  return lines;
}

// The tail group: the last `first` bytes, then the last `wide` bytes when too few lines came.
// A UTF-16 window that would start on an odd offset starts one byte later, on the file's unit
// grid. Only a window at offset 0 skips the BOM.
inline std::vector<std::string> tailGroup(std::string_view file, int kind, int bomLength,
                                          bool skipEmpty, std::int64_t first, std::int64_t wide) {
  const auto size = static_cast<std::int64_t>(file.size());
  const bool wideUnits = kind == KindUtf16Le || kind == KindUtf16Be;
  const auto pass = [&](std::int64_t window) {
    std::int64_t length = size < window ? size : window;
    std::int64_t start = size - length;
    if (wideUnits && start % 2 != 0) {
      ++start;
      --length;
    }
    const std::string_view raw =
        file.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
    return tailLines(decodeWindow(raw, kind, start == 0 ? bomLength : 0), start == 0, skipEmpty, 3);
  };
  std::vector<std::string> lines = pass(first);
  if (lines.size() < 3 && size > first) lines = pass(wide);
  return lines;
}

// The count of a whole file: units after the BOM, LF ends a line, skipEmpty keeps only lines
// with a unit above 32, and an unterminated last line counts when it holds units.
inline std::int64_t countLines(std::string_view file, int kind, int bomLength, bool skipEmpty) {
  std::u16string units;
  if (kind == KindUtf16Le || kind == KindUtf16Be) {
    units = utf16Units(file, kind == KindUtf16Be, bomLength - bomLength % 2);
  } else {
    for (std::size_t i = static_cast<std::size_t>(bomLength); i < file.size(); ++i)
      units.push_back(static_cast<char16_t>(byteAt(file, i)));
  }
  std::int64_t lines = 0;
  bool hasUnits = false;
  bool nonBlank = false;
  for (const char16_t unit : units) {
    if (unit == 10) {
      if (!skipEmpty || nonBlank) ++lines;
      hasUnits = false;
      nonBlank = false;
    } else {
      hasUnits = true;
      nonBlank = nonBlank || unit > 32;
    }
  }
  if (hasUnits && (!skipEmpty || nonBlank)) ++lines;
  return lines;
}

} // namespace linepeek::reference
