#include "platform/posix/file_name.h"

#include "base/unicode.h"

namespace linepeek::platform::posix {

std::size_t wideLength(const char16_t* text) {
  std::size_t length = 0;
  while (text[length] != 0)
    ++length;
  return length;
}

bool fileSystemName(const char16_t* name, PathBuffer& utf8Name) {
  if (name == nullptr) return false;
  bool valid = false;
  const std::size_t bytes =
      linepeek::encodeUtf8(name, wideLength(name), utf8Name.data(), utf8Name.size() - 1, &valid);
  if (!valid || bytes > utf8Name.size() - 1) return false;
  utf8Name[bytes] = '\0';
  return true;
}

} // namespace linepeek::platform::posix
