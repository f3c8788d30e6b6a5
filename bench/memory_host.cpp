// A minimal host for measuring memory: loads the module by path, asks every field of one file
// with one unit, 0 unless UNIT says (the sixteen and the two the settings may add; a field not
// offered answers -1), and prints the peak resident size before and after the row.
//
//   memory_host MODULE FILE [UNIT]
//
// Output: "baseline_kib peak_kib growth_kib" and then one line per field. The baseline is taken
// once the module is loaded and resolved, so it is the host's own footprint with the module in.
#include <dlfcn.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using GetValue = int (*)(const char16_t*, int, int, void*, int, int);

long peakKib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss; // KiB on Linux
}

std::string describe(int code, const unsigned char* buffer) {
  if (code == 11) {
    std::string text;
    const auto* units = reinterpret_cast<const char16_t*>(buffer);
    for (int i = 0; units[i] != 0 && i < 40; ++i)
      text += units[i] < 0x80 ? static_cast<char>(units[i]) : '?';
    return text;
  }
  if (code == 7) return reinterpret_cast<const char*>(buffer);
  if (code == 2) {
    std::int64_t count = 0;
    std::memcpy(&count, buffer, sizeof count);
    return std::to_string(count);
  }
  return "(" + std::to_string(code) + ")";
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: %s MODULE FILE [UNIT]\n", argv[0]);
    return 2;
  }
  const int unit = argc == 4 ? std::atoi(argv[3]) : 0;
  void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
    return 1;
  }
  const auto getValue = reinterpret_cast<GetValue>(dlsym(module, "ContentGetValueW"));
  if (getValue == nullptr) {
    std::fprintf(stderr, "no ContentGetValueW in %s\n", argv[1]);
    return 1;
  }
  // File names in the test data are ASCII.
  const std::string path = argv[2];
  const std::u16string name(path.begin(), path.end());
  static unsigned char buffer[2048];
  const long baseline = peakKib();

  std::string answers;
  for (int field = 0; field < 18; ++field) {
    std::memset(buffer, 0, sizeof buffer);
    const int code = getValue(name.c_str(), field, unit, buffer, 1024, 0);
    answers += "  field " + std::to_string(field) + ": " + describe(code, buffer) + "\n";
  }
  const long peak = peakKib();
  std::printf("%ld %ld %ld\n%s", baseline, peak, peak - baseline, answers.c_str());
  dlclose(module);
  return 0;
}
