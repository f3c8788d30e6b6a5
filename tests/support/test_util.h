// Small helpers shared by the tests.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace linepeek::test {

// "FF FE 41 00" -> the four bytes. Spaces separate bytes; "text" in double quotes is literal.
std::string hex(std::string_view text);

// ASCII or UTF-8 text to UTF-16 (for file names and expected values).
std::u16string utf16(std::string_view utf8);
// UTF-16 to UTF-8 for readable failure messages.
std::string utf8(std::u16string_view text);

// A value answer as the tests compare it: a line as UTF-8, a count in decimal, a choice as it
// stands, any other result as "(code)". `buffer` holds the `bytes` the module may have written;
// texts end at their first zero or at the buffer's end.
std::string answerText(int code, const void* buffer, std::size_t bytes);

// Sets an environment variable of this process on either target.
void setEnv(const char* name, const char* value);

} // namespace linepeek::test
