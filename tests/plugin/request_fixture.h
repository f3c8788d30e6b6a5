// Requests through the exported entry point against the in-memory file layer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "analysis/analysis_cache.h"
#include "plugin/abi.h"
#include "settings/settings.h"
#include "tests/support/fake_files.h"

namespace linepeek::test {

class RequestTest : public ::testing::Test {
protected:
  void SetUp() override {
    fake::reset();
    settings = Settings{};
    analysisCache = AnalysisCache{};
  }

  void TearDown() override {
    // Every way out of a request closes the file and frees the lock.
    EXPECT_EQ(fake::counters().openHandles, 0);
    EXPECT_EQ(fake::counters().lockDepth, 0);
  }

  static int ask(const std::u16string& name, int field, void* buffer, int maxLen = 256,
                 int unit = 0) {
    return ContentGetValueW(reinterpret_cast<const WCHAR*>(name.c_str()), field, unit, buffer,
                            maxLen, 0);
  }

  // A choice, or an ASCII text answer, or "(code)" when the module answered neither.
  static std::string askText(const std::u16string& name, int field) {
    char16_t buffer[64] = {};
    const int code = ask(name, field, buffer, sizeof buffer);
    if (code == 7) return std::string(reinterpret_cast<const char*>(buffer));
    if (code == 11) return std::string(buffer, buffer + std::char_traits<char16_t>::length(buffer));
    return "(" + std::to_string(code) + ")";
  }

  static std::int64_t askCount(const std::u16string& name) {
    std::int64_t value = -99;
    const int code = ask(name, 13, &value, 1);
    EXPECT_EQ(code, 2);
    return value;
  }

  // A UTF-16 line answer, or "(code)" when there is none.
  static std::u16string askLine(const std::u16string& name, int field, int unit = 0) {
    char16_t buffer[256];
    std::memset(buffer, 0, sizeof buffer);
    const int code = ask(name, field, buffer, sizeof buffer, unit);
    if (code != 11) {
      const std::string text = "(" + std::to_string(code) + ")";
      return std::u16string(text.begin(), text.end());
    }
    return buffer;
  }
};

} // namespace linepeek::test
