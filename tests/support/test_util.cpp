#include "tests/support/test_util.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "tests/reference/unicode.h"

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
  reference::utf8ToUnits(utf8Text, out);
  return out;
}

std::string utf8(std::u16string_view text) {
  return reference::unitsToUtf8(std::u16string(text));
}

std::string answerText(int code, const void* buffer, std::size_t bytes) {
  // The host interface's result codes, written out so that a renumbered constant fails here.
  constexpr int Numeric64 = 2;
  constexpr int MultipleChoice = 7;
  constexpr int StringW = 11;
  switch (code) {
  case StringW: {
    std::u16string line(bytes / sizeof(char16_t), u'\0');
    std::memcpy(line.data(), buffer, line.size() * sizeof(char16_t));
    return utf8(line.substr(0, line.find(u'\0')));
  }
  case MultipleChoice: {
    const std::string choice(static_cast<const char*>(buffer), bytes);
    return choice.substr(0, choice.find('\0'));
  }
  case Numeric64: {
    std::int64_t count = 0;
    if (bytes >= sizeof count) std::memcpy(&count, buffer, sizeof count);
    return std::to_string(count);
  }
  default:
    return "(" + std::to_string(code) + ")";
  }
}

void setEnv(const char* name, const char* value) {
#if defined(_WIN32)
  _putenv_s(name, value);
#else
  setenv(name, value, 1);
#endif
}

} // namespace linepeek::test
