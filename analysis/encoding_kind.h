// Tells the Unicode forms (UTF-8, UTF-16 either order) from everything else, from the head
// sample alone. Pure functions of their bytes and the settings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "analysis/analysis_cache.h"
#include "settings/settings.h"

namespace linepeek {

inline constexpr std::int32_t Utf16Window = 4096;

// The encoding kind of `sample`; `bomLength` receives 0, 2 or 3.
EncodingKind detectEncoding(std::string_view sample, std::int32_t& bomLength,
                            const Settings& config);

// UTF-16 without a byte order mark, judged on the first Utf16Window bytes.
bool guessUtf16(std::string_view sample, bool& bigEndian);

// Lead and continuation bit patterns only; 7-bit text is not UTF-8; a sequence cut by the end
// is accepted.
bool looksUtf8(std::string_view bytes);

} // namespace linepeek
