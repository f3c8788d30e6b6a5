// Times shell commands against each other in alternation and prints each one's median, min and
// max, items per second, and its ratios to the first and to the second command, all from the
// same run (so "floor, module, peers..." gives module / floor and peer / module at once).
//
//   alternate ROUNDS ITEMS LABEL COMMAND [LABEL COMMAND]...
//
// Each round runs every command once; the order turns by one each round, so drifting background
// load (this machine is shared) falls on every contender alike. ITEMS (e.g. files per run) only
// scales the per-second column; 0 leaves it out. Output of the commands goes to /dev/null.
// A command that fails stops the run: a failing contender would time its error path.
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 5 || (argc - 3) % 2 != 0) {
    std::fprintf(stderr, "usage: %s ROUNDS ITEMS LABEL COMMAND [LABEL COMMAND]...\n", argv[0]);
    return 2;
  }
  const int rounds = std::max(1, std::atoi(argv[1]));
  const double items = std::atof(argv[2]);
  const int count = (argc - 3) / 2;
  std::vector<std::vector<double>> times(static_cast<std::size_t>(count));
  for (int round = 0; round < rounds; ++round) {
    for (int step = 0; step < count; ++step) {
      const int which = (step + round) % count;
      const std::string command = std::string("exec >/dev/null; ") + argv[4 + 2 * which];
      const auto start = std::chrono::steady_clock::now();
      const int status = std::system(command.c_str());
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (status != 0) {
        std::fprintf(stderr, "failed (%d): %s\n", status, argv[4 + 2 * which]);
        return 1;
      }
      times[static_cast<std::size_t>(which)].push_back(seconds);
    }
  }
  const double first = median(times[0]);
  const double second = count > 1 ? median(times[1]) : first;
  std::printf("%-28s %10s %10s %10s %12s %9s %9s\n", "", "median_ms", "min_ms", "max_ms",
              items > 0 ? "items/s" : "", "/ first", "/ second");
  for (int which = 0; which < count; ++which) {
    const std::vector<double>& all = times[static_cast<std::size_t>(which)];
    const double mid = median(all);
    std::printf("%-28s %10.1f %10.1f %10.1f ", argv[3 + 2 * which], mid * 1e3,
                *std::min_element(all.begin(), all.end()) * 1e3,
                *std::max_element(all.begin(), all.end()) * 1e3);
    if (items > 0) {
      std::printf("%12.0f", items / mid);
    } else {
      std::printf("%12s", "");
    }
    std::printf(" %9.3f %9.3f\n", mid / first, mid / second);
  }
  std::printf("(%d rounds; ratios of medians; first: %s, second: %s)\n", rounds, argv[3],
              argv[count > 1 ? 5 : 3]);
  return 0;
}
