// Text helpers of the command line host: UTF-8 and UTF-16 conversion and the display width of
// text in a terminal. Nothing here depends on the locale. Ill-formed UTF-8 follows the one rule
// of base/unicode.h: each maximal invalid subpart is one U+FFFD.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace linepeek::cli {

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16. An invalid subpart becomes U+FFFD, or with `escapeInvalid` each of its bytes
// U+DC00 + byte, so that such bytes survive a round trip.
std::u16string utf8ToUtf16(std::string_view text, bool escapeInvalid);

// The text with every invalid subpart replaced by U+FFFD; well-formed text comes back unchanged.
std::string validUtf8(std::string_view text);

// Columns that a code point takes in a terminal: 0 for combining marks and other zero-width
// characters, 2 for wide and fullwidth East Asian characters, 1 otherwise.
int codePointWidth(char32_t codePoint);

// Text made safe to print in a table: control characters become their visible Control Pictures
// (U+2400 block), C1 controls and bidirectional overrides become U+FFFD, and so do invalid
// subparts. Escape sequences from a file thus never reach the terminal.
std::string displayText(std::string_view text);

// Columns that display-safe UTF-8 text takes.
int displayWidth(std::string_view text);

// Display-safe text cut to at most `maxWidth` columns, ending in an ellipsis when cut. A wide
// character is never split, and combining marks stay with their base. `maxWidth` 0 cuts nothing.
std::string fitToWidth(std::string_view text, int maxWidth);

} // namespace linepeek::cli
