// The counting kernels on in-memory buffers: every instruction set the CPU has, each input shape,
// SkipEmpty off and on, at a size that stays in L2 and one that does not.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "analysis/line_counter.h"
#include "bench/text_source.h"

namespace {

using namespace linepeek;
using namespace linepeek::bench;

struct Input {
  const char* name;
  TextStyle style;
  bool crLf;
  UnitShape shape;
};

std::string makeInput(const Input& input, std::size_t bytes) {
  TextSource source;
  source.style = input.style;
  std::string text;
  const std::size_t width = input.shape == UnitShape::Bytes ? 1 : 2;
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
  return width == 1 ? text : widen(text, input.shape == UnitShape::Utf16Be);
}

void countKernel(benchmark::State& state, CountKernel kernel, const std::string* data,
                 UnitShape shape, bool skipEmpty) {
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

} // namespace

int main(int argc, char** argv) {
  const Input inputs[] = {
      {"text", TextStyle::Typical, false, UnitShape::Bytes},
      {"crlf", TextStyle::Typical, true, UnitShape::Bytes},
      {"long", TextStyle::LongLines, false, UnitShape::Bytes},
      {"nolf", TextStyle::NoLineFeed, false, UnitShape::Bytes},
      {"utf16le", TextStyle::Typical, false, UnitShape::Utf16Le},
      {"utf16be", TextStyle::Typical, false, UnitShape::Utf16Be},
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
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
