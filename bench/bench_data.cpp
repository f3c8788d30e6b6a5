// Writes deterministic benchmark data; the same arguments always give the same bytes.
//
//   bench_data text|long|utf16|utf16be MIB PATH
//                                          one large file of MIB MiB of text ("utf16" and
//                                          "utf16be" are the text of "text" as UTF-16 LE or BE
//                                          with a byte order mark, twice as many bytes)
//   bench_data rows COUNT DIR              COUNT small files of 100 B to 20 KiB in DIR, in turn
//                                          ASCII, UTF-8 Cyrillic, code page 1251, code page 866
//                                          and UTF-16 LE with a byte order mark
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "bench/text_source.h"

namespace {

using namespace linepeek::bench;

int writeLarge(const char* style, const char* mib, const char* path) {
  const bool bigEndian = std::strcmp(style, "utf16be") == 0;
  const bool wide = bigEndian || std::strcmp(style, "utf16") == 0;
  TextSource source;
  source.style = std::strcmp(style, "long") == 0 ? TextStyle::LongLines : TextStyle::Typical;
  const std::size_t total = std::strtoull(mib, nullptr, 10) << 20;
  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return 1;
  if (wide) std::fwrite(bigEndian ? "\xFE\xFF" : "\xFF\xFE", 1, 2, out);
  std::string block;
  std::size_t written = 0;
  while (written < total) {
    block.clear();
    appendLines(source, block, 1 << 22);
    const std::string bytes = wide ? widen(block, bigEndian) : block;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    written += block.size();
  }
  return std::fclose(out) == 0 ? 0 : 1;
}

enum class RowEncoding { Ascii, Utf8Cyrillic, Cp1251, Cp866, Utf16Le, Count };

// Code points of text lines: ASCII words, or Cyrillic words (U+0410..U+044F) with ASCII
// spaces, digits and punctuation, as real Russian text has.
std::u32string rowText(std::mt19937_64& random, bool cyrillic, std::size_t units) {
  static const char* const asciiWords[] = {"the",  "file", "manager", "shows", "columns", "of",
                                           "text", "line", "counted", "and",   "2048",    "end."};
  auto next = [&random](std::uint64_t bound) { return random() % bound; };
  std::u32string text;
  std::size_t lineStart = 0;
  while (text.size() < units) {
    if (cyrillic && next(4) != 0) {
      const std::size_t letters = 2 + next(9);
      for (std::size_t k = 0; k < letters; ++k) {
        // Mostly small letters, a capital now and then.
        const std::uint64_t base = k == 0 && next(5) == 0 ? 0x0410 : 0x0430;
        text += static_cast<char32_t>(base + next(32));
      }
    } else {
      for (const char* c = asciiWords[next(12)]; *c != '\0'; ++c)
        text += static_cast<char32_t>(*c);
    }
    if (text.size() - lineStart > 20 + next(80)) {
      text += U'\n';
      lineStart = text.size();
    } else {
      text += U' ';
    }
  }
  text += U'\n';
  return text;
}

// Cyrillic capitals U+0410.. and small letters U+0430.. in the two Russian code pages.
char cyrillicByte(char32_t unit, bool dos) {
  const unsigned index = static_cast<unsigned>(unit - 0x0410); // 0..63
  if (!dos) return static_cast<char>(0xC0 + index);
  // 866: capitals and small letters up to U+043F at 0x80..0xAF, the rest at 0xE0..0xEF.
  return static_cast<char>(index < 48 ? 0x80 + index : 0xE0 + (index - 48));
}

std::string encodeRow(const std::u32string& text, RowEncoding encoding) {
  std::string bytes;
  if (encoding == RowEncoding::Utf16Le) bytes = "\xFF\xFE";
  for (const char32_t unit : text) {
    switch (encoding) {
    case RowEncoding::Utf16Le:
      bytes += static_cast<char>(unit & 0xFF);
      bytes += static_cast<char>(unit >> 8);
      break;
    case RowEncoding::Cp1251:
    case RowEncoding::Cp866:
      bytes += unit < 0x80 ? static_cast<char>(unit)
                           : cyrillicByte(unit, encoding == RowEncoding::Cp866);
      break;
    default:
      if (unit < 0x80) {
        bytes += static_cast<char>(unit);
      } else { // two-byte UTF-8 form
        bytes += static_cast<char>(0xC0 | (unit >> 6));
        bytes += static_cast<char>(0x80 | (unit & 0x3F));
      }
      break;
    }
  }
  return bytes;
}

int writeRows(const char* countText, const char* dir) {
  const long count = std::strtol(countText, nullptr, 10);
  std::mt19937_64 random{20240611};
  for (long i = 0; i < count; ++i) {
    const auto encoding = static_cast<RowEncoding>(i % static_cast<long>(RowEncoding::Count));
    const std::size_t wantedBytes = 100 + random() % (20480 - 100 + 1);
    // Units per byte: 1 for 8-bit text, about 0.6 for UTF-8 Cyrillic, 0.5 for UTF-16.
    const std::size_t units = encoding == RowEncoding::Utf16Le        ? wantedBytes / 2
                              : encoding == RowEncoding::Utf8Cyrillic ? wantedBytes * 3 / 5
                                                                      : wantedBytes;
    const std::string bytes =
        encodeRow(rowText(random, encoding != RowEncoding::Ascii, units), encoding);
    char name[64];
    std::snprintf(name, sizeof name, "/f%05ld.txt", i);
    std::FILE* out = std::fopen((std::string(dir) + name).c_str(), "wb");
    if (out == nullptr) return 1;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    if (std::fclose(out) != 0) return 1;
  }
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "rows") == 0) return writeRows(argv[2], argv[3]);
  if (argc == 4) return writeLarge(argv[1], argv[2], argv[3]);
  std::fprintf(stderr, "usage: %s text|long|utf16|utf16be MIB PATH\n       %s rows COUNT DIR\n",
               argv[0], argv[0]);
  return 2;
}
