// Names the encoding ("Encoding") and tells binary from text ("Type") from bounded prefixes of
// the head sample. Runs under the value lock.
#pragma once

#include <array>

#include "analysis/analysis_cache.h"
#include "settings/settings.h"

namespace linepeek {

// The texts that "Encoding" and "Type" answer with. The catalogue lists its choices from these.
inline constexpr char Utf16LeName[] = "UTF-16 LE";
inline constexpr char Utf16BeName[] = "UTF-16 BE";
inline constexpr char Utf8BomName[] = "UTF-8 BOM";
inline constexpr char Utf8NoBomName[] = "UTF-8 no BOM";
inline constexpr char AnsiName[] = "ANSI";
inline constexpr char AnsiRuName[] = "ANSI Ru";
inline constexpr char DosName[] = "DOS";
inline constexpr char DosRuName[] = "DOS Ru";
inline constexpr char RtfName[] = "RTF";
inline constexpr char BinaryName[] = "Binary"; // both an encoding and a type
inline constexpr char TextName[] = "Text";

// Every name encodingName gives, in the order the host lists them.
inline constexpr std::array<const char*, 10> EncodingNames = {
    Utf16LeName, Utf16BeName, Utf8BomName, Utf8NoBomName, AnsiName,
    AnsiRuName,  DosName,     DosRuName,   RtfName,       BinaryName};

// The once-per-file producers of the binary flag and of the encoding's name (one of
// EncodingNames): each computes its group when the record lacks it, and answers it.
bool binaryFlag(AnalysisCache& cache, const Settings& config);
const char* encodingName(AnalysisCache& cache, const Settings& config);

// The "Type" of the cached file, BinaryName or TextName, from binaryFlag.
const char* fileTypeName(AnalysisCache& cache, const Settings& config);

} // namespace linepeek
