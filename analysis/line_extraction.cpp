#include "analysis/line_extraction.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "analysis/line_extraction_testing.h"
#include "base/blanks.h"
#include "base/characters.h"
#include "base/unicode.h"

namespace linepeek {
namespace {

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
  constexpr std::uint64_t Lfs = Ones * Lf;
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

// A window read for its lines: its line text, held by `text` from byte `textFrom` on, the bytes
// the read gave, and whether it failed (as readInto tells it).
struct WindowRead {
  std::string text;
  std::size_t textFrom = 0;
  std::int32_t bytesRead = 0;
  bool failed = false;
};

// Reads `length` bytes at `start` and makes them line text as windowText does. A UTF-16 window
// is read behind room for its UTF-8 and converted in place, so that its bytes and their UTF-8
// are never held side by side: 6 MiB for the widest window, where both would take 10.
WindowRead readWindow(platform::FileHandle file, EncodingKind kind, std::int64_t start,
                      std::int32_t length, std::int32_t bomLength) {
  WindowRead window;
  const std::size_t room = isUtf16(kind) ? static_cast<std::size_t>(length) / 2 : 0;
  window.text.resize(room + static_cast<std::size_t>(std::max(length, 0)));
  window.bytesRead = readInto(file, start, length, window.text.data() + room, &window.failed);
  const auto bytes = static_cast<std::size_t>(window.bytesRead);
  const std::size_t skip = std::min(static_cast<std::size_t>(std::max(bomLength, 0)), bytes);
  if (isUtf16(kind)) {
    window.text.resize(utf16BytesToUtf8(window.text.data() + room + skip, bytes - skip,
                                        kind == EncodingKind::Utf16Be, window.text.data()));
  } else {
    window.text.resize(bytes);
    window.textFrom = skip;
  }
  return window;
}

// The slots are views of the text their window gave. When the stored lines take less than a
// quarter of the buffer that holds it, they are copied into a text of their own and the buffer
// is let go, so that a wide window read for a few short lines does not stay with the cache, while
// a long line is never held twice: an end never holds more than its window's text, and while
// one is split it holds at most a quarter more.
template <std::size_t Capacity> void keepOnlyLines(LineGroup<Capacity>& group) {
  std::string& text = group.text;
  auto& slots = group.slots;
  const auto lines = static_cast<std::size_t>(group.count);
  std::size_t total = 0;
  for (std::size_t i = 0; i < lines; ++i)
    total += slots[i].size();
  if (total >= text.capacity() / 4) return;
  std::string kept;
  kept.reserve(total);
  for (std::size_t i = 0; i < lines; ++i)
    kept += slots[i];
  // A swap, so that the old buffer goes with `kept`: a move from a short string copies into it.
  text.swap(kept);
  std::size_t at = 0;
  for (std::size_t i = 0; i < lines; ++i) {
    slots[i] = std::string_view(text).substr(at, slots[i].size());
    at += slots[i].size();
  }
}

// The head sample as line text: past its BOM, and for UTF-16 converted to UTF-8 once per cached
// file, in sampleText, for both ends.
std::string_view sampleText(AnalysisCache& cache) {
  std::string& decoded = cache.groups.sampleText;
  if (isUtf16(cache.kind) && !decoded.empty()) return decoded;
  return windowText(cache.headSample, cache.kind, cache.bomLength, decoded);
}

// One tail window of at most `window` bytes ending at the end of the file. Answers false, and
// leaves the slots alone, when the read failed: the bytes before the failure stop short of the
// end of the file, so whatever lines they hold are not the last ones. A read that stops early at
// the end of the file (a file shorter than its size said) holds the file's last bytes: used.
bool tailPass(AnalysisCache& cache, TailLines& tail, platform::FileHandle file, std::int32_t window,
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
  // A head sample that holds the whole file is this window already; do not read it again.
  if (start == 0 && static_cast<std::int64_t>(cache.headSample.size()) == cache.fileSize) {
    splitTail(tail, sampleText(cache), true, skipEmpty);
    return true;
  }
  WindowRead read = readWindow(file, cache.kind, start, length, start == 0 ? cache.bomLength : 0);
  if (read.failed) return false;
  tail.text = std::move(read.text);
  splitTail(tail, std::string_view(tail.text).substr(read.textFrom), start == 0, skipEmpty);
  keepOnlyLines(tail);
  return true;
}

} // namespace

const HeadLines& headLines(AnalysisCache& cache, platform::FileHandle file, const Settings& config,
                           LineWindows windows) {
  if (cache.groups.head) return *cache.groups.head;
  // Built in place: the slots may be views of its own text.
  HeadLines& head = cache.groups.head.emplace();
  // First pass: the head sample the cache already holds, no read.
  const auto sampleBytes = static_cast<std::int64_t>(cache.headSample.size());
  splitHead(head, sampleText(cache), sampleBytes >= cache.fileSize, config.skipEmpty);
  if (head.count < HeadCapacity && cache.fileSize > windows.first) {
    // Both windows start at offset 0, so a wide read no longer than the sample (a failed or
    // short read) cannot add a line; keep the first pass rather than lose its lines.
    WindowRead wide = readWindow(file, cache.kind, 0, windowLength(cache.fileSize, windows.wide),
                                 cache.bomLength);
    if (wide.bytesRead > sampleBytes) {
      head.text = std::move(wide.text);
      splitHead(head, std::string_view(head.text).substr(wide.textFrom),
                wide.bytesRead >= cache.fileSize, config.skipEmpty);
      keepOnlyLines(head);
    }
  }
  return head;
}

const TailLines& tailLines(AnalysisCache& cache, platform::FileHandle file, const Settings& config,
                           LineWindows windows) {
  if (cache.groups.tail) return *cache.groups.tail;
  TailLines& tail = cache.groups.tail.emplace();
  tailPass(cache, tail, file, windows.first, config.skipEmpty);
  if (tail.count < TailCapacity && cache.fileSize > windows.first) {
    tailPass(cache, tail, file, windows.wide, config.skipEmpty);
  }
  return tail;
}

std::string_view windowText(std::string_view raw, EncodingKind kind, std::int32_t bomLength,
                            std::string& decoded) {
  raw.remove_prefix(std::min(static_cast<std::size_t>(std::max(bomLength, 0)), raw.size()));
  if (!isUtf16(kind)) return raw;
  decoded.resize(utf8Room(raw.size()));
  decoded.resize(
      utf16BytesToUtf8(raw.data(), raw.size(), kind == EncodingKind::Utf16Be, decoded.data()));
  return decoded;
}

bool isBlankLine(std::string_view line) {
  return isBlankText(line);
}

void splitHead(HeadLines& head, std::string_view text, bool edgeComplete, bool skipEmpty) {
  std::int32_t count = 0;
  std::size_t lineStart = 0;
  while (count < HeadCapacity && lineStart < text.size()) {
    const std::size_t lf = findLf(text, lineStart);
    if (lf == std::string_view::npos) break;
    const std::string_view line = dropOneCr(text.substr(lineStart, lf - lineStart));
    if (keepLine(line, skipEmpty)) head.slots[static_cast<std::size_t>(count++)] = line;
    lineStart = lf + 1;
  }
  // Bytes after the last LF are a line only when the window reaches the end of the file;
  // otherwise the window may have cut them off mid-line.
  if (edgeComplete && count < HeadCapacity && lineStart < text.size()) {
    const std::string_view line = dropOneCr(text.substr(lineStart));
    if (keepLine(line, skipEmpty)) head.slots[static_cast<std::size_t>(count++)] = line;
  }
  head.count = count;
}

void splitTail(TailLines& tail, std::string_view text, bool edgeComplete, bool skipEmpty) {
  tail.count = 0;
  if (text.empty()) return;
  // Found last line first, stored in file order once all are known.
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
    tail.slots[count - 1 - j] = found[j];
  tail.count = static_cast<std::int32_t>(count);
}

} // namespace linepeek
