// A main() for compilers without libFuzzer: runs the target once on every file named on the
// command line, and on every regular file inside each named folder, so a corpus replays as an
// ordinary test. Exits non-zero when a path cannot be read; a failing input aborts on its own.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool replay(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
    return false;
  }
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
  std::fprintf(stderr, "replaying %s (%zu bytes)\n", path.string().c_str(), bytes.size());
  // A copy of exactly the input's size, so reads past its end are caught by sanitizers.
  std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(input.data(), input.size());
  return true;
}

} // namespace

int main(int argc, char** argv) {
  bool ok = true;
  std::size_t count = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path(argv[i]);
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
      // Sorted, so that a failure names the same input on every run.
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
      for (const auto& file : files) {
        ok = replay(file) && ok;
        ++count;
      }
    } else {
      ok = replay(path) && ok;
      ++count;
    }
  }
  std::fprintf(stderr, "replayed %zu inputs\n", count);
  return ok ? 0 : 1;
}
