// The INI file as a list of sections and lines, for a checker of settings files: read as
// readProfileString (platform/platform.h) reads the file, but in a unit of its own that the
// module does not link, since the module reads single values only. None when the file cannot
// be read.
#pragma once

#include <string>
#include <vector>

namespace linepeek::platform {

// The names of the sections in file order, like GetPrivateProfileSectionNamesW: a name that
// stands twice is listed twice, an empty one never.
std::vector<std::u16string> profileSectionNames(const char16_t* path);
// The lines of the first section named `section`, like GetPrivateProfileSectionW: "key=value"
// with the blanks around the key and the value trimmed and any quotes kept, or the trimmed line
// when it has no "="; comments and blank lines are left out.
std::vector<std::u16string> profileSection(const char16_t* section, const char16_t* path);

} // namespace linepeek::platform
