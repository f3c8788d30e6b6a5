// The code pages a test run should see, as its registration states them.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace linepeek::test {

struct CodePagePair {
  int ansi;
  int oem;
};

// LINEPEEK_EXPECTED_ANSI and _OEM (one pair per Wine locale), or else the LINEPEEK_CODEPAGES
// override ("1251,866") that the POSIX layer obeys. Nothing when the run states neither.
inline std::optional<CodePagePair> expectedCodePages() {
  const char* ansi = std::getenv("LINEPEEK_EXPECTED_ANSI");
  const char* oem = std::getenv("LINEPEEK_EXPECTED_OEM");
  if (ansi != nullptr && oem != nullptr) return CodePagePair{std::atoi(ansi), std::atoi(oem)};
  const char* pair = std::getenv("LINEPEEK_CODEPAGES");
  if (pair == nullptr) return std::nullopt;
  const std::string text(pair);
  const auto comma = text.find(',');
  if (comma == std::string::npos) return std::nullopt;
  return CodePagePair{std::atoi(text.substr(0, comma).c_str()),
                      std::atoi(text.substr(comma + 1).c_str())};
}

} // namespace linepeek::test
