// Which line ends a text file uses ("Line endings"), found in the head sample without a read of
// its own. Runs under the value lock.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "analysis/encoding_kind.h"
#include "settings/settings.h"

namespace linepeek {

struct AnalysisCache;

// What a sample holds, in the order the host lists the choices.
enum class LineEndingKind : std::uint8_t { Crlf, Lf, Cr, Mixed, None };

// The texts "Line endings" answers with, indexed by LineEndingKind. The catalogue lists its
// choices from these.
inline constexpr char CrlfName[] = "CRLF";
inline constexpr char LfName[] = "LF";
inline constexpr char CrName[] = "CR";
inline constexpr char MixedName[] = "Mixed";
inline constexpr char NoLineEndName[] = "None";
inline constexpr std::array<const char*, 5> LineEndingNames = {CrlfName, LfName, CrName, MixedName,
                                                               NoLineEndName};

// The line ends of `sample`, read in the units of `kind` (bytes; for UTF-16 two-byte units in
// its byte order, an odd last byte being no unit) from `bomLength` bytes on. CR followed by LF
// is CRLF, LF without a CR before it LF, CR followed by anything else CR. A CR in the last unit
// counts only when `sampleIsWhole` says the file ends there; otherwise an LF may follow it. One
// kind found gives that kind, more than one Mixed, none None. A pure function of its arguments.
LineEndingKind classifyLineEndings(std::string_view sample, EncodingKind kind,
                                   std::int32_t bomLength, bool sampleIsWhole);

// The once-per-file producer of the line endings: classifies the head sample when the record
// lacks the group, and answers the kind. The sample is whole when it holds the file.
LineEndingKind lineEndings(AnalysisCache& cache);

// The "Line endings" of the cached file, one of LineEndingNames; null for a file that "Type"
// calls binary (binaryFlag), which gets no value.
const char* lineEndingsName(AnalysisCache& cache, const Settings& config);

} // namespace linepeek
