#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "plugin/abi.h"
#include "tests/abi/expected_codepages.h"
#include "tests/abi/module_loader.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_util.h"

namespace linepeek::test {
namespace {

namespace fs = std::filesystem;

using SupportedFieldFn = decltype(&ContentGetSupportedField);
using GetValueFn = decltype(&ContentGetValue);
using GetValueWFn = decltype(&ContentGetValueW);

std::string modulePath() {
  return executableFolder() + LINEPEEK_MODULE_FROM_TEST;
}

template <typename Function> Function entry(const LoadedModule& module, const char* name) {
  return reinterpret_cast<Function>(module.find(name));
}

class ModuleBoundary : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(module.isLoaded()) << modulePath() << ": " << module.error();
    supportedField = entry<SupportedFieldFn>(module, "ContentGetSupportedField");
    getValue = entry<GetValueFn>(module, "ContentGetValue");
    getValueW = entry<GetValueWFn>(module, "ContentGetValueW");
    ASSERT_NE(supportedField, nullptr);
    ASSERT_NE(getValue, nullptr);
    ASSERT_NE(getValueW, nullptr);
  }

  // Asks for one field of `file`; `buffer` keeps what the module wrote.
  int ask(const fs::path& file, int field, int unit) {
    buffer.fill(0x5A);
    const std::u16string name = file.u16string();
    return getValueW(reinterpret_cast<const WCHAR*>(name.c_str()), field, unit, buffer.data(),
                     static_cast<int>(buffer.size()), 0);
  }
  std::u16string wideAnswer() const {
    std::u16string text(buffer.size() / 2, u'\0');
    std::memcpy(text.data(), buffer.data(), text.size() * 2);
    return text.substr(0, text.find(u'\0'));
  }
  std::string narrowAnswer() const {
    const auto* begin = reinterpret_cast<const char*>(buffer.data());
    return std::string(begin, strnlen(begin, buffer.size()));
  }

  LoadedModule module{modulePath()};
  SupportedFieldFn supportedField = nullptr;
  GetValueFn getValue = nullptr;
  GetValueWFn getValueW = nullptr;
  std::array<unsigned char, 512> buffer{};
};

// The 8-bit-name entry point serves nothing and writes nothing, whatever it is given.
TEST_F(ModuleBoundary, ContentGetValueAnswersEmpty) {
  char name[] = "whatever.txt";
  for (int field : {0, 12, 13, 15, 16, 99, -1}) {
    SCOPED_TRACE(field);
    std::array<unsigned char, 16> value{};
    value.fill(0xAB);
    EXPECT_EQ(getValue(name, field, 0, value.data(), static_cast<int>(value.size()), 0), -3);
    for (unsigned char byte : value)
      ASSERT_EQ(byte, 0xAB);
  }
}

// The loaded module serves its catalogue through the export: fields from 0 on, each with a type
// and a name that fit the buffer, up to the first 0; from there on, and below 0, both buffers
// stay as they were. The fields themselves are pinned by the catalogue test.
TEST_F(ModuleBoundary, ContentGetSupportedField) {
  char name[64];
  char units[64];
  int fields = 0;
  for (; fields < 100; ++fields) {
    SCOPED_TRACE(fields);
    std::memset(name, '#', sizeof name);
    std::memset(units, '#', sizeof units);
    if (supportedField(fields, name, units, 64) <= 0) break;
    EXPECT_GT(strnlen(name, sizeof name), 0U);
    EXPECT_LT(strnlen(name, sizeof name), sizeof name);
    EXPECT_LT(strnlen(units, sizeof units), sizeof units);
  }
  EXPECT_GT(fields, 0);
  EXPECT_LT(fields, 100);
  for (int field : {fields, fields + 1, 1000, -1}) {
    SCOPED_TRACE(field);
    std::memset(name, '#', sizeof name);
    std::memset(units, '#', sizeof units);
    EXPECT_EQ(supportedField(field, name, units, 64), 0);
    EXPECT_EQ(std::string(name, sizeof name), std::string(sizeof name, '#'));
    EXPECT_EQ(std::string(units, sizeof units), std::string(sizeof units, '#'));
  }
}

// Whole requests through the real platform layer: a text file, a folder, a missing name.
TEST_F(ModuleBoundary, ContentGetValueWOnRealEntries) {
  const TempFolder temp;
  const fs::path text = temp.write("two.txt", "alpha\nbeta\n");
  const fs::path missing = temp.folder() / "missing.txt";

  EXPECT_EQ(ask(text, 0, 0), 11);
  EXPECT_EQ(utf8(wideAnswer()), "alpha");
  EXPECT_EQ(ask(text, 1, 1), 11);
  EXPECT_EQ(utf8(wideAnswer()), "beta");
  EXPECT_EQ(ask(text, 13, 0), 2);
  std::int64_t lines = -1;
  std::memcpy(&lines, buffer.data(), sizeof lines);
  EXPECT_EQ(lines, 2);
  EXPECT_EQ(ask(text, 15, 0), 7);
  EXPECT_EQ(narrowAnswer(), "Text");

  EXPECT_EQ(ask(temp.folder(), 15, 0), 7);
  EXPECT_EQ(narrowAnswer(), "Folder");

  EXPECT_EQ(ask(missing, 0, 0), -3);
  EXPECT_EQ(buffer[0], 0x5A);
  EXPECT_EQ(ask(missing, 15, 0), -2);
  EXPECT_EQ(ask(text, 16, 0), -1);
}

// "win" lines decode in the ANSI code page that the run was set up with.
TEST_F(ModuleBoundary, WinUnitFollowsTheAnsiCodePage) {
  const auto expected = expectedCodePages();
  if (!expected) GTEST_SKIP() << "no expected code pages for this run";
  const TempFolder temp;
  // "Privet" in Cyrillic, code page 1251.
  const fs::path file = temp.write("cyr.txt", hex("CF F0 E8 E2 E5 F2 0A"));
  ASSERT_EQ(ask(file, 0, 0), 11);
  if (expected->ansi == 1251) {
    EXPECT_EQ(wideAnswer(), u"\u041F\u0440\u0438\u0432\u0435\u0442");
  } else if (expected->ansi == 1252) {
    EXPECT_EQ(wideAnswer(), u"\u00CF\u00F0\u00E8\u00E2\u00E5\u00F2");
  } else {
    GTEST_SKIP() << "no expected text for code page " << expected->ansi;
  }
}

} // namespace
} // namespace linepeek::test
