// Deterministic text for the benchmarks: the same seed always gives the same bytes, so nothing
// large is committed and every run measures the same input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

namespace linepeek::bench {

enum class TextStyle {
  Typical,   // lines of about 60 bytes, one in ten blank
  LongLines, // lines of 16 KiB to 1 MiB
  NoLineFeed // one endless line
};

struct TextSource {
  std::mt19937_64 random{20240611};
  TextStyle style = TextStyle::Typical;
};

// Appends whole lines (LF-terminated) to `out` until it holds at least `bytes` bytes.
inline void appendLines(TextSource& source, std::string& out, std::size_t bytes) {
  static const char* const words[] = {"the",   "file",   "manager", "shows", "columns", "of",
                                      "text",  "lines",  "counted", "and",   "read",    "once",
                                      "while", "hosts",  "ask",     "for",   "values",  "again",
                                      "a",     "buffer", "0x1F",    "2048",  "(note)",  "end."};
  auto next = [&source](std::uint64_t bound) { return source.random() % bound; };
  while (out.size() < bytes) {
    std::size_t length = 0;
    if (source.style == TextStyle::Typical) {
      const std::uint64_t roll = next(100);
      if (roll < 7) {
        out += '\n';
        continue;
      }
      if (roll < 10) {
        out += roll == 7 ? "  \t\n" : "    \n";
        continue;
      }
      length = 12 + next(109);
    } else if (source.style == TextStyle::LongLines) {
      length = 16384 + next(1048576 - 16384 + 1);
    } else {
      length = bytes - out.size();
    }
    const std::size_t start = out.size();
    while (out.size() - start < length) {
      out += words[next(sizeof words / sizeof words[0])];
      out += ' ';
    }
    if (source.style != TextStyle::NoLineFeed) out += '\n';
  }
}

// ASCII text as UTF-16 code units in either byte order.
inline std::string widen(const std::string& text, bool bigEndian) {
  std::string wide(text.size() * 2, '\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    wide[2 * i + (bigEndian ? 1 : 0)] = text[i];
  return wide;
}

} // namespace linepeek::bench
