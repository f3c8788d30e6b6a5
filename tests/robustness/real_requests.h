// Requests through the exported entry point against the real platform layer, in one temporary
// folder per test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "analysis/analysis_cache.h"
#include "platform/platform.h"
#include "plugin/abi.h"
#include "settings/settings.h"
#include "settings/settings_testing.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_util.h"

namespace linepeek::test {

class RealRequests : public ::testing::Test {
protected:
  void SetUp() override {
    // The module's load step would create the lock; these binaries link the module's parts.
    static const bool lockCreated = (platform::createValueLock(), true);
    (void)lockCreated;
    loadDefaults(settings);
    analysisCache = AnalysisCache{};
  }

  // Every answer as text: the line (UTF-8), the count, the choice, or "(code)". `maxLen` counts
  // bytes, so line answers are cut at maxLen / 2 - 1 code units.
  static std::string answer(const std::u16string& name, int field, int maxLen = 256) {
    std::u16string buffer(static_cast<std::size_t>(maxLen) + 8, u'\0');
    const int code = ContentGetValueW(reinterpret_cast<const WCHAR*>(name.c_str()), field, 0,
                                      buffer.data(), maxLen, 0);
    return answerText(code, buffer.data(), buffer.size() * sizeof(char16_t));
  }

  // A file of `size` bytes that is all holes but for `texts` written at their offsets.
  std::filesystem::path sparse(const std::string& name, std::uintmax_t size,
                               const std::vector<std::pair<std::uintmax_t, std::string>>& texts) {
    std::filesystem::path path = temp.folder() / name;
    { std::ofstream create(path, std::ios::binary); }
    std::filesystem::resize_file(path, size);
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    for (const auto& [offset, text] : texts) {
      out.seekp(static_cast<std::streamoff>(offset));
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    return path;
  }

  TempFolder temp;
};

// Every number within its range, every string within what one INI read can give.
inline void expectSaneSettings(const Settings& loaded) {
  constexpr std::size_t MaxValueUnits = 2047;
  EXPECT_LE(loaded.extensions.size(), MaxValueUnits);
  for (const std::int32_t kb : {loaded.textBufferSizeKB, loaded.utf8BufferSizeKB,
                                loaded.oemBufferSizeKB, loaded.rusBufferSizeKB}) {
    EXPECT_GE(kb, 1);
    EXPECT_LE(kb, 64);
  }
  for (const std::int32_t percent : {loaded.oemPercent, loaded.rusPercent}) {
    EXPECT_GE(percent, 0);
    EXPECT_LE(percent, 100);
  }
  for (const std::int32_t bytes : {loaded.rusMinSize, loaded.rusWordLen}) {
    EXPECT_GE(bytes, 0);
    EXPECT_LE(bytes, 65536);
  }
  for (const ReplacePair& pair : loaded.replaces) {
    EXPECT_LE(pair.from.size() + pair.to.size(), MaxValueUnits);
  }
  for (const std::uint8_t flag : loaded.binaryIgnore)
    EXPECT_LE(flag, 1);
  for (const std::uint8_t flag : loaded.oemIgnore)
    EXPECT_LE(flag, 1);
}

} // namespace linepeek::test
