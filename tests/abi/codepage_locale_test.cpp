#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "tests/abi/expected_codepages.h"
#include "tests/abi/module_loader.h"

namespace linepeek {
namespace {

// The code pages that 0 and 1 stand for must be the ones of the locale the run was given.
TEST(LinkedPlatform, CodePagesMatchTheRunLocale) {
  const auto expected = test::expectedCodePages();
  if (!expected) GTEST_SKIP() << "no expected code pages for this run";
  EXPECT_EQ(platform::ansiCodePage(), expected->ansi);
  EXPECT_EQ(platform::oemCodePage(), expected->oem);
}

// Linked statically, the platform layer names the executable as its module.
TEST(LinkedPlatform, ModuleFileNameNamesTheExecutable) {
  char16_t path[1024];
  const int length = platform::moduleFileName(path, 1024);
  ASSERT_GT(length, 0);
  std::string narrow;
  for (int i = 0; i < length; ++i)
    narrow.push_back(static_cast<char>(path[i]));
  const std::string folder = test::executableFolder();
  EXPECT_EQ(narrow.substr(0, narrow.find_last_of("\\/") + 1), folder);
  EXPECT_NE(narrow.find("linepeek_abi_test"), std::string::npos) << narrow;
}

} // namespace
} // namespace linepeek
