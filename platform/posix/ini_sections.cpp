// The section listings over the POSIX INI reader's own reading and line rules.
#include "platform/ini_sections.h"

#include "platform/posix/file_name.h"
#include "platform/posix/ini.h"

namespace linepeek::platform {

using posix::Text;

std::vector<std::u16string> profileSectionNames(const char16_t* path) {
  std::vector<std::u16string> names;
  std::u16string text;
  if (!posix::readText(path, text)) return names;
  posix::walkLines(text, [&names](bool isHeader, Text name) {
    if (isHeader && !name.empty()) names.emplace_back(name);
    return true;
  });
  return names;
}

std::vector<std::u16string> profileSection(const char16_t* section, const char16_t* path) {
  std::vector<std::u16string> lines;
  std::u16string text;
  if (section == nullptr || !posix::readText(path, text)) return lines;
  posix::walkSection(text, Text(section, posix::wideLength(section)), [&lines](Text line) {
    Text key;
    Text value;
    if (posix::splitLine(line, key, value)) {
      lines.push_back(std::u16string(key) + u'=' + std::u16string(value));
    } else {
      lines.emplace_back(line);
    }
    return true;
  });
  return lines;
}

} // namespace linepeek::platform
