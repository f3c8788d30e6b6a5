// A temporary folder per test for settings files, removed with everything in it afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace linepeek::test {

class TempIni {
public:
  TempIni() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::temp_directory_path() /
              (std::string("linepeek-") + info->test_suite_name() + "-" + info->name() + "-" +
               std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder_);
  }
  TempIni(const TempIni&) = delete;
  TempIni& operator=(const TempIni&) = delete;
  ~TempIni() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::u16string path(const char* name) const { return (folder_ / name).u16string(); }
  // Writes `lines` ("\n" separated) with CR LF endings and answers the file's path.
  std::u16string write(const std::string& lines, const char* name = "linepeek.ini") const {
    std::ofstream out(folder_ / name, std::ios::binary | std::ios::trunc);
    for (char c : lines)
      c == '\n' ? out << "\r\n" : out << c;
    return path(name);
  }

private:
  std::filesystem::path folder_;
};

} // namespace linepeek::test
