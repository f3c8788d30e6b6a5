#include "analysis/line_extraction.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <memory>

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

// Conversions of at most this many units go in one pass into room for the longest output; longer
// ones are sized first, so that a wide window never holds three bytes per unit.
constexpr std::size_t OnePassUnits = HeadWindow;

// The UTF-16 units of a window from byte `offset` on, an odd last byte left out, read in place.
// Lines are found here, before any conversion: in the UTF-8 output an LF byte comes only from
// unit 0x000A, and a byte above 32 only from a unit above 32. An LF unit is no surrogate, so a
// span that starts or ends at one converts exactly as that part of the whole window does.
class WindowUnits {
public:
  WindowUnits(std::string_view raw, bool bigEndian, std::int32_t offset)
      : lowByte_(bigEndian ? 1 : 0) {
    const auto start = static_cast<std::size_t>(std::max(offset, 0));
    if (start >= raw.size()) return;
    // Windows are at most WideWindow bytes; the cap only keeps the output size inside an int.
    const std::size_t units = std::min<std::size_t>((raw.size() - start) / 2, INT_MAX / 3);
    bytes_ = raw.substr(start, 2 * units);
  }

  std::size_t count() const { return bytes_.size() / 2; }

  // Index of the first LF unit in [from, count()), or npos. Searches for the 0x0A byte and skips
  // hits in the other half of a unit (0x0A00, 0x010A).
  std::size_t firstLf(std::size_t from) const {
    std::size_t at = 2 * from;
    while (at < bytes_.size()) {
      at = findLf(bytes_, at);
      if (at == std::string_view::npos) return at;
      if (isLfAt(at)) return at / 2;
      ++at;
    }
    return std::string_view::npos;
  }

  // Index of the last LF unit in [0, end), or npos.
  std::size_t lastLf(std::size_t end) const {
    std::size_t limit = 2 * end;
    while (limit > 0) {
      const std::size_t at = findLastLf(bytes_, limit);
      if (at == std::string_view::npos) return at;
      if (isLfAt(at)) return at / 2;
      limit = at;
    }
    return std::string_view::npos;
  }

  bool isLf(std::size_t unit) const { return isLfAt(2 * unit + lowByte_); }

  // Whether no unit in [from, to) is above 32: the same answer isBlankLine gives for its UTF-8.
  bool isBlank(std::size_t from, std::size_t to) const {
    for (std::size_t unit = from; unit < to; ++unit) {
      if (byteAt(2 * unit + (1 - lowByte_)) != 0 || byteAt(2 * unit + lowByte_) > 32) return false;
    }
    return true;
  }

  // UTF-8 of the units [from, to) by the platform converter.
  std::string toUtf8(std::size_t from, std::size_t to) const {
    if (to <= from) return {};
    const std::size_t units = to - from;
    const std::unique_ptr<char16_t[]> wide(new char16_t[units]);
    for (std::size_t i = 0; i < units; ++i) {
      const std::size_t at = 2 * (from + i);
      wide[i] = static_cast<char16_t>((byteAt(at + 1 - lowByte_) << 8) | byteAt(at + lowByte_));
    }
    const int unitCount = static_cast<int>(units);
    // Three bytes per unit hold any output: a BMP unit takes at most three, a surrogate pair
    // four for its two units, and an unpaired surrogate three (U+FFFD).
    const int room = units <= OnePassUnits
                         ? 3 * unitCount
                         : platform::wideToUtf8(wide.get(), unitCount, nullptr, 0);
    if (room <= 0) return {};
    std::string utf8(static_cast<std::size_t>(room), '\0');
    const int written = platform::wideToUtf8(wide.get(), unitCount, utf8.data(), room);
    utf8.resize(static_cast<std::size_t>(std::max(written, 0)));
    return utf8;
  }

private:
  unsigned byteAt(std::size_t at) const { return static_cast<unsigned char>(bytes_[at]); }
  // Whether the byte at `at` is the low half of an LF unit.
  bool isLfAt(std::size_t at) const {
    return at % 2 == lowByte_ && byteAt(at) == 0x0A && byteAt(at ^ 1) == 0;
  }

  std::string_view bytes_;
  std::size_t lowByte_;
};

// The units up to and including the LF that ends the tenth kept line, as splitHead counts them;
// npos when the window holds fewer. splitHead then finds the same ten lines in their UTF-8.
std::size_t headEnd(const WindowUnits& units, bool skipEmpty) {
  int count = 0;
  std::size_t lineStart = 0;
  for (;;) {
    const std::size_t lf = units.firstLf(lineStart);
    if (lf == std::string_view::npos) return lf;
    if (!skipEmpty || !units.isBlank(lineStart, lf)) {
      if (++count == HeadCapacity) return lf + 1;
    }
    lineStart = lf + 1;
  }
}

// The LF unit just before the third kept line from the end, as splitTail counts them; npos when
// the window holds fewer lines after LFs. The span from that LF on gives splitTail the same three
// lines; it starts with the LF, so an empty third line is still found.
std::size_t tailStart(const WindowUnits& units, bool skipEmpty) {
  const std::size_t count = units.count();
  if (count == 0) return std::string_view::npos;
  std::size_t lineEnd = count - (units.isLf(count - 1) ? 1 : 0); // a final LF starts no line
  int found = 0;
  for (;;) {
    const std::size_t lf = units.lastLf(lineEnd);
    if (lf == std::string_view::npos) return lf;
    if (!skipEmpty || !units.isBlank(lf + 1, lineEnd)) {
      if (++found == TailCapacity) return lf;
    }
    lineEnd = lf;
  }
}

enum class WindowSide { Head, Tail };

// The line text of a window as a view: into `raw` for 8-bit and UTF-8 windows (no copy), into
// `converted` for UTF-16 ones. Of a UTF-16 window only the part that the split of `side` looks
// at is converted: up to the end of the tenth line, or from the LF before the third last.
std::string_view windowText(std::string_view raw, EncodingKind kind, std::int32_t bomLength,
                            WindowSide side, bool skipEmpty, std::string& converted) {
  if (isUtf16(kind)) {
    const WindowUnits units(raw, kind == EncodingKind::Utf16Be, bomLength);
    std::size_t from = 0;
    std::size_t to = units.count();
    if (side == WindowSide::Head) {
      to = std::min(to, headEnd(units, skipEmpty));
    } else {
      const std::size_t start = tailStart(units, skipEmpty);
      if (start != std::string_view::npos) from = start;
    }
    converted = units.toUtf8(from, to);
    return converted;
  }
  const auto skip = static_cast<std::size_t>(std::max(bomLength, 0));
  return skip >= raw.size() ? std::string_view() : raw.substr(skip);
}

// One tail window of at most `window` bytes ending at the end of the file. Answers false, and
// leaves the slots alone, when the read failed: the bytes before the failure stop short of the
// end of the file, so whatever lines they hold are not the last ones. A read that stops early at
// the end of the file (a file shorter than its size said) holds the file's last bytes: used.
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
  // A head sample that holds the whole file is this window already; do not read it again.
  std::string read;
  std::string_view raw = cache.headSample;
  if (start != 0 || static_cast<std::int64_t>(raw.size()) != cache.fileSize) {
    bool failed = false;
    read = readRange(file, start, length, &failed);
    if (failed) return false;
    raw = read;
  }
  std::string converted;
  const std::string_view text = windowText(raw, cache.kind, start == 0 ? cache.bomLength : 0,
                                           WindowSide::Tail, skipEmpty, converted);
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
  splitHead(cache,
            windowText(sample, cache.kind, cache.bomLength, WindowSide::Head, config.skipEmpty,
                       converted),
            static_cast<std::int64_t>(sample.size()) >= cache.fileSize, config.skipEmpty);

  if (cache.headCount < HeadCapacity && cache.fileSize > windows.first) {
    const std::string raw = readRange(file, 0, windowLength(cache.fileSize, windows.wide));
    // Both windows start at offset 0, so a wide read no longer than the sample (a failed or
    // short read) cannot add a line; keep the first pass rather than lose its lines.
    if (raw.size() > sample.size()) {
      splitHead(cache,
                windowText(raw, cache.kind, cache.bomLength, WindowSide::Head, config.skipEmpty,
                           converted),
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
  if (isUtf16(kind)) return utf16ToUtf8(raw, kind == EncodingKind::Utf16Be, bomLength);
  const auto skip = static_cast<std::size_t>(std::max(bomLength, 0));
  return skip >= raw.size() ? std::string() : std::string(raw.substr(skip));
}

std::string utf16ToUtf8(std::string_view raw, bool bigEndian, std::int32_t offset) {
  const WindowUnits units(raw, bigEndian, offset);
  return units.toUtf8(0, units.count());
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
