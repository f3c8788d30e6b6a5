#include "tests/support/test_util.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>

namespace linepeek::test {

std::string hex(std::string_view text) {
  std::string bytes;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ') {
      ++i;
    } else if (c == '"') {
      const std::size_t end = text.find('"', i + 1);
      if (end == std::string_view::npos) throw std::invalid_argument("unterminated quote");
      bytes.append(text.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      if (i + 1 >= text.size()) throw std::invalid_argument("odd hex digit");
      bytes.push_back(static_cast<char>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
      i += 2;
    }
  }
  return bytes;
}

std::u16string utf16(std::string_view utf8Text) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8Text.size();) {
    const auto b = static_cast<unsigned char>(utf8Text[i]);
    std::uint32_t cp = b;
    std::size_t extra = 0;
    if (b >= 0xF0) {
      cp = b & 0x07u;
      extra = 3;
    } else if (b >= 0xE0) {
      cp = b & 0x0Fu;
      extra = 2;
    } else if (b >= 0xC0) {
      cp = b & 0x1Fu;
      extra = 1;
    }
    for (std::size_t k = 1; k <= extra && i + k < utf8Text.size(); ++k) {
      cp = (cp << 6) | (static_cast<unsigned char>(utf8Text[i + k]) & 0x3Fu);
    }
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string utf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t cp = text[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

void setEnv(const char* name, const char* value) {
#if defined(_WIN32)
  _putenv_s(name, value);
#else
  setenv(name, value, 1);
#endif
}

} // namespace linepeek::test
