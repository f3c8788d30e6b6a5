// Times the "Line count" request through the built module's exported entry point against the
// read floor (dd bs=1M, which reads the file and does nothing with it), wc -l and grep -c on the
// same page-cached files, in alternation, and prints medians and the ratios to wc -l and the
// floor.
//
//   count_driver ROUNDS MODULE_SKIP_OFF MODULE_SKIP_ON FILE...
//
// The two modules are copies of linepeek.so, each beside a settings file with SkipEmpty 0 or 1.
// Every FILE needs a hard link FILE.alt: requests alternate between the two names, so the
// module's one-file cache never answers from a previous count.
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using GetValue = int (*)(const char16_t*, int, int, void*, int, int);
constexpr int LineCountField = 13;

double secondsOf(const std::chrono::steady_clock::duration& span) {
  return std::chrono::duration<double>(span).count();
}

double timeCommand(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
  return secondsOf(std::chrono::steady_clock::now() - start);
}

struct Module {
  GetValue getValue = nullptr;
  bool useAlt = false;
};

double timeRequest(Module& module, const std::string& file, std::int64_t& lines) {
  const std::string name = module.useAlt ? file + ".alt" : file;
  module.useAlt = !module.useAlt;
  const std::u16string wide(name.begin(), name.end());
  const auto start = std::chrono::steady_clock::now();
  const int answer = module.getValue(wide.c_str(), LineCountField, 0, &lines, 8, 0);
  const double seconds = secondsOf(std::chrono::steady_clock::now() - start);
  if (answer != 2) std::fprintf(stderr, "request answered %d for %s\n", answer, name.c_str());
  return seconds;
}

bool load(const char* path, Module& module) {
  void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return false;
  }
  module.getValue = reinterpret_cast<GetValue>(dlsym(handle, "ContentGetValueW"));
  return module.getValue != nullptr;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s ROUNDS MODULE_SKIP_OFF MODULE_SKIP_ON FILE...\n", argv[0]);
    return 2;
  }
  const int rounds = std::max(1, std::atoi(argv[1]));
  Module skipOff;
  Module skipOn;
  if (!load(argv[2], skipOff) || !load(argv[3], skipOn)) return 1;

  const char* const names[] = {"floor (dd)", "wc -l", "grep -c", "SkipEmpty 0", "SkipEmpty 1"};
  for (int f = 4; f < argc; ++f) {
    const std::string file = argv[f];
    struct stat info {};
    if (stat(file.c_str(), &info) != 0) return 1;
    const double gib = static_cast<double>(info.st_size) / (1 << 30);
    const std::string quoted = "'" + file + "'";
    // Output to a real file: grep stops at the first match when its output is /dev/null.
    const std::string scratch = " > '" + file + ".out'";
    const std::string floor = "dd bs=1M status=none of=/dev/null if=" + quoted;
    // Read once untimed: files written or read minutes before may have left the page cache (a
    // virtual machine may page out what was not used for a while).
    timeCommand(floor);
    std::map<int, std::vector<double>> times;
    std::int64_t linesOff = 0;
    std::int64_t linesOn = 0;
    // A new order every round, from a fixed seed, so that drifting background load falls on every
    // contender alike, and no contender always follows the same one (grep, say, leaving the
    // caches to whoever comes next).
    std::mt19937 shuffler(20240611);
    int order[] = {0, 1, 2, 3, 4};
    for (int round = 0; round < rounds; ++round) {
      std::shuffle(std::begin(order), std::end(order), shuffler);
      for (const int which : order) {
        // grep crawls through UTF-16 (every other byte is NUL); one run of it says enough. Against
        // the fastest floor, so that one slow floor does not let it run every round.
        if (which == 2 && !times[2].empty() && !times[0].empty() &&
            times[2].front() > 20 * *std::min_element(times[0].begin(), times[0].end())) {
          continue;
        }
        double seconds = 0;
        switch (which) {
        case 0:
          seconds = timeCommand(floor);
          break;
        case 1:
          seconds = timeCommand("wc -l " + quoted + scratch);
          break;
        case 2:
          seconds = timeCommand("LC_ALL=C grep -c '[^[:space:]]' " + quoted + scratch);
          break;
        case 3:
          seconds = timeRequest(skipOff, file, linesOff);
          break;
        default:
          seconds = timeRequest(skipOn, file, linesOn);
          break;
        }
        times[which].push_back(seconds);
      }
    }
    std::printf("\n%s: %.2f GiB, %d rounds; module counts %lld lines (SkipEmpty 0), %lld (1)\n",
                file.c_str(), gib, rounds, static_cast<long long>(linesOff),
                static_cast<long long>(linesOn));
    std::printf("  %-12s %9s %9s %9s %8s %8s %8s\n", "", "median ms", "min ms", "max ms", "GiB/s",
                "/ wc -l", "/ floor");
    const double wcMedian = median(times[1]);
    const double floorMedian = median(times[0]);
    for (int which = 0; which < 5; ++which) {
      const std::vector<double>& all = times[which];
      const double mid = median(all);
      std::printf("  %-12s %9.1f %9.1f %9.1f %8.2f %8.3f %8.3f  (%zu runs)\n", names[which],
                  mid * 1e3, *std::min_element(all.begin(), all.end()) * 1e3,
                  *std::max_element(all.begin(), all.end()) * 1e3, gib / mid, mid / wcMedian,
                  mid / floorMedian, all.size());
    }
  }
  return 0;
}
