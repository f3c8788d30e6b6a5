// A temporary folder, removed with everything in it afterwards. Tests get one each; fuzz targets
// and plain hosts name theirs, and use this header without GoogleTest.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "tests/support/unique_path.h"

namespace linepeek::test {

class TempFolder {
public:
  // Named after the running GoogleTest test (temp_folder.cpp, which links GoogleTest).
  TempFolder();
  explicit TempFolder(const std::string& stem) : folder_(uniqueTempPath(stem)) {
    // A folder left by an earlier process that had the same id must not leak into this one.
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
