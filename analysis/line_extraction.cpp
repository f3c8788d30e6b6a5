#include "analysis/line_extraction.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

namespace linepeek {
namespace {

constexpr char Lf = 0x0A;
constexpr char Cr = 0x0D;

// Index of the first LF in text[from, size), or npos.
std::size_t findLf(std::string_view text, std::size_t from) {
  const void* hit = std::memchr(text.data() + from, Lf, text.size() - from);
  if (hit == nullptr) return std::string_view::npos;
  return static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
}

// Index of the last LF in text[0, end), or npos. The C library has no portable memrchr, so test
// eight bytes at a time for a zero in (word XOR LFs) and look at single bytes only in a hit word.
std::size_t findLastLf(std::string_view text, std::size_t end) {
  constexpr std::uint64_t Ones = 0x0101010101010101u;
  constexpr std::uint64_t Highs = 0x8080808080808080u;
  constexpr std::uint64_t Lfs = Ones * 0x0Au;
  std::size_t i = end;
  while (i >= 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + i - 8, sizeof word);
    const std::uint64_t x = word ^ Lfs;
    if (((x - Ones) & ~x & Highs) != 0) break; // exact for "some byte is zero"
    i -= 8;
  }
  while (i > 0) {
    --i;
    if (text[i] == Lf) return i;
  }
  return std::string_view::npos;
}

std::string_view dropOneCr(std::string_view line) {
  if (!line.empty() && line.back() == Cr) line.remove_suffix(1);
  return line;
}

bool keepLine(std::string_view line, bool skipEmpty) {
  return !skipEmpty || !isBlankLine(line);
}

bool isUtf16(EncodingKind kind) {
  return kind == EncodingKind::Utf16Le || kind == EncodingKind::Utf16Be;
}

// The line text of a window as a view: into `raw` for 8-bit and UTF-8 windows (no copy), into
// `converted` for UTF-16 ones.
std::string_view windowText(std::string_view raw, EncodingKind kind, std::int32_t bomLength,
                            std::string& converted) {
  if (isUtf16(kind)) {
    converted = utf16ToUtf8(raw, kind == EncodingKind::Utf16Be, bomLength);
    return converted;
  }
  const auto skip = static_cast<std::size_t>(std::max(bomLength, 0));
  return skip >= raw.size() ? std::string_view() : raw.substr(skip);
}

// One tail window of at most `window` bytes ending at the end of the file. Answers false, and
// leaves the slots alone, when the read came back short: those bytes stop before the end of the
// file, so whatever lines they hold are not the last ones.
bool tailPass(AnalysisCache& cache, platform::FileHandle file, std::int32_t window,
              bool skipEmpty) {
  std::int32_t length = windowLength(cache.fileSize, window);
  if (length <= 0) return false;
  std::int64_t start = cache.fileSize - length;
  // UTF-16 units sit on even offsets. A window of an odd-sized file would start mid-unit and
  // pair the halves of two neighbouring units, so start one byte later; the file's odd last
  // byte is then the one left over, as it is for the head.
  if (isUtf16(cache.kind) && start % 2 != 0) {
    ++start;
    --length;
  }
  const std::string raw = readRange(file, start, length);
  if (raw.size() < static_cast<std::size_t>(length)) return false;
  std::string converted;
  const std::string_view text =
      windowText(raw, cache.kind, start == 0 ? cache.bomLength : 0, converted);
  splitTail(cache, text, start == 0, skipEmpty);
  return true;
}

} // namespace

void headLines(AnalysisCache& cache, platform::FileHandle file, const Settings& config,
               LineWindows windows) {
  if (cache.headDone) return;
  std::string converted;
  // First pass: the head sample the cache already holds, no read.
  const std::string_view sample = cache.headSample;
  splitHead(cache, windowText(sample, cache.kind, cache.bomLength, converted),
            static_cast<std::int64_t>(sample.size()) >= cache.fileSize, config.skipEmpty);

  if (cache.headCount < HeadCapacity && cache.fileSize > windows.first) {
    const std::string raw = readRange(file, 0, windowLength(cache.fileSize, windows.wide));
    // Both windows start at offset 0, so a wide read no longer than the sample (a failed or
    // short read) cannot add a line; keep the first pass rather than lose its lines.
    if (raw.size() > sample.size()) {
      splitHead(cache, windowText(raw, cache.kind, cache.bomLength, converted),
                static_cast<std::int64_t>(raw.size()) >= cache.fileSize, config.skipEmpty);
    }
  }
  cache.headDone = true;
}

void tailLines(AnalysisCache& cache, platform::FileHandle file, const Settings& config,
               LineWindows windows) {
  if (cache.tailDone) return;
  cache.tailCount = 0;
  tailPass(cache, file, windows.first, config.skipEmpty);
  if (cache.tailCount < TailCapacity && cache.fileSize > windows.first) {
    tailPass(cache, file, windows.wide, config.skipEmpty);
  }
  cache.tailDone = true;
}

std::string decodeWindow(std::string_view raw, EncodingKind kind, std::int32_t bomLength) {
  std::string converted;
  const std::string_view text = windowText(raw, kind, bomLength, converted);
  if (isUtf16(kind)) return converted;
  return std::string(text);
}

std::string utf16ToUtf8(std::string_view raw, bool bigEndian, std::int32_t offset) {
  const auto start = static_cast<std::size_t>(std::max(offset, 0));
  if (start >= raw.size()) return {};
  // Windows are at most WideWindow bytes; the cap only keeps the unit count inside an int.
  const std::size_t units = std::min<std::size_t>((raw.size() - start) / 2, INT_MAX / 2);
  if (units == 0) return {};

  std::u16string wide(units, u'\0');
  const auto* bytes = reinterpret_cast<const unsigned char*>(raw.data() + start);
  const unsigned highByte = bigEndian ? 0 : 1;
  for (std::size_t i = 0; i < units; ++i) {
    const unsigned high = bytes[2 * i + highByte];
    const unsigned low = bytes[2 * i + (1 - highByte)];
    wide[i] = static_cast<char16_t>((high << 8) | low);
  }
  const int unitCount = static_cast<int>(units);
  const int needed = platform::wideToUtf8(wide.data(), unitCount, nullptr, 0);
  if (needed <= 0) return {};
  std::string utf8(static_cast<std::size_t>(needed), '\0');
  const int written = platform::wideToUtf8(wide.data(), unitCount, utf8.data(), needed);
  utf8.resize(static_cast<std::size_t>(std::max(written, 0)));
  return utf8;
}

bool isBlankLine(std::string_view line) {
  for (const char c : line) {
    if (static_cast<unsigned char>(c) > 32) return false;
  }
  return true;
}

void splitHead(AnalysisCache& cache, std::string_view text, bool edgeComplete, bool skipEmpty) {
  std::int32_t count = 0;
  std::size_t lineStart = 0;
  while (count < HeadCapacity && lineStart < text.size()) {
    const std::size_t lf = findLf(text, lineStart);
    if (lf == std::string_view::npos) break;
    const std::string_view line = dropOneCr(text.substr(lineStart, lf - lineStart));
    if (keepLine(line, skipEmpty)) cache.headSlots[static_cast<std::size_t>(count++)] = line;
    lineStart = lf + 1;
  }
  // Bytes after the last LF are a line only when the window reaches the end of the file;
  // otherwise the window may have cut them off mid-line.
  if (edgeComplete && count < HeadCapacity && lineStart < text.size()) {
    const std::string_view line = dropOneCr(text.substr(lineStart));
    if (keepLine(line, skipEmpty)) cache.headSlots[static_cast<std::size_t>(count++)] = line;
  }
  cache.headCount = count;
}

void splitTail(AnalysisCache& cache, std::string_view text, bool edgeComplete, bool skipEmpty) {
  cache.tailCount = 0;
  if (text.empty()) return;
  // Found last line first; views into `text`, copied only once all are known.
  std::array<std::string_view, TailCapacity> found{};
  std::size_t count = 0;
  // A final LF ends the last line; it does not start an empty one.
  std::size_t lineEnd = text.size() - (text.back() == Lf ? 1 : 0); // exclusive
  while (count < found.size()) {
    const std::size_t lf = findLastLf(text, lineEnd);
    if (lf == std::string_view::npos) break;
    const std::string_view line = dropOneCr(text.substr(lf + 1, lineEnd - lf - 1));
    if (keepLine(line, skipEmpty)) found[count++] = line;
    lineEnd = lf;
  }
  // Bytes before the first LF are a line only when the window starts at the start of the file.
  if (edgeComplete && count < found.size() && lineEnd > 0) {
    const std::string_view line = dropOneCr(text.substr(0, lineEnd));
    if (keepLine(line, skipEmpty)) found[count++] = line;
  }
  for (std::size_t j = 0; j < count; ++j)
    cache.tailSlots[count - 1 - j] = found[j];
  cache.tailCount = static_cast<std::int32_t>(count);
}

} // namespace linepeek
