// Scratch names that no other process running at the same time picks. CTest starts several
// processes of one test binary at once (each Wine locale, each discovered test case), so a name
// built from the test alone is shared; std::random_device is no help either, as some toolchains
// give the same sequence in every process.
#pragma once

#include <atomic>
#include <filesystem>
#include <string>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

namespace linepeek::test {

inline long processId() {
#if defined(_WIN32)
  return static_cast<long>(_getpid());
#else
  return static_cast<long>(getpid());
#endif
}

// A path in the temporary folder: `stem`, the process id and a count within the process.
// Nothing is created.
inline std::filesystem::path uniqueTempPath(const std::string& stem) {
  static std::atomic<unsigned> serial{0};
  return std::filesystem::temp_directory_path() /
         (stem + "-" + std::to_string(processId()) + "-" + std::to_string(serial++));
}

} // namespace linepeek::test
