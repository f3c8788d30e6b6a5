// The floor of a row: the system calls that sixteen value requests for one file cannot avoid,
// and nothing else; and, to split the module's cost into its system calls and its own work, a
// replay of the calls the module makes.
//
//   row_floor DIR            per file, 16 x (open, seek to end, fstat, read up to 64 KiB, close)
//   row_floor DIR frame      the same without the read: what a request of a cached file needs
//   row_floor DIR module     the module's calls for a row of a file of up to 64 KiB, as strace
//                            shows them: per request open (O_NONBLOCK), fstat, two fcntl, seek to
//                            end, fstat, close; stat before "Encoding" and "Type"; the head read,
//                            the tail read and the count's two reads, each after a seek
//   row_floor DIR lean       the module's calls without the second fstat, the fcntl pair and the
//                            repeated reads: one seek and one read of the whole file per row
//   row_floor DIR cached     the module's calls for a row of a cached file: "module" without
//                            the seeks and reads
//
// Files are listed and sorted as row_driver lists them; the read buffer is reused.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DIR [frame]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const std::string mode = argc < 3 ? "floor" : argv[2];
  if (mode != "floor" && mode != "frame" && mode != "module" && mode != "lean" &&
      mode != "cached") {
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

  static char buffer[262144];
  std::uint64_t sum = 0;
  const bool replay = mode == "module" || mode == "lean" || mode == "cached";
  for (const std::string& file : files) {
    for (int field = 0; field < 16; ++field) {
      struct stat status {};
      if (replay && field >= 14) ::stat(file.c_str(), &status);
      const int flags =
          replay ? O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK : O_RDONLY | O_CLOEXEC;
      const int descriptor = ::open(file.c_str(), flags);
      if (descriptor < 0) continue;
      if (mode == "module" || mode == "cached") {
        ::fstat(descriptor, &status);
        const int now = ::fcntl(descriptor, F_GETFL);
        ::fcntl(descriptor, F_SETFL, now & ~O_NONBLOCK);
      }
      const off_t size = ::lseek(descriptor, 0, SEEK_END);
      ::fstat(descriptor, &status);
      ssize_t got = 0;
      const auto whole = static_cast<std::size_t>(std::min<off_t>(size, 65536));
      if (mode == "floor") {
        got = ::pread(descriptor, buffer, 65536, 0);
      } else if ((mode == "module" && (field == 0 || field == 10)) ||
                 (mode == "lean" && field == 0)) {
        ::lseek(descriptor, 0, SEEK_SET);
        got = ::read(descriptor, buffer, whole);
      } else if (mode == "module" && field == 13) {
        ::lseek(descriptor, 0, SEEK_SET);
        got = ::read(descriptor, buffer, sizeof buffer);
        got += ::read(descriptor, buffer, sizeof buffer - static_cast<std::size_t>(got));
      }
      ::close(descriptor);
      sum += static_cast<std::uint64_t>(size) + static_cast<std::uint64_t>(got) +
             static_cast<std::uint64_t>(status.st_mtim.tv_nsec) +
             static_cast<unsigned char>(buffer[0]);
    }
  }
  std::printf("files %zu sum %llu\n", files.size(), static_cast<unsigned long long>(sum));
  return files.empty() ? 1 : 0;
}
