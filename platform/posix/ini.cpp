// An INI reader with the answers of GetPrivateProfileStringW, and of the section listings
// GetPrivateProfileSectionNamesW and GetPrivateProfileSectionW as Wine gives them: section and
// key names compared without regard to ASCII case, blanks around section names, keys and values
// trimmed, the first matching
// section and the first matching key in it win, one pair of matching quotes around a value is
// removed, and lines starting with ';' are comments. The file may be UTF-16 with a byte order
// mark, UTF-8 with or without one, or else text in the ANSI code page.
#include "platform/posix/ini.h"

#include "base/ascii.h"
#include "base/unicode.h"
#include "platform/platform.h"
#include "platform/posix/file_name.h"
#include "platform/posix/regular_file.h"

#include <new>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace linepeek::platform {
namespace {

using namespace posix;

// The first `IniReadLimitBytes` of the file, or false when it cannot be opened as a regular
// file. `isCut` tells whether the file goes on beyond them.
bool readSettingsFile(const char16_t* path, std::string& bytes, bool& isCut) {
  posix::PathBuffer name;
  if (!posix::fileSystemName(path, name)) return false;
  const posix::DescriptorOwner file(posix::openRegularFile(name.data()));
  if (file.get() < 0) return false;
  // Size the buffer by the file, not the limit: settings are read some thirty times at load.
  // One byte more than expected tells a file of exactly the limit from a longer one (or one that
  // grew since fstat).
  struct stat info {};
  std::int64_t expected = posix::IniReadLimitBytes;
  if (::fstat(file.get(), &info) == 0 && info.st_size >= 0 && info.st_size < expected) {
    expected = static_cast<std::int64_t>(info.st_size);
  }
  bytes.resize(static_cast<std::size_t>(expected) + 1);
  std::int64_t got =
      posix::readFully(file.get(), bytes.data(), static_cast<std::int64_t>(bytes.size()));
  if (got < 0) return false;
  if (got > expected && expected < posix::IniReadLimitBytes) {
    // The file grew since fstat: read on up to the limit.
    bytes.resize(static_cast<std::size_t>(posix::IniReadLimitBytes) + 1);
    const std::int64_t more = posix::readFully(file.get(), bytes.data() + got,
                                               static_cast<std::int64_t>(bytes.size()) - got);
    if (more > 0) got += more;
  }
  isCut = got > posix::IniReadLimitBytes;
  bytes.resize(static_cast<std::size_t>(isCut ? posix::IniReadLimitBytes : got));
  return true;
}

std::u16string decodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string text(bytes.size() / 2, u'\0');
  const auto* units = reinterpret_cast<const unsigned char*>(bytes.data());
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = utf16UnitAt(units, i, bigEndian);
  return text;
}

// A line cut by the read limit is dropped whole, so that it can neither give a wrong value nor,
// cut inside a UTF-8 sequence, make the whole file look like 8-bit text.
std::u16string decodeSettingsFile(std::string_view bytes, bool isCut) {
  const bool isUtf16Le = bytes.substr(0, 2) == "\xFF\xFE";
  if (isUtf16Le || bytes.substr(0, 2) == "\xFE\xFF") {
    std::u16string text = decodeUtf16(bytes.substr(2), !isUtf16Le);
    if (isCut) {
      const std::size_t lastLf = text.rfind(u'\n');
      text.resize(lastLf == std::u16string::npos ? 0 : lastLf + 1);
    }
    return text;
  }
  if (isCut) {
    // In UTF-8 and the 8-bit code pages, 0x0A is LF and nothing else.
    const std::size_t lastLf = bytes.rfind('\n');
    bytes = bytes.substr(0, lastLf == std::string_view::npos ? 0 : lastLf + 1);
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return decodeText(Utf8CodePage, bytes.substr(3));
  bool valid = false;
  linepeek::decodeUtf8(bytes.data(), bytes.size(), nullptr, 0, &valid);
  if (valid || bytes.empty()) return decodeText(Utf8CodePage, bytes);
  // Not UTF-8: an 8-bit file written in the ANSI code page.
  return decodeText(AnsiCodePage, bytes);
}

// Finds the value of `key` in the first section named `section`; false when there is none.
bool findValue(Text file, Text section, Text key, Text& value) {
  bool found = false;
  walkSection(file, section, [&](Text line) {
    Text name;
    found = splitLine(line, name, value) && sameName(name, key);
    return !found;
  });
  return found;
}

int copyValue(Text value, char16_t* buffer, int units) {
  const std::size_t room = static_cast<std::size_t>(units) - 1;
  const std::size_t length = value.size() < room ? value.size() : room;
  value.copy(buffer, length);
  buffer[length] = 0;
  return static_cast<int>(length);
}

Text defaultText(const char16_t* defaultValue) {
  if (defaultValue == nullptr) return Text();
  Text text(defaultValue, posix::wideLength(defaultValue));
  // The default loses its trailing spaces, as on Windows.
  while (!text.empty() && text.back() == u' ')
    text.remove_suffix(1);
  return text;
}

} // namespace

bool posix::readText(const char16_t* path, std::u16string& text) {
  std::string bytes;
  bool isCut = false;
  if (!readSettingsFile(path, bytes, isCut)) return false;
  text = decodeSettingsFile(bytes, isCut);
  return true;
}

int readProfileString(const char16_t* section, const char16_t* key, const char16_t* defaultValue,
                      char16_t* buffer, int units, const char16_t* path) {
  if (buffer == nullptr || units < 1) return 0;
  // Listing all sections or all keys of one (a null section or key) is not offered.
  if (section == nullptr || key == nullptr) return copyValue(Text(), buffer, units);
  const Text sectionName(section, posix::wideLength(section));
  const Text keyName(key, posix::wideLength(key));
  try {
    std::u16string text;
    if (!keyName.empty() && readText(path, text)) {
      Text value;
      if (findValue(text, sectionName, keyName, value)) {
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front()) {
          value = value.substr(1, value.size() - 2);
        }
        return copyValue(value, buffer, units);
      }
    }
  } catch (const std::bad_alloc&) {
    // Out of memory while reading settings: answer the default, as for a missing file.
  }
  return copyValue(defaultText(defaultValue), buffer, units);
}

} // namespace linepeek::platform
