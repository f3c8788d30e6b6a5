// The POSIX INI reader (readProfileString in platform/platform.h): its limits, and the reading
// and line rules that the section listings (platform/ini_sections.h) share with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/ascii.h"
#include "base/blanks.h"

namespace linepeek::platform::posix {

// Only the first 4 MiB of a settings file are read, so that an enormous or endless file
// cannot exhaust the host's memory; a line cut by this limit is dropped whole.
inline constexpr std::int64_t IniReadLimitBytes = std::int64_t{4} << 20;

using Text = std::u16string_view;

// Blanks around names and values, as the system's reader trims them.
inline bool isIniBlank(char16_t unit) {
  return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n' || unit == u'\v' ||
         unit == u'\f';
}

inline Text trimmed(Text text) {
  return trimmedBy(text, isIniBlank);
}

// Section and key names compare without regard to ASCII case.
inline bool sameName(Text a, Text b) {
  return sameIgnoringAsciiCase(a, b);
}

// Calls `visit(isHeader, text)` for each section header, with its trimmed name, and for each
// other line that is neither blank nor a comment, trimmed, in file order, until it answers false.
template <typename Visit> void walkLines(Text file, Visit visit) {
  std::size_t start = 0;
  while (start < file.size()) {
    std::size_t end = file.find(u'\n', start);
    if (end == Text::npos) end = file.size();
    const Text line = trimmed(file.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == u';') continue;
    if (line.front() == u'[') {
      const std::size_t close = line.rfind(u']');
      if (close != Text::npos && close > 0) {
        if (!visit(true, trimmed(line.substr(1, close - 1)))) return;
        continue;
      }
    }
    if (!visit(false, line)) return;
  }
}

// Calls `visit(line)` for each line of the first section named `section` until it answers false.
template <typename Visit> void walkSection(Text file, Text section, Visit visit) {
  bool inSection = false;
  walkLines(file, [&](bool isHeader, Text text) {
    if (!isHeader) return !inSection || visit(text);
    // Later sections of the same name are not searched: the first one wins.
    if (inSection) return false;
    inSection = sameName(text, section);
    return true;
  });
}

// A line's key and value, split at its first "=" and trimmed; false when it has no "=".
inline bool splitLine(Text line, Text& key, Text& value) {
  const std::size_t equals = line.find(u'=');
  if (equals == Text::npos) return false;
  key = trimmed(line.substr(0, equals));
  value = trimmed(line.substr(equals + 1));
  return true;
}

// The text of the settings file at `path` as the reader decodes it; false when it cannot be read
// as a regular file.
bool readText(const char16_t* path, std::u16string& text);

} // namespace linepeek::platform::posix
