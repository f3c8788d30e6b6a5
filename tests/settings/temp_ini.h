// A temporary folder per test for settings files, removed with everything in it afterwards.
#pragma once

#include <fstream>
#include <string>

#include "tests/support/temp_folder.h"

namespace linepeek::test {

class TempIni {
public:
  std::u16string path(const char* name) const { return folder_.path(name); }
  // Writes `lines` ("\n" separated) with CR LF endings and answers the file's path.
  std::u16string write(const std::string& lines, const char* name = "linepeek.ini") const {
    std::string bytes;
    for (char c : lines)
      c == '\n' ? bytes += "\r\n" : bytes += c;
    return folder_.write(name, bytes);
  }

private:
  TempFolder folder_;
};

} // namespace linepeek::test
