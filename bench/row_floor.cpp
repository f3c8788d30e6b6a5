// The floor of a row: the system calls that sixteen value requests for one file cannot avoid,
// and nothing else.
//
//   row_floor DIR            per file, the first request's open, fstat, read of up to 64 KiB and
//                            close, and a stat of the name for each of the other fifteen, which
//                            check the cached file
//   row_floor DIR frame      16 x stat: what a row of a cached file needs
//
// Files are listed and sorted as row_driver lists them; the read buffer is reused.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DIR [frame]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const std::string mode = argc < 3 ? "floor" : argv[2];
  if (mode != "floor" && mode != "frame") {
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
  }
  std::vector<std::string> files;
  DIR* listing = ::opendir(dir.c_str());
  if (listing == nullptr) return 1;
  while (const dirent* entry = ::readdir(listing)) {
    if (entry->d_name[0] != '.') files.push_back(dir + "/" + entry->d_name);
  }
  ::closedir(listing);
  std::sort(files.begin(), files.end());

  static char buffer[65536];
  std::uint64_t sum = 0;
  for (const std::string& file : files) {
    for (int field = 0; field < 16; ++field) {
      struct stat status {};
      if (field > 0 || mode == "frame") {
        ::stat(file.c_str(), &status);
        sum += static_cast<std::uint64_t>(status.st_size);
        continue;
      }
      const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
      if (descriptor < 0) continue;
      ::fstat(descriptor, &status);
      const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
      ::close(descriptor);
      sum += static_cast<std::uint64_t>(status.st_size) + static_cast<std::uint64_t>(got) +
             static_cast<unsigned char>(buffer[0]);
    }
  }
  std::printf("files %zu sum %llu\n", files.size(), static_cast<unsigned long long>(sum));
  return files.empty() ? 1 : 0;
}
