#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace linepeek::test {
namespace {

std::string runningTestStem() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string stem = std::string("linepeek-") + info->test_suite_name() + "-" + info->name();
  // Parameterised tests have slashes in their names.
  std::replace(stem.begin(), stem.end(), '/', '_');
  return stem;
}

} // namespace

TempFolder::TempFolder() : TempFolder(runningTestStem()) {}

} // namespace linepeek::test
