// Writes a deterministic benchmark file: bench_data STYLE MIB PATH, where STYLE is text, long or
// utf16 (the text of "text" as UTF-16 LE with a byte order mark).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/text_source.h"

int main(int argc, char** argv) {
  using namespace linepeek::bench;
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s text|long|utf16 MIB PATH\n", argv[0]);
    return 2;
  }
  const bool wide = std::strcmp(argv[1], "utf16") == 0;
  TextSource source;
  source.style = std::strcmp(argv[1], "long") == 0 ? TextStyle::LongLines : TextStyle::Typical;
  const std::size_t total = std::strtoull(argv[2], nullptr, 10) << 20;
  std::FILE* out = std::fopen(argv[3], "wb");
  if (out == nullptr) return 1;
  if (wide) std::fwrite("\xFF\xFE", 1, 2, out);
  std::string block;
  std::size_t written = 0;
  while (written < total) {
    block.clear();
    appendLines(source, block, 1 << 22);
    const std::string bytes = wide ? widen(block, false) : block;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    written += block.size();
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
