// Tells the Unicode forms (UTF-8, UTF-16 either order) from everything else, from the head
// sample alone. Pure functions of their bytes and the settings.
#pragma once

#include <cstdint>
#include <string_view>

#include "settings/settings.h"

namespace linepeek {

// What the head sample holds. Every kind but Other makes the line texts UTF-8.
enum class EncodingKind : std::uint8_t { Other = 0, Utf8 = 1, Utf16Le = 2, Utf16Be = 3 };

constexpr bool isUtf16(EncodingKind kind) noexcept {
  return kind == EncodingKind::Utf16Le || kind == EncodingKind::Utf16Be;
}

// UTF-8 or UTF-16: a file whose lines the module holds as UTF-8.
constexpr bool isUnicode(EncodingKind kind) noexcept {
  return kind != EncodingKind::Other;
}

// The encoding kind of `sample`; `bomLength` receives 0, 2 or 3 (0 unless a mark decided). Marks
// first (EF BB BF, FF FE, FE FF), then the UTF-16 guess on the first Utf16Window bytes, then the
// UTF-8 pattern test on the first `config.utf8BufferSizeKB` KB. Called at every cache refill of a
// non-empty file.
EncodingKind detectEncoding(std::string_view sample, std::int32_t& bomLength,
                            const Settings& config);

} // namespace linepeek
