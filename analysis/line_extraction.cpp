#include "analysis/line_extraction.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "analysis/line_extraction_testing.h"

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

bool isHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

// UTF-16 is converted this many units at a time through a buffer of its own.
constexpr std::size_t PieceUnits = 16384;

// Converts UTF-16 units that arrive in runs to UTF-8, piece by piece. A piece never ends just
// after a high surrogate that a later unit may pair, so the output is what one conversion of all
// the units gives. With no output buffer it only counts the bytes.
class Utf8Pieces {
public:
  Utf8Pieces(char* out, std::size_t room) : out_(out), room_(out != nullptr ? room : 0) {}

  // Converts the whole units of `bytes`, whose low byte is at `lowByte` (0 or 1) of each. With
  // `more`, a high surrogate at the end waits for the next run. Answers the units converted, or
  // npos when the converter fails or the output would not fit.
  std::size_t add(std::string_view bytes, std::size_t lowByte, bool more) {
    const std::size_t count = bytes.size() / 2;
    if (wideUnits_ < std::min(PieceUnits, count)) {
      wideUnits_ = std::min(PieceUnits, count);
      wide_.reset(new char16_t[wideUnits_]);
    }
    std::size_t done = 0;
    while (done < count) {
      std::size_t units = std::min(wideUnits_, count - done);
      for (std::size_t i = 0; i < units; ++i) {
        const std::size_t at = 2 * (done + i);
        const auto low = static_cast<unsigned char>(bytes[at + lowByte]);
        const auto high = static_cast<unsigned char>(bytes[at + 1 - lowByte]);
        wide_[i] = static_cast<char16_t>(high << 8 | low);
      }
      const bool ends = done + units == count && !more;
      if (!ends && isHighSurrogate(wide_[units - 1])) {
        if (units == 1) break;
        --units;
      }
      // With an output buffer the converter gets the room left, never the sizing call that a
      // room of 0 would make.
      char* target = nullptr;
      int room = 0;
      if (out_ != nullptr) {
        if (written_ >= room_) return std::string_view::npos;
        target = out_ + written_;
        room = static_cast<int>(std::min<std::size_t>(room_ - written_, INT_MAX));
      }
      const int got = platform::wideToUtf8(wide_.get(), static_cast<int>(units), target, room);
      if (got <= 0) return std::string_view::npos;
      written_ += static_cast<std::size_t>(got);
      done += units;
    }
    return done;
  }

  std::size_t written() const { return written_; }

private:
  char* out_;
  std::size_t room_;
  std::size_t written_ = 0;
  std::unique_ptr<char16_t[]> wide_;
  std::size_t wideUnits_ = 0;
};

// A line of a UTF-16 window: its units [from, to).
struct UnitSpan {
  std::size_t from = 0;
  std::size_t to = 0;
};

// The UTF-16 units of a window from byte `offset` on, an odd last byte left out, read in place.
// Lines are found here, before any conversion: in the UTF-8 output an LF byte comes only from
// unit 0x000A, a CR byte only from unit 0x000D, and a byte above 32 only from a unit above 32.
// LF and CR units are no surrogates, so a line converts exactly as that part of the whole window
// does.
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
  std::size_t lowByte() const { return lowByte_; }
  std::string_view bytes(UnitSpan span) const {
    return bytes_.substr(2 * span.from, 2 * (span.to - span.from));
  }

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

  // The span less one trailing CR unit, as dropOneCr does to its UTF-8.
  UnitSpan dropOneCr(std::size_t from, std::size_t to) const {
    if (to > from && byteAt(2 * (to - 1) + lowByte_) == 0x0D &&
        byteAt(2 * (to - 1) + 1 - lowByte_) == 0) {
      --to;
    }
    return {from, to};
  }

  // Whether no unit of the span is above 32: the same answer isBlankLine gives for its UTF-8.
  bool isBlank(UnitSpan span) const {
    for (std::size_t unit = span.from; unit < span.to; ++unit) {
      if (byteAt(2 * unit + (1 - lowByte_)) != 0 || byteAt(2 * unit + lowByte_) > 32) return false;
    }
    return true;
  }

  // The span's UTF-8 size, counted without output.
  std::size_t utf8Size(UnitSpan span) const {
    Utf8Pieces counter(nullptr, 0);
    return counter.add(bytes(span), lowByte_, false) == std::string_view::npos ? 0
                                                                               : counter.written();
  }

  // The span's UTF-8. A short span goes in one pass into room for the longest output (three
  // bytes per unit hold any: a BMP unit takes at most three, a surrogate pair four for its two
  // units, an unpaired surrogate three for U+FFFD); a long one is sized first, so that its bytes
  // are never held at three per unit.
  std::string toUtf8(UnitSpan span) const {
    const std::size_t units = span.to - span.from;
    if (units == 0) return {};
    std::string utf8(units <= PieceUnits ? 3 * units : utf8Size(span), '\0');
    Utf8Pieces writer(utf8.data(), utf8.size());
    if (writer.add(bytes(span), lowByte_, false) == std::string_view::npos) return {};
    utf8.resize(writer.written());
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

// The spans of the lines splitHead finds in the UTF-8 of the units, from the first on.
std::size_t headSpans(const WindowUnits& units, bool edgeComplete, bool skipEmpty,
                      std::array<UnitSpan, HeadCapacity>& spans) {
  std::size_t count = 0;
  std::size_t lineStart = 0;
  while (count < spans.size() && lineStart < units.count()) {
    const std::size_t lf = units.firstLf(lineStart);
    if (lf == std::string_view::npos) break;
    const UnitSpan line = units.dropOneCr(lineStart, lf);
    if (!skipEmpty || !units.isBlank(line)) spans[count++] = line;
    lineStart = lf + 1;
  }
  if (edgeComplete && count < spans.size() && lineStart < units.count()) {
    const UnitSpan line = units.dropOneCr(lineStart, units.count());
    if (!skipEmpty || !units.isBlank(line)) spans[count++] = line;
  }
  return count;
}

// The spans of the lines splitTail finds in the UTF-8 of the units, in file order.
std::size_t tailSpans(const WindowUnits& units, bool edgeComplete, bool skipEmpty,
                      std::array<UnitSpan, HeadCapacity>& spans) {
  if (units.count() == 0) return 0;
  std::array<UnitSpan, TailCapacity> found{}; // last line first
  std::size_t count = 0;
  std::size_t lineEnd = units.count() - (units.isLf(units.count() - 1) ? 1 : 0);
  while (count < found.size()) {
    const std::size_t lf = units.lastLf(lineEnd);
    if (lf == std::string_view::npos) break;
    const UnitSpan line = units.dropOneCr(lf + 1, lineEnd);
    if (!skipEmpty || !units.isBlank(line)) found[count++] = line;
    lineEnd = lf;
  }
  if (edgeComplete && count < found.size() && lineEnd > 0) {
    const UnitSpan line = units.dropOneCr(0, lineEnd);
    if (!skipEmpty || !units.isBlank(line)) found[count++] = line;
  }
  for (std::size_t j = 0; j < count; ++j)
    spans[count - 1 - j] = found[j];
  return count;
}

// Counts the UTF-8 bytes that the converter makes of UTF-16 units seen one at a time, first to
// last (add) or last to first (addBefore): one to three per unit, four for a surrogate pair,
// three for an unpaired surrogate (U+FFFD).
class Utf8Count {
public:
  void add(char16_t unit) {
    if (pending_ && isLowSurrogate(unit)) {
      bytes_ += 1; // with the high surrogate's three, the pair's four
      pending_ = false;
      return;
    }
    bytes_ += unitBytes(unit);
    pending_ = isHighSurrogate(unit);
  }
  void addBefore(char16_t unit) {
    if (pending_ && isHighSurrogate(unit)) {
      bytes_ += 1;
      pending_ = false;
      return;
    }
    bytes_ += unitBytes(unit);
    pending_ = isLowSurrogate(unit);
  }
  std::size_t bytes() const { return bytes_; }

private:
  static bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
  static std::size_t unitBytes(char16_t unit) { return unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3; }

  std::size_t bytes_ = 0;
  bool pending_ = false; // the last unit may still pair with the next one
};

constexpr char16_t LfUnit = 0x000A;
constexpr char16_t CrUnit = 0x000D;

// The place of a UTF-16 window in the file, for reading its units there.
struct UnitSource {
  platform::FileHandle file;
  std::int64_t firstUnit; // file offset of unit 0
  std::size_t lowByte;    // 0 little-endian, 1 big-endian
  std::size_t pieceUnits; // units per read
};

enum class ReadOutcome { Whole, Short, Failed };

// Reads units [0, count) of the window in pieces, first to last or last to first, and hands each
// with its index to `visit` until it answers false. Whole: every unit was read, or the visit
// stopped. Short: a read ended early at the end of the file; Failed: a read failed. Reading
// forward, the units before either were visited; backward, nothing of that piece was.
template <typename Visit>
ReadOutcome visitUnits(const UnitSource& source, std::size_t count, bool backward, Visit&& visit) {
  for (std::size_t done = 0; done < count;) {
    const std::size_t units = std::min(source.pieceUnits, count - done);
    const std::size_t from = backward ? count - done - units : done;
    bool failed = false;
    const std::string piece =
        readRange(source.file, source.firstUnit + 2 * static_cast<std::int64_t>(from),
                  static_cast<std::int32_t>(2 * units), &failed);
    const std::size_t got = piece.size() / 2;
    if (backward && got < units) return failed ? ReadOutcome::Failed : ReadOutcome::Short;
    for (std::size_t i = 0; i < got; ++i) {
      const std::size_t k = backward ? got - 1 - i : i;
      const auto low = static_cast<unsigned char>(piece[2 * k + source.lowByte]);
      const auto high = static_cast<unsigned char>(piece[2 * k + 1 - source.lowByte]);
      if (!visit(from + k, static_cast<char16_t>(high << 8 | low))) return ReadOutcome::Whole;
    }
    if (got < units) return failed ? ReadOutcome::Failed : ReadOutcome::Short;
    done += units;
  }
  return ReadOutcome::Whole;
}

// Lines of a UTF-16 window found without holding it: their units and their UTF-8 sizes.
struct LineSpans {
  std::array<UnitSpan, HeadCapacity> spans{};
  std::array<std::size_t, HeadCapacity> bytes{};
  std::size_t count = 0;
};

// The line being scanned: its UTF-8 size so far, whether it is blank, whether it ends with CR.
struct OpenLine {
  Utf8Count size;
  bool blank = true;
  bool endsWithCr = false;
};

// The lines that splitHead finds in the UTF-8 of the window's `count` units, read forward in
// pieces until ten are stored. `unitsRead` receives how many units the reads gave. The last line
// counts when `edgeComplete` and every unit was read.
ReadOutcome scanHead(const UnitSource& source, std::size_t count, bool edgeComplete, bool skipEmpty,
                     LineSpans& lines, std::size_t& unitsRead) {
  std::size_t lineStart = 0;
  OpenLine line;
  const auto store = [&](std::size_t end) {
    std::size_t bytes = line.size.bytes();
    if (line.endsWithCr) {
      --end;
      --bytes;
    }
    if (skipEmpty && line.blank) return;
    lines.spans[lines.count] = {lineStart, end};
    lines.bytes[lines.count++] = bytes;
  };
  unitsRead = 0;
  const ReadOutcome outcome = visitUnits(source, count, false, [&](std::size_t at, char16_t unit) {
    unitsRead = at + 1;
    if (unit == LfUnit) {
      store(at);
      lineStart = at + 1;
      line = OpenLine{};
      return lines.count < HeadCapacity;
    }
    line.size.add(unit);
    line.blank = line.blank && unit <= 32;
    line.endsWithCr = unit == CrUnit;
    return true;
  });
  if (outcome == ReadOutcome::Whole && lines.count < HeadCapacity) {
    unitsRead = count;
    if (edgeComplete && lineStart < count) store(count);
  }
  return outcome;
}

// The lines that splitTail finds in the UTF-8 of the window's `count` units, in file order, read
// backward in pieces until three are stored.
ReadOutcome scanTail(const UnitSource& source, std::size_t count, bool edgeComplete, bool skipEmpty,
                     LineSpans& lines) {
  std::array<UnitSpan, TailCapacity> found{}; // last line first
  std::array<std::size_t, TailCapacity> foundBytes{};
  std::size_t stored = 0;
  std::size_t lineEnd = count;
  OpenLine line;
  const auto store = [&](std::size_t start) {
    std::size_t end = lineEnd;
    std::size_t bytes = line.size.bytes();
    if (line.endsWithCr) {
      --end;
      --bytes;
    }
    if (skipEmpty && line.blank) return;
    found[stored] = {start, end};
    foundBytes[stored++] = bytes;
  };
  const ReadOutcome outcome = visitUnits(source, count, true, [&](std::size_t at, char16_t unit) {
    if (unit == LfUnit) {
      // A final LF ends the last line; it does not start an empty one.
      if (at + 1 < count) store(at + 1);
      lineEnd = at;
      line = OpenLine{};
      return stored < found.size();
    }
    if (at + 1 == lineEnd) line.endsWithCr = unit == CrUnit;
    line.size.addBefore(unit);
    line.blank = line.blank && unit <= 32;
    return true;
  });
  if (outcome != ReadOutcome::Whole) return outcome;
  if (edgeComplete && stored < found.size() && lineEnd > 0) store(0);
  for (std::size_t j = 0; j < stored; ++j) {
    lines.spans[stored - 1 - j] = found[j];
    lines.bytes[stored - 1 - j] = foundBytes[j];
  }
  lines.count = stored;
  return outcome;
}

// Reads the span's units again and converts them into `line`, `bytes` long. False when a read
// fails or comes back short, or the units no longer convert to `bytes` bytes: the file changed.
bool rereadLine(const UnitSource& source, UnitSpan span, std::size_t bytes, std::string& line) {
  line.assign(bytes, '\0');
  Utf8Pieces writer(line.data(), bytes);
  for (std::size_t unit = span.from; unit < span.to;) {
    // Two units at least, so that a high surrogate held back for its partner is not all.
    const std::size_t units = std::min(std::max<std::size_t>(source.pieceUnits, 2), span.to - unit);
    bool failed = false;
    const std::string piece =
        readRange(source.file, source.firstUnit + 2 * static_cast<std::int64_t>(unit),
                  static_cast<std::int32_t>(2 * units), &failed);
    if (failed || piece.size() != 2 * units) return false;
    const std::size_t done = writer.add(piece, source.lowByte, unit + units < span.to);
    if (done == std::string_view::npos || done == 0) return false;
    unit += done;
  }
  return writer.written() == bytes;
}

// Converts the scanned lines, read again from the file, into the head slots or the tail slots.
// False, storing nothing, when one cannot be read again.
bool storeScannedLines(AnalysisCache& cache, const UnitSource& source, const LineSpans& lines,
                       bool head) {
  std::array<std::string, HeadCapacity> texts;
  for (std::size_t i = 0; i < lines.count; ++i) {
    if (!rereadLine(source, lines.spans[i], lines.bytes[i], texts[i])) return false;
  }
  std::string* slots = head ? cache.headSlots.data() : cache.tailSlots.data();
  for (std::size_t i = 0; i < lines.count; ++i)
    slots[i] = std::move(texts[i]);
  (head ? cache.headCount : cache.tailCount) = static_cast<std::int32_t>(lines.count);
  return true;
}

UnitSource wideSource(const AnalysisCache& cache, platform::FileHandle file, std::int64_t start,
                      std::int32_t bomLength, const LineWindows& windows) {
  return {file, start + std::max(bomLength, 0), cache.kind == EncodingKind::Utf16Be ? 1u : 0u,
          static_cast<std::size_t>(std::max(windows.piece / 2, 1))};
}

enum class WindowSide { Head, Tail };

// The lines of a window held in memory, stored into the head slots from slot 0 or into the tail
// slots, as splitHead or splitTail store them from the window's line text. `raw` holds the
// window's bytes from byte 0 of the file or from `start`; the BOM is skipped at offset 0 only. A
// UTF-16 window is split in its units, and only the stored lines are converted, each straight
// into its slot.
void storeLines(AnalysisCache& cache, std::string_view raw, std::int64_t start, WindowSide side,
                bool edgeComplete, bool skipEmpty) {
  const std::int32_t bomLength = start == 0 ? cache.bomLength : 0;
  if (!isUtf16(cache.kind)) {
    const auto skip = static_cast<std::size_t>(std::max(bomLength, 0));
    const std::string_view text = skip >= raw.size() ? std::string_view() : raw.substr(skip);
    if (side == WindowSide::Head) {
      splitHead(cache, text, edgeComplete, skipEmpty);
    } else {
      splitTail(cache, text, edgeComplete, skipEmpty);
    }
    return;
  }
  const WindowUnits units(raw, cache.kind == EncodingKind::Utf16Be, bomLength);
  std::array<UnitSpan, HeadCapacity> spans{};
  if (side == WindowSide::Head) {
    const std::size_t count = headSpans(units, edgeComplete, skipEmpty, spans);
    for (std::size_t i = 0; i < count; ++i)
      cache.headSlots[i] = units.toUtf8(spans[i]);
    cache.headCount = static_cast<std::int32_t>(count);
  } else {
    const std::size_t count = tailSpans(units, edgeComplete, skipEmpty, spans);
    for (std::size_t i = 0; i < count; ++i)
      cache.tailSlots[i] = units.toUtf8(spans[i]);
    cache.tailCount = static_cast<std::int32_t>(count);
  }
}

// One tail window of at most `window` bytes ending at the end of the file. Answers false, and
// leaves the slots alone, when the read failed: the bytes before the failure stop short of the
// end of the file, so whatever lines they hold are not the last ones. A read that stops early at
// the end of the file (a file shorter than its size said) holds the file's last bytes: used.
bool tailPass(AnalysisCache& cache, platform::FileHandle file, std::int32_t window, bool skipEmpty,
              const LineWindows& windows) {
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
    storeLines(cache, cache.headSample, 0, WindowSide::Tail, true, skipEmpty);
    return true;
  }
  const std::int32_t bomLength = start == 0 ? cache.bomLength : 0;
  if (isUtf16(cache.kind) && length > windows.first && length > bomLength) {
    // A wide UTF-16 window is scanned in pieces and its lines read again, never held whole: its
    // lines, up to one and a half times its size, would otherwise come on top of it. A file
    // that turns out shorter than its size is read the plain way below.
    const UnitSource source = wideSource(cache, file, start, bomLength, windows);
    LineSpans lines;
    const ReadOutcome outcome = scanTail(source, static_cast<std::size_t>(length - bomLength) / 2,
                                         start == 0, skipEmpty, lines);
    if (outcome == ReadOutcome::Failed) return false;
    if (outcome == ReadOutcome::Whole) return storeScannedLines(cache, source, lines, false);
  }
  bool failed = false;
  const std::string read = readRange(file, start, length, &failed);
  if (failed) return false;
  storeLines(cache, read, start, WindowSide::Tail, start == 0, skipEmpty);
  return true;
}

} // namespace

void headLines(AnalysisCache& cache, platform::FileHandle file, const Settings& config,
               LineWindows windows) {
  if (cache.headDone) return;
  // First pass: the head sample the cache already holds, no read.
  const std::string_view sample = cache.headSample;
  storeLines(cache, sample, 0, WindowSide::Head,
             static_cast<std::int64_t>(sample.size()) >= cache.fileSize, config.skipEmpty);

  if (cache.headCount < HeadCapacity && cache.fileSize > windows.first) {
    // Both windows start at offset 0, so a wide read no longer than the sample (a failed or
    // short read) cannot add a line; keep the first pass rather than lose its lines.
    const std::int32_t length = windowLength(cache.fileSize, windows.wide);
    if (isUtf16(cache.kind) && length > cache.bomLength) {
      // Scanned in pieces and its lines read again, as the tail's wide window is; a line that
      // cannot be read again keeps the first pass too.
      const UnitSource source = wideSource(cache, file, 0, cache.bomLength, windows);
      LineSpans lines;
      std::size_t unitsRead = 0;
      const std::size_t count = static_cast<std::size_t>(length - cache.bomLength) / 2;
      const ReadOutcome outcome =
          scanHead(source, count, length >= cache.fileSize, config.skipEmpty, lines, unitsRead);
      const std::size_t bytesRead = outcome == ReadOutcome::Whole
                                        ? static_cast<std::size_t>(length)
                                        : static_cast<std::size_t>(cache.bomLength) + 2 * unitsRead;
      if (bytesRead > sample.size()) storeScannedLines(cache, source, lines, true);
    } else {
      const std::string raw = readRange(file, 0, length);
      if (raw.size() > sample.size()) {
        storeLines(cache, raw, 0, WindowSide::Head,
                   static_cast<std::int64_t>(raw.size()) >= cache.fileSize, config.skipEmpty);
      }
    }
  }
  cache.headDone = true;
}

void tailLines(AnalysisCache& cache, platform::FileHandle file, const Settings& config,
               LineWindows windows) {
  if (cache.tailDone) return;
  cache.tailCount = 0;
  tailPass(cache, file, windows.first, config.skipEmpty, windows);
  if (cache.tailCount < TailCapacity && cache.fileSize > windows.first) {
    tailPass(cache, file, windows.wide, config.skipEmpty, windows);
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
  return units.toUtf8({0, units.count()});
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
