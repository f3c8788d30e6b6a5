// The counting kernels on in-memory buffers: every instruction set the CPU has, each input shape,
// SkipEmpty off and on, at a size that stays in L2 and one that does not. Then whole counts of a
// page-cached file through countLines with each kernel, which shows how much of a kernel's speed
// survives the copy out of the page cache.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "analysis/line_counter.h"
#include "analysis/line_counter_testing.h"
#include "bench/text_source.h"
#include "platform/platform.h"

namespace {

using namespace linepeek;
using namespace linepeek::bench;

struct Input {
  const char* name;
  TextStyle style;
  bool crLf;
  EncodingKind shape;
};

std::string makeInput(const Input& input, std::size_t bytes) {
  TextSource source;
  source.style = input.style;
  std::string text;
  const std::size_t width = input.shape == EncodingKind::Other ? 1 : 2;
  appendLines(source, text, bytes / width);
  text.resize(bytes / width);
  if (input.crLf) {
    std::string withCr;
    for (char c : text) {
      if (c == '\n') withCr += '\r';
      withCr += c;
    }
    text = withCr.substr(0, bytes);
  }
  return width == 1 ? text : widen(text, input.shape == EncodingKind::Utf16Be);
}

void countKernel(benchmark::State& state, CountKernel kernel, const std::string* data,
                 EncodingKind shape, bool skipEmpty) {
  if (!forceCountKernel(kernel)) {
    state.SkipWithError("the CPU lacks this kernel");
    return;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(data->data());
  for (auto _ : state) {
    LineState lines;
    scanUnits(bytes, data->size(), shape, skipEmpty, lines);
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(data->size()));
  selectCountKernel();
}

// A file in the temporary folder, written on first use (outside any timed loop) and removed at
// exit; read once so that the counts find it in the page cache.
class CachedFile {
public:
  CachedFile(const Input& input, std::size_t bytes) : input_(input), bytes_(bytes) {}
  CachedFile(const CachedFile&) = delete;
  CachedFile& operator=(const CachedFile&) = delete;
  ~CachedFile() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove(path_, ignored);
  }

  // False when the file cannot be written whole.
  bool write() {
    if (written_) return true;
    const std::string name =
        "linepeek_count_" + std::to_string(std::random_device{}()) + "_" + input_.name + ".txt";
    path_ = std::filesystem::temp_directory_path() / name;
    const std::string bytes = makeInput(input_, bytes_);
    std::ofstream out(path_, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    written_ = !out.fail();
    std::ifstream warm(path_, std::ios::binary);
    std::vector<char> sink(1 << 20);
    while (warm.read(sink.data(), static_cast<std::streamsize>(sink.size())))
      ;
    return written_;
  }

  const std::filesystem::path& path() const { return path_; }

  std::size_t bytes() const { return bytes_; }
  EncodingKind kind() const {
    switch (input_.shape) {
    case EncodingKind::Utf16Le:
      return EncodingKind::Utf16Le;
    case EncodingKind::Utf16Be:
      return EncodingKind::Utf16Be;
    default:
      return EncodingKind::Other;
    }
  }

private:
  Input input_;
  std::size_t bytes_;
  std::filesystem::path path_;
  bool written_ = false;
};

void countFile(benchmark::State& state, CountKernel kernel, CachedFile* cached, bool skipEmpty) {
  if (!forceCountKernel(kernel)) {
    state.SkipWithError("the CPU lacks this kernel");
    return;
  }
  if (!cached->write()) {
    state.SkipWithError("cannot write the temporary file");
    return;
  }
  const FileOwner file(platform::openFile(cached->path().u16string().c_str()));
  if (!file.isOpen()) {
    state.SkipWithError("cannot open the temporary file");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(countLines(file.get(), static_cast<std::int64_t>(cached->bytes()),
                                        cached->kind(), 0, skipEmpty));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(cached->bytes()));
  selectCountKernel();
}

} // namespace

int main(int argc, char** argv) {
  const Input inputs[] = {
      {"text", TextStyle::Typical, false, EncodingKind::Other},
      {"crlf", TextStyle::Typical, true, EncodingKind::Other},
      {"long", TextStyle::LongLines, false, EncodingKind::Other},
      {"nolf", TextStyle::NoLineFeed, false, EncodingKind::Other},
      {"utf16le", TextStyle::Typical, false, EncodingKind::Utf16Le},
      {"utf16be", TextStyle::Typical, false, EncodingKind::Utf16Be},
  };
  const std::pair<const char*, CountKernel> kernels[] = {{"scalar", CountKernel::Scalar},
                                                         {"sse2", CountKernel::Sse2},
                                                         {"avx2", CountKernel::Avx2},
                                                         {"avx512", CountKernel::Avx512}};
  // 256 KiB: one read piece, counted hot in L2. 64 MiB: from memory.
  const std::size_t sizes[] = {std::size_t{1} << 18, std::size_t{1} << 26};
  std::vector<std::unique_ptr<std::string>> buffers;
  for (const Input& input : inputs) {
    for (std::size_t size : sizes) {
      buffers.push_back(std::make_unique<std::string>(makeInput(input, size)));
      const std::string* data = buffers.back().get();
      for (const auto& [kernelName, kernel] : kernels) {
        if (!countKernelAvailable(kernel)) continue;
        for (bool skipEmpty : {false, true}) {
          const std::string name = std::string(input.name) + "/" + kernelName + "/skip" +
                                   (skipEmpty ? "1/" : "0/") + std::to_string(size >> 10) + "KiB";
          benchmark::RegisterBenchmark(name.c_str(), countKernel, kernel, data, input.shape,
                                       skipEmpty);
        }
      }
    }
  }
  // 256 MiB: far beyond every cache, small enough to stay in the page cache.
  const std::size_t fileBytes = std::size_t{1} << 28;
  std::vector<std::unique_ptr<CachedFile>> files;
  for (const Input& input : {inputs[0], inputs[4], inputs[5]}) {
    files.push_back(std::make_unique<CachedFile>(input, fileBytes));
    for (const auto& [kernelName, kernel] : kernels) {
      if (!countKernelAvailable(kernel)) continue;
      for (bool skipEmpty : {false, true}) {
        const std::string name = std::string("file-") + input.name + "/" + kernelName + "/skip" +
                                 (skipEmpty ? "1/" : "0/") + std::to_string(fileBytes >> 20) +
                                 "MiB";
        benchmark::RegisterBenchmark(name.c_str(), countFile, kernel, files.back().get(),
                                     skipEmpty);
      }
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
