#include "platform/posix/file_name.h"

#include "base/unicode.h"

namespace linepeek::platform::posix {
namespace {

// A low surrogate U+DC80..U+DCFF that no high surrogate pairs with: a name byte 0x80..0xFF
// that is not UTF-8, as hosts carry such bytes in UTF-16.
bool isEscapedByte(const char16_t* name, std::size_t i) {
  return name[i] >= 0xDC80 && name[i] <= 0xDCFF && (i == 0 || !isHighSurrogate(name[i - 1]));
}

} // namespace

std::size_t wideLength(const char16_t* text) {
  std::size_t length = 0;
  while (text[length] != 0)
    ++length;
  return length;
}

bool fileSystemName(const char16_t* name, PathBuffer& bytes) {
  if (name == nullptr) return false;
  const std::size_t units = wideLength(name);
  const std::size_t capacity = bytes.size() - 1;
  std::size_t written = 0;
  std::size_t runStart = 0;
  // UTF-8 for each run between escaped bytes, which a pair never straddles: an escaped byte
  // is by definition not the low half of one.
  for (std::size_t i = 0; i <= units; ++i) {
    if (i < units && !isEscapedByte(name, i)) continue;
    bool valid = false;
    written += linepeek::encodeUtf8(name + runStart, i - runStart, bytes.data() + written,
                                    capacity - written, &valid);
    if (!valid || written > capacity) return false;
    if (i == units) break;
    if (written == capacity) return false;
    bytes[written++] = static_cast<char>(name[i] & 0xFF);
    runStart = i + 1;
  }
  bytes[written] = '\0';
  return true;
}

} // namespace linepeek::platform::posix
