// Encoding kind, encoding name, binary flag and line endings of a head sample, each test against
// its plain reference. The first eight bytes choose the Encoding settings; the rest is the sample.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "analysis/analysis_cache.h"
#include "analysis/encoding_kind.h"
#include "analysis/encoding_kind_testing.h"
#include "analysis/encoding_name.h"
#include "analysis/encoding_name_testing.h"
#include "analysis/line_endings.h"
#include "fuzz/fuzz_support.h"
#include "settings/settings.h"
#include "settings/settings_testing.h"
#include "tests/reference/encoding.h"
#include "tests/reference/line_endings.h"

namespace {

namespace ref = linepeek::reference;
using linepeek::fuzz::Input;

// Small sizes most of the time, so inputs of a few KB cross every prefix boundary.
std::int32_t kilobytes(std::uint8_t b) {
  return b < 192 ? 1 + b % 3 : 1 + b % 64;
}

void choose(Input& input, linepeek::Settings& config, ref::NamingSettings& naming) {
  linepeek::loadDefaults(config);
  const std::uint8_t switches = input.byte();
  config.utf8BufferSizeKB = kilobytes(input.byte());
  config.textBufferSizeKB = kilobytes(input.byte());
  config.oemEnabled = (switches & 1) == 0;
  config.rusEnabled = (switches & 2) == 0;
  config.oemBufferSizeKB = kilobytes(input.byte());
  config.rusBufferSizeKB = kilobytes(input.byte());
  const std::uint8_t percents = input.byte();
  if ((switches & 4) != 0) {
    config.oemPercent = percents % 101;
    config.rusPercent = (percents * 7) % 101;
  }
  const std::uint8_t sizes = input.byte();
  if ((switches & 8) != 0) {
    config.rusMinSize = sizes % 32;
    config.rusWordLen = (sizes / 32) % 6;
  }
  const std::uint8_t flagged = input.byte();
  if ((switches & 16) != 0) config.binaryIgnore[flagged % 32] = 1;
  if ((switches & 32) != 0) config.oemIgnore = {};
  if ((switches & 64) != 0) config.oemIgnore[176 + flagged % 48] = 1;

  naming = linepeek::fuzz::namingOf(config);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  linepeek::Settings config;
  ref::NamingSettings naming;
  choose(input, config, naming);
  const bool typeFirst = (input.byte() & 1) != 0;
  const std::string_view sample = input.rest();
  const auto fail = [&](const std::string& what) { linepeek::fuzz::fail(data, size, what); };

  bool bigEndian = true;
  bool expectedBigEndian = false;
  if (linepeek::guessUtf16(sample, bigEndian) != ref::guessUtf16(sample, expectedBigEndian) ||
      bigEndian != expectedBigEndian)
    fail("guessUtf16");
  if (linepeek::looksUtf8(sample) != ref::looksUtf8(sample)) fail("looksUtf8");

  std::int32_t bomLength = -7;
  int expectedBom = 0;
  const int kind = static_cast<int>(linepeek::detectEncoding(sample, bomLength, config));
  const int expectedKind = ref::detectEncoding(sample, expectedBom, config.utf8BufferSizeKB);
  if (kind != expectedKind || bomLength != expectedBom) {
    fail("detectEncoding gave kind " + std::to_string(kind) + " BOM " + std::to_string(bomLength) +
         ", expected kind " + std::to_string(expectedKind) + " BOM " + std::to_string(expectedBom));
  }

  if (linepeek::looksRtf(sample) != ref::looksRtf(sample)) fail("looksRtf");
  if (linepeek::looksBinary(sample, config) != ref::looksBinary(sample, naming))
    fail("looksBinary");
  if (linepeek::looksOemGraphics(sample, config) != ref::looksOemGraphics(sample, naming))
    fail("looksOemGraphics");
  for (bool dos : {false, true}) {
    if (linepeek::looksRussian(sample, dos, config) != ref::looksRussian(sample, dos, naming))
      fail(std::string("looksRussian, DOS letters ") + (dos ? "on" : "off"));
  }

  // The cache as refreshCache leaves it for a file whose head sample is `sample`.
  linepeek::AnalysisCache cache;
  cache.valid = true;
  cache.fileSize = static_cast<std::int64_t>(sample.size()) + (typeFirst ? 0 : 100000);
  cache.headSample = std::string(sample);
  cache.kind = static_cast<linepeek::EncodingKind>(expectedKind);
  cache.bomLength = expectedBom;
  if (sample.empty()) {
    cache.fileSize = 0;
    cache.groups.isBinary = false;
  }
  if (typeFirst) linepeek::binaryFlag(cache, config);
  linepeek::encodingName(cache, config);
  linepeek::binaryFlag(cache, config);

  const bool expectedBinary = ref::binaryFlag(sample, cache.fileSize, expectedKind, naming);
  const std::string expectedName =
      ref::encodingName(sample, cache.fileSize, expectedKind, expectedBom, naming);
  if (cache.groups.isBinary != expectedBinary)
    fail(std::string("binaryFlag gave ") + (cache.groups.isBinary == true ? "binary" : "text"));
  if (!cache.groups.encoding || *cache.groups.encoding != expectedName)
    fail("encodingName gave '" + std::string(cache.groups.encoding.value_or("(none)")) +
         "', expected '" + expectedName + "'");

  // Line endings in the units of every kind, the sample whole or followed by more of the file;
  // then the producer on the cache, whose file is longer than its sample unless typeFirst.
  for (const linepeek::fuzz::KindChoice& choice : linepeek::fuzz::DetectableKinds) {
    for (bool whole : {false, true}) {
      const char* got =
          linepeek::LineEndingNames[static_cast<std::size_t>(linepeek::classifyLineEndings(
              sample, static_cast<linepeek::EncodingKind>(choice.kind), choice.bomLength, whole))];
      const std::string want = ref::lineEndings(sample, choice.kind, choice.bomLength, whole);
      if (got != want)
        fail("classifyLineEndings, kind " + std::to_string(choice.kind) + (whole ? " whole" : "") +
             ": '" + got + "', expected '" + want + "'");
    }
  }
  const char* ends = linepeek::lineEndingsName(cache, config);
  const std::string expectedEnds =
      expectedBinary
          ? "(none)"
          : ref::lineEndings(sample, expectedKind, expectedBom, typeFirst || sample.empty());
  if ((ends == nullptr ? "(none)" : ends) != expectedEnds)
    fail(std::string("lineEndingsName gave '") + (ends == nullptr ? "(none)" : ends) +
         "', expected '" + expectedEnds + "'");

  // The producers run once per cached file: a second call must not recompute.
  using linepeek::LineEndingKind;
  const LineEndingKind keptEnds =
      cache.groups.lineEndings == LineEndingKind::Crlf ? LineEndingKind::Lf : LineEndingKind::Crlf;
  cache.groups.lineEndings = keptEnds;
  const char* const kept = "kept";
  cache.groups.encoding = kept;
  cache.groups.isBinary = !expectedBinary;
  if (linepeek::encodingName(cache, config) != kept ||
      linepeek::binaryFlag(cache, config) == expectedBinary ||
      linepeek::lineEndings(cache) != keptEnds)
    fail("a producer ran again although its group was computed");
  return 0;
}
