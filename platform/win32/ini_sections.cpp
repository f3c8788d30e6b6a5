// The section listings through the private-profile API.
#include "platform/ini_sections.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>

#include "platform/win32/wide.h"

namespace linepeek::platform {
namespace {

// The listings start with a buffer of this many units and double it while the answer fills it.
// They stop at the most: the POSIX reader reads 4 MiB of a file, and a settings file that lists
// more is cut there rather than allowed to take any memory.
constexpr DWORD ListStartUnits = 4096;
constexpr DWORD ListMostUnits = DWORD{1} << 22;

// The texts of a list of zero-terminated texts that ends with an empty one, as `read` writes it
// into a buffer. `read` answers the units written without the last zero; an answer of the
// buffer's size less 2 means the list was cut to fit.
template <typename Read> std::vector<std::u16string> readList(Read read) {
  std::u16string buffer;
  DWORD written = 0;
  for (DWORD units = ListStartUnits;; units *= 2) {
    buffer.assign(units, u'\0');
    // Wine answers -1 for a buffer too small for the list's end: count that as a full buffer.
    written = std::min(read(win32::asWide(buffer.data()), units), units);
    if (written + 2 < units || units == ListMostUnits) break;
  }
  std::vector<std::u16string> texts;
  for (std::size_t start = 0; start < written && buffer[start] != u'\0';) {
    // A list cut at the largest buffer may lack its last zero.
    const std::size_t end = std::min<std::size_t>(buffer.find(u'\0', start), written);
    // Comment lines are left out, whatever the system lists.
    if (buffer[start] != u';') texts.push_back(buffer.substr(start, end - start));
    start = end + 1;
  }
  return texts;
}

} // namespace

std::vector<std::u16string> profileSectionNames(const char16_t* path) {
  return readList([path](LPWSTR buffer, DWORD units) {
    return GetPrivateProfileSectionNamesW(buffer, units, win32::asWideOrEmpty(path));
  });
}

std::vector<std::u16string> profileSection(const char16_t* section, const char16_t* path) {
  if (section == nullptr) return {};
  return readList([section, path](LPWSTR buffer, DWORD units) {
    return GetPrivateProfileSectionW(win32::asWide(section), buffer, units,
                                     win32::asWideOrEmpty(path));
  });
}

} // namespace linepeek::platform
