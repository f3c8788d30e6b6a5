// One temporary folder per test, removed with everything in it afterwards.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/unique_path.h"

namespace linepeek::test {

class TempFolder {
public:
  TempFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string stem = std::string("linepeek-") + info->test_suite_name() + "-" + info->name();
    // Parameterised tests have slashes in their names.
    std::replace(stem.begin(), stem.end(), '/', '_');
    folder_ = uniqueTempPath(stem);
    // A folder left by an earlier process that had the same id must not leak into this test.
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  const std::filesystem::path& folder() const { return folder_; }
  std::u16string path(const std::filesystem::path& name) const {
    return (folder_ / name).u16string();
  }
  // Writes the bytes as they are and answers the file's path.
  std::u16string write(const std::filesystem::path& name, const std::string& bytes) const {
    std::ofstream out(folder_ / name, std::ios::binary | std::ios::trunc);
    out << bytes;
    return path(name);
  }

private:
  std::filesystem::path folder_;
};

} // namespace linepeek::test
