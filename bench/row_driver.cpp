// A minimal host: loads the built module with dlopen, as linepeek-cli and a file manager do, and
// asks it for values with no output formatting, so what it costs is the module's own cost.
//
//   row_driver MODULE row DIR            all sixteen fields, unit 0, of every file in DIR
//   row_driver MODULE cache DIR          per file: the row twice, then the request frame alone
//                                        (16 x stat of the name) as the floor of the second row
//   row_driver MODULE ends ROUNDS FILE.. "-1", "-2", "-3" and "1" of each FILE, ROUNDS times
//   row_driver MODULE memory FILE        one row; peak resident size before and after
//   row_driver MODULE field N[,N..] DIR [UNIT]
//                                        those fields alone, unit UNIT (default 0), of every
//                                        file in DIR
//
// Files of DIR are asked in name order, as a file manager lists them. "ends" needs a hard link
// FILE.alt beside every FILE: the names alternate, so the module's one-file cache is refilled
// for every set and each set pays the reads of a first visit.
// Bytes and read calls come from /proc/self/io (rchar, syscr), which counts every read(2) and
// pread(2) of the process, so they include whatever the module reads.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using GetValue = int (*)(const char16_t*, int, int, void*, int, int);
constexpr int FieldCount = 16;
constexpr int BufferUnits = 1024;

GetValue getValue = nullptr;
char16_t valueBuffer[BufferUnits + 4];
std::uint64_t answerSum = 0; // folds every answer in, so no call can be skipped

// File names in the benchmark data are ASCII, so each byte is one UTF-16 unit.
std::u16string wide(const std::string& name) {
  return std::u16string(name.begin(), name.end());
}

void ask(const std::u16string& name, int field, int unit = 0) {
  const int answer = getValue(name.c_str(), field, unit, valueBuffer, BufferUnits, 0);
  answerSum = answerSum * 31 + static_cast<std::uint64_t>(answer + 8) + valueBuffer[0];
}

void askRow(const std::u16string& name) {
  for (int field = 0; field < FieldCount; ++field)
    ask(name, field);
}

// Read calls and bytes read by this process so far.
struct IoCount {
  std::int64_t readCalls = 0;
  std::int64_t readBytes = 0;
};

class IoCounter {
public:
  IoCounter() : descriptor_(::open("/proc/self/io", O_RDONLY | O_CLOEXEC)) {}
  ~IoCounter() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  // The counts exclude this counter's own reads: the kernel adds each one after producing its
  // text, so the next sample sees it, and it is taken off there.
  IoCount sample() {
    char text[512];
    const ssize_t got = ::pread(descriptor_, text, sizeof text - 1, 0);
    IoCount now;
    if (got <= 0) return now;
    text[got] = '\0';
    std::sscanf(std::strstr(text, "rchar:"), "rchar: %" SCNd64, &now.readBytes);
    std::sscanf(std::strstr(text, "syscr:"), "syscr: %" SCNd64, &now.readCalls);
    ownCalls_ += 1;
    ownBytes_ += lastBytes_;
    lastBytes_ = got;
    now.readCalls -= ownCalls_ - 1;
    now.readBytes -= ownBytes_;
    return now;
  }

private:
  int descriptor_;
  std::int64_t ownCalls_ = 0;
  std::int64_t ownBytes_ = 0;
  std::int64_t lastBytes_ = 0;
};

IoCount operator-(IoCount a, IoCount b) {
  return {a.readCalls - b.readCalls, a.readBytes - b.readBytes};
}

// What a request for a cached file cannot avoid: the check of the name, without any read.
void frameRow(const std::string& path) {
  for (int field = 0; field < FieldCount; ++field) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    answerSum +=
        static_cast<std::uint64_t>(status.st_size) + static_cast<std::uint64_t>(status.st_mtime);
  }
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long peakKib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss; // KiB on Linux
}

std::vector<std::string> filesOf(const std::string& dir) {
  std::vector<std::string> files;
  DIR* listing = ::opendir(dir.c_str());
  if (listing == nullptr) return files;
  while (const dirent* entry = ::readdir(listing)) {
    if (entry->d_name[0] != '.') files.push_back(dir + "/" + entry->d_name);
  }
  ::closedir(listing);
  std::sort(files.begin(), files.end());
  return files;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

int runRow(const std::string& dir) {
  const std::vector<std::string> files = filesOf(dir);
  for (const std::string& file : files)
    askRow(wide(file));
  std::printf("files %zu answers %016" PRIx64 "\n", files.size(), answerSum);
  return files.empty() ? 1 : 0;
}

int runFields(const std::string& list, const std::string& dir, int unit) {
  std::vector<int> fields;
  for (const char* at = list.c_str(); *at != '\0';) {
    char* end = nullptr;
    fields.push_back(static_cast<int>(std::strtol(at, &end, 10)));
    at = *end == ',' ? end + 1 : end;
    if (end == at && *at != '\0') return 2;
  }
  const std::vector<std::string> files = filesOf(dir);
  for (const std::string& file : files) {
    for (const int field : fields)
      ask(wide(file), field, unit);
  }
  std::printf("files %zu answers %016" PRIx64 "\n", files.size(), answerSum);
  return files.empty() ? 1 : 0;
}

int runCache(const std::string& dir) {
  const std::vector<std::string> files = filesOf(dir);
  IoCounter counter;
  IoCount first;
  IoCount second;
  double firstSeconds = 0;
  double secondSeconds = 0;
  double frameSeconds = 0;
  for (const std::string& file : files) {
    const std::u16string name = wide(file);
    IoCount before = counter.sample();
    auto start = std::chrono::steady_clock::now();
    askRow(name);
    firstSeconds += secondsSince(start);
    const IoCount middle = counter.sample();
    start = std::chrono::steady_clock::now();
    askRow(name);
    secondSeconds += secondsSince(start);
    const IoCount after = counter.sample();
    start = std::chrono::steady_clock::now();
    frameRow(file);
    frameSeconds += secondsSince(start);
    const IoCount a = middle - before;
    const IoCount b = after - middle;
    first.readCalls += a.readCalls;
    first.readBytes += a.readBytes;
    second.readCalls += b.readCalls;
    second.readBytes += b.readBytes;
  }
  std::printf("files %zu\n", files.size());
  std::printf("first_row  read_calls %" PRId64 " read_bytes %" PRId64 " seconds %.6f\n",
              first.readCalls, first.readBytes, firstSeconds);
  std::printf("second_row read_calls %" PRId64 " read_bytes %" PRId64 " seconds %.6f\n",
              second.readCalls, second.readBytes, secondSeconds);
  std::printf("frame_only seconds %.6f; second row / frame %.3f; first row / second row %.3f\n",
              frameSeconds, secondSeconds / frameSeconds, firstSeconds / secondSeconds);
  return files.empty() ? 1 : 0;
}

int runEnds(int rounds, int fileCount, char** fileNames) {
  static const int fields[] = {12, 11, 10, 0}; // "-1", "-2", "-3", "1"
  struct Target {
    std::u16string names[2];
    std::vector<double> seconds;
    IoCount io;
    int sets = 0;
  };
  std::vector<Target> targets(static_cast<std::size_t>(fileCount));
  for (int f = 0; f < fileCount; ++f) {
    targets[static_cast<std::size_t>(f)].names[0] = wide(fileNames[f]);
    targets[static_cast<std::size_t>(f)].names[1] = wide(std::string(fileNames[f]) + ".alt");
  }
  IoCounter counter;
  for (int round = 0; round < rounds; ++round) {
    // The order turns each round, so drifting background load falls on every file.
    for (int step = 0; step < fileCount; ++step) {
      Target& target = targets[static_cast<std::size_t>((step + round) % fileCount)];
      const std::u16string& name = target.names[round % 2];
      const IoCount before = counter.sample();
      const auto start = std::chrono::steady_clock::now();
      for (const int field : fields)
        ask(name, field);
      target.seconds.push_back(secondsSince(start));
      const IoCount used = counter.sample() - before;
      target.io.readCalls += used.readCalls;
      target.io.readBytes += used.readBytes;
      ++target.sets;
    }
  }
  std::printf("%-40s %10s %10s %10s %12s %10s %8s\n", "file", "median_us", "min_us", "max_us",
              "bytes/set", "reads/set", "ratio");
  const double firstMedian = median(targets[0].seconds);
  for (int f = 0; f < fileCount; ++f) {
    const Target& target = targets[static_cast<std::size_t>(f)];
    const double mid = median(target.seconds);
    std::printf("%-40s %10.1f %10.1f %10.1f %12" PRId64 " %10.1f %8.3f\n", fileNames[f], mid * 1e6,
                *std::min_element(target.seconds.begin(), target.seconds.end()) * 1e6,
                *std::max_element(target.seconds.begin(), target.seconds.end()) * 1e6,
                target.io.readBytes / target.sets,
                static_cast<double>(target.io.readCalls) / target.sets, mid / firstMedian);
  }
  std::printf("answers %016" PRIx64 "\n", answerSum);
  return 0;
}

int runMemory(const std::string& file) {
  const long baseline = peakKib();
  IoCounter counter;
  const IoCount before = counter.sample();
  const auto start = std::chrono::steady_clock::now();
  askRow(wide(file));
  const double seconds = secondsSince(start);
  const IoCount used = counter.sample() - before;
  const long peak = peakKib();
  std::printf("baseline_kib %ld peak_kib %ld growth_kib %ld read_bytes %" PRId64
              " read_calls %" PRId64 " seconds %.3f\n",
              baseline, peak, peak - baseline, used.readBytes, used.readCalls, seconds);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: %s MODULE row|cache DIR\n"
                 "       %s MODULE ends ROUNDS FILE...\n"
                 "       %s MODULE memory FILE\n"
                 "       %s MODULE field N[,N..] DIR [UNIT]\n",
                 argv[0], argv[0], argv[0], argv[0]);
    return 2;
  }
  void* module = ::dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    std::fprintf(stderr, "cannot load %s: %s\n", argv[1], ::dlerror());
    return 1;
  }
  getValue = reinterpret_cast<GetValue>(::dlsym(module, "ContentGetValueW"));
  if (getValue == nullptr) {
    std::fprintf(stderr, "no ContentGetValueW in %s\n", argv[1]);
    return 1;
  }
  const std::string mode = argv[2];
  if (mode == "row") return runRow(argv[3]);
  if (mode == "cache") return runCache(argv[3]);
  if (mode == "memory") return runMemory(argv[3]);
  if (mode == "field" && argc >= 5)
    return runFields(argv[3], argv[4], argc > 5 ? std::atoi(argv[5]) : 0);
  if (mode == "ends" && argc >= 5)
    return runEnds(std::max(1, std::atoi(argv[3])), argc - 4, argv + 4);
  std::fprintf(stderr, "unknown mode %s\n", argv[2]);
  return 2;
}
