// The line counter over in-memory files, with every kernel this CPU runs and several read sizes,
// against the plain counting loop: LF ends a line, the BOM belongs to no line, skipEmpty keeps
// only lines holding a unit above 32, and an unterminated last line counts when it has units.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

#include "analysis/analysis_cache.h"
#include "analysis/line_counter.h"
#include "analysis/line_counter_testing.h"
#include "fuzz/fuzz_support.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "settings/settings_testing.h"
#include "tests/reference/encoding.h"
#include "tests/reference/lines.h"
#include "tests/support/fake_files.h"

namespace {

namespace ref = linepeek::reference;
using linepeek::CountKernel;
using linepeek::fuzz::Input;

using linepeek::fuzz::KindChoice;
constexpr const auto& Kinds = linepeek::fuzz::DetectableKinds;
constexpr CountKernel Kernels[] = {CountKernel::Scalar, CountKernel::Sse2, CountKernel::Avx2,
                                   CountKernel::Avx512};

linepeek::EncodingKind shapeOf(int kind) {
  if (kind == ref::KindUtf16Le) return linepeek::EncodingKind::Utf16Le;
  if (kind == ref::KindUtf16Be) return linepeek::EncodingKind::Utf16Be;
  return linepeek::EncodingKind::Other;
}

std::string kernelName(CountKernel kernel) {
  return std::to_string(static_cast<int>(kernel));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const KindChoice choice = Kinds[input.pick(std::size(Kinds))];
  const std::uint8_t flags = input.byte();
  const bool skipEmpty = (flags & 1) != 0;
  // Small even reads put read edges everywhere; the default exercises the usual path.
  const std::int32_t readBytes =
      (flags & 2) != 0 ? linepeek::CountChunk : 2 * (1 + static_cast<std::int32_t>(flags >> 2));
  const std::uint8_t cutSeed = input.byte();
  // Whole counts read the file through the fake layer, so they run with one kernel per input;
  // the kernels are compared with each other on in-memory pieces.
  const CountKernel countKernel = Kernels[input.pick(std::size(Kernels))];
  // Now and then the n-th read fails, or every read answers at most a few bytes.
  const std::uint8_t fault = input.byte();
  const std::int64_t failReadCall = fault >= 224 ? 1 + fault % 8 : 0;
  const std::int64_t readCapBytes = fault >= 192 && fault < 224 ? 1 + fault % 32 : 0;
  const std::string_view payload = input.rest();
  // Or the file grew after its size was taken: the count reads no more than that size.
  const std::size_t sizeSeen =
      fault >= 160 && fault < 192 ? payload.size() * (fault - 160U) / 32 : payload.size();
  const auto fail = [&](const std::string& what) { linepeek::fuzz::fail(data, size, what); };
  const auto kind = static_cast<linepeek::EncodingKind>(choice.kind);

  linepeek::fake::reset();
  linepeek::fake::putFile(u"count", std::string(payload));
  const linepeek::FileOwner file(linepeek::platform::openFile(u"count"));
  if (failReadCall > 0) {
    linepeek::fake::faults().readScript.assign(static_cast<std::size_t>(failReadCall - 1), -2);
    linepeek::fake::faults().readScript.push_back(-1);
  }
  if (readCapBytes > 0) linepeek::fake::faults().afterScript = readCapBytes;
  // A failed read ends the count like the end of the file, and a short read is the last one:
  // what is counted is the prefix read before either, under the usual rules.
  const auto countedPrefix = [&](std::int32_t pieceBytes) {
    const std::int64_t readsSoFar = linepeek::fake::counters().reads;
    std::size_t read = 0;
    for (std::int64_t call = readsSoFar + 1;; ++call) {
      if (call == failReadCall) break;
      std::size_t got =
          std::min<std::size_t>(static_cast<std::size_t>(pieceBytes), sizeSeen - read);
      if (readCapBytes > 0) got = std::min(got, static_cast<std::size_t>(readCapBytes));
      read += got;
      if (got < static_cast<std::size_t>(pieceBytes)) break;
    }
    return ref::countLines(payload.substr(0, read), choice.kind, choice.bomLength, skipEmpty);
  };

  // Units after the BOM, cut into pieces at seeded points; UTF-16 pieces stay even so units
  // keep their alignment, as the counter's own reads do.
  const bool wide = shapeOf(choice.kind) != linepeek::EncodingKind::Other;
  const std::size_t skip =
      static_cast<std::size_t>(wide ? choice.bomLength / 2 * 2 : choice.bomLength);
  const std::string_view units = payload.size() > skip ? payload.substr(skip) : std::string_view();
  const std::int64_t expectedUnits = ref::countLines(units, choice.kind, 0, skipEmpty);

  for (CountKernel kernel : Kernels) {
    if (!linepeek::forceCountKernel(kernel)) {
      if (kernel == CountKernel::Scalar) fail("the scalar kernel is not available");
      continue;
    }
    if (kernel == countKernel) {
      const std::int64_t faulted = countedPrefix(readBytes);
      const std::int64_t counted =
          linepeek::countLines(file.get(), static_cast<std::int64_t>(sizeSeen), kind,
                               choice.bomLength, skipEmpty, readBytes);
      if (counted != faulted)
        fail("countLines with kernel " + kernelName(kernel) + ", reads of " +
             std::to_string(readBytes) + " bytes: " + std::to_string(counted) + ", expected " +
             std::to_string(faulted));
    }

    linepeek::LineState state;
    std::size_t position = 0;
    std::uint32_t seed = cutSeed;
    while (position < units.size()) {
      seed = seed * 1103515245u + 12345u;
      std::size_t length = 1 + (seed >> 16) % 80;
      if (wide) length = 2 * length;
      if (length > units.size() - position) length = units.size() - position;
      linepeek::scanUnits(reinterpret_cast<const unsigned char*>(units.data() + position), length,
                          shapeOf(choice.kind), skipEmpty, state);
      position += length;
    }
    if (linepeek::finishCount(state) != expectedUnits)
      fail("scanUnits in pieces with kernel " + kernelName(kernel) + ": " +
           std::to_string(linepeek::finishCount(state)) + ", expected " +
           std::to_string(expectedUnits));
  }
  linepeek::selectCountKernel();

  // The producer counts once and keeps the result.
  linepeek::AnalysisCache cache;
  cache.valid = true;
  cache.fileSize = static_cast<std::int64_t>(sizeSeen);
  cache.kind = kind;
  cache.bomLength = choice.bomLength;
  linepeek::Settings config;
  linepeek::loadDefaults(config);
  config.skipEmpty = skipEmpty;
  const std::int64_t faulted = countedPrefix(linepeek::CountChunk);
  const std::int64_t counted = linepeek::lineCount(cache, file.get(), config);
  if (counted != faulted)
    fail("lineCount: " + std::to_string(counted) + ", expected " + std::to_string(faulted));
  // Once counted, never again for the same cached file.
  cache.groups.lineTotal = -5;
  if (linepeek::lineCount(cache, file.get(), config) != -5) fail("lineCount counted again");
  return 0;
}
