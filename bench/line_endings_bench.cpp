// The line end test on a full head sample (64 KiB) in memory: typical lines with LF and with CR LF
// ends, as bytes and as UTF-16 in either byte order.
#include <benchmark/benchmark.h>

#include <string>

#include "analysis/line_endings.h"
#include "base/bounds.h"
#include "bench/text_source.h"

namespace {

using namespace linepeek;
using namespace linepeek::bench;

std::string sample(bool crLf, EncodingKind kind) {
  TextSource source;
  std::string text;
  appendLines(source, text, HeadWindow);
  if (crLf) {
    std::string withCr;
    for (char c : text) {
      if (c == '\n') withCr += '\r';
      withCr += c;
    }
    text = withCr;
  }
  if (kind != EncodingKind::Other) text = widen(text, kind == EncodingKind::Utf16Be);
  text.resize(HeadWindow);
  return text;
}

void classify(benchmark::State& state, bool crLf, EncodingKind kind) {
  const std::string data = sample(crLf, kind);
  for (auto _ : state)
    benchmark::DoNotOptimize(classifyLineEndings(data, kind, 0, false));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * HeadWindow);
}

BENCHMARK_CAPTURE(classify, lf_bytes, false, EncodingKind::Other);
BENCHMARK_CAPTURE(classify, crlf_bytes, true, EncodingKind::Other);
BENCHMARK_CAPTURE(classify, lf_utf16le, false, EncodingKind::Utf16Le);
BENCHMARK_CAPTURE(classify, crlf_utf16be, true, EncodingKind::Utf16Be);

} // namespace

BENCHMARK_MAIN();
