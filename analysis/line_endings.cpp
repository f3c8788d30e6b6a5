#include "analysis/line_endings.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "analysis/analysis_cache.h"
#include "analysis/encoding_name.h"
#include "base/characters.h"
#include "base/unicode.h"

namespace linepeek {
namespace {

struct EndCounts {
  std::size_t lf = 0;   // every LF
  std::size_t cr = 0;   // every CR but one in the last unit
  std::size_t crlf = 0; // every CR that an LF follows
};

// Counts units first .. units - 1 (first below units). The counters of a block are as narrow as
// the units, so that the compiler packs a whole vector of them into a register and the loop does
// not branch on every unit (bench/line_endings_bench.cpp measures it). A block never holds more
// units than its counters can count.
template <typename Unit, typename Counter, std::size_t Block, typename UnitAt>
EndCounts countEnds(std::size_t first, std::size_t units, UnitAt unitAt) {
  static_assert(Block <= std::numeric_limits<Counter>::max(), "a block overflows its counters");
  EndCounts counts;
  counts.lf = unitAt(units - 1) == Lf ? 1 : 0;
  for (std::size_t start = first; start + 1 < units; start += Block) {
    const std::size_t end = std::min(start + Block, units - 1);
    Counter lf = 0;
    Counter cr = 0;
    Counter crlf = 0;
    for (std::size_t i = start; i < end; ++i) {
      const Unit unit = unitAt(i);
      const Unit next = unitAt(i + 1);
      lf = static_cast<Counter>(lf + (unit == Lf));
      cr = static_cast<Counter>(cr + (unit == Cr));
      crlf = static_cast<Counter>(crlf + (unit == Cr && next == Lf));
    }
    counts.lf += lf;
    counts.cr += cr;
    counts.crlf += crlf;
  }
  return counts;
}

} // namespace

LineEndingKind classifyLineEndings(std::string_view sample, EncodingKind kind,
                                   std::int32_t bomLength, bool sampleIsWhole) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(sample.data());
  const auto byteAt = [bytes](std::size_t i) { return bytes[i]; };
  const auto leUnitAt = [bytes](std::size_t i) { return utf16UnitAt(bytes, i, false); };
  const auto beUnitAt = [bytes](std::size_t i) { return utf16UnitAt(bytes, i, true); };
  const bool wide = isUtf16(kind);
  const std::size_t units = wide ? sample.size() / 2 : sample.size();
  const std::size_t first =
      static_cast<std::size_t>(bomLength > 0 ? bomLength : 0) / (wide ? 2 : 1);
  if (first >= units) return LineEndingKind::None;

  EndCounts counts;
  unsigned last = 0;
  if (kind == EncodingKind::Utf16Le) {
    counts = countEnds<std::uint16_t, std::uint16_t, 65520>(first, units, leUnitAt);
    last = leUnitAt(units - 1);
  } else if (kind == EncodingKind::Utf16Be) {
    counts = countEnds<std::uint16_t, std::uint16_t, 65520>(first, units, beUnitAt);
    last = beUnitAt(units - 1);
  } else {
    counts = countEnds<unsigned char, std::uint8_t, 240>(first, units, byteAt);
    last = byteAt(units - 1);
  }
  // The next unit after the last one is unknown unless the file ends with the sample.
  if (last == Cr && sampleIsWhole) ++counts.cr;

  // Each CRLF holds one of the CRs and one of the LFs counted; the rest stand alone.
  const bool crlf = counts.crlf > 0;
  const bool lf = counts.lf > counts.crlf;
  const bool cr = counts.cr > counts.crlf;
  if (int{crlf} + int{lf} + int{cr} > 1) return LineEndingKind::Mixed;
  if (crlf) return LineEndingKind::Crlf;
  if (lf) return LineEndingKind::Lf;
  if (cr) return LineEndingKind::Cr;
  return LineEndingKind::None;
}

LineEndingKind lineEndings(AnalysisCache& cache) {
  if (!cache.groups.lineEndings) {
    // A short read leaves the sample shorter than the file: a CR at its end then stays open.
    cache.groups.lineEndings =
        classifyLineEndings(cache.headSample, cache.kind, cache.bomLength, holdsWholeFile(cache));
  }
  return *cache.groups.lineEndings;
}

const char* lineEndingsName(AnalysisCache& cache, const Settings& config) {
  if (binaryFlag(cache, config)) return nullptr;
  return LineEndingNames[static_cast<std::size_t>(lineEndings(cache))];
}

} // namespace linepeek
