#include "analysis/line_counter.h"

#include <algorithm>
#include <memory>
#include <string_view>

#include "analysis/line_counter_testing.h"

namespace linepeek {

namespace {

// Bytes of the mark that belong to no line, skipped in whole units: after a 2-byte mark that is
// unit 1 in UTF-16 mode.
std::int64_t markSkipBytes(EncodingKind kind, std::int32_t bomLength) {
  const std::int64_t markBytes = std::max<std::int32_t>(bomLength, 0);
  return isUtf16(kind) ? markBytes / 2 * 2 : markBytes;
}

// The count of a whole file held in memory, by the same rules as countLines.
std::int64_t countBytes(std::string_view bytes, EncodingKind kind, std::int32_t bomLength,
                        bool skipEmpty) {
  const auto skipped = static_cast<std::size_t>(std::min<std::int64_t>(
      markSkipBytes(kind, bomLength), static_cast<std::int64_t>(bytes.size())));
  LineState state;
  scanUnits(reinterpret_cast<const unsigned char*>(bytes.data()) + skipped, bytes.size() - skipped,
            kind, skipEmpty, state);
  return finishCount(state);
}

} // namespace

std::int64_t countLines(platform::FileHandle file, std::int64_t fileSize, EncodingKind kind,
                        std::int32_t bomLength, bool skipEmpty, std::int32_t readBytes) {
  if (fileSize <= 0 || !platform::seekTo(file, 0)) return 0;

  // Reads stay even so that UTF-16 units never straddle two of them.
  const std::int64_t chunkBytes = std::clamp<std::int32_t>(readBytes, 2, CountChunk) & ~1;
  std::int64_t skipBytes = markSkipBytes(kind, bomLength);

  // Not zero-filled: every byte scanned has been read first. Each read goes into the same buffer
  // and is counted while it is still in the core's L2 cache; filling 4 MiB in turn measured about
  // 10% slower, as the copy out of the page cache then misses L2. The one buffer is all that a
  // count adds to a request's peak memory.
  const std::unique_ptr<unsigned char[]> chunk(
      new unsigned char[static_cast<std::size_t>(std::min(chunkBytes, fileSize))]);
  LineState state;
  // No more than the size the request saw: what a file gains meanwhile is for the next request,
  // which sees a new size, and a file that grows without end (or a file system that answers
  // reads without end) cannot hold the count.
  for (std::int64_t left = fileSize; left > 0;) {
    const std::int64_t want = std::min(chunkBytes, left);
    const std::int64_t got = platform::readFile(file, chunk.get(), want);
    if (got <= 0) break; // a failed read ends the count like the end of the file
    left -= got;
    const std::int64_t skipped = std::min(skipBytes, got);
    skipBytes -= skipped;
    scanUnits(chunk.get() + skipped, static_cast<std::size_t>(got - skipped), kind, skipEmpty,
              state);
    if (got < want) break; // a short read is the last: the file ends sooner than its size said
  }
  return finishCount(state);
}

std::int64_t lineCount(AnalysisCache& cache, platform::FileHandle file, const Settings& config) {
  if (cache.groups.lineTotal) return *cache.groups.lineTotal;
  if (cache.fileSize > 0 && holdsWholeFile(cache)) {
    // The head sample holds the whole file: count it where it is, without a read or a buffer.
    cache.groups.lineTotal =
        countBytes(cache.headSample, cache.kind, cache.bomLength, config.skipEmpty);
  } else {
    cache.groups.lineTotal =
        countLines(file, cache.fileSize, cache.kind, cache.bomLength, config.skipEmpty);
  }
  return *cache.groups.lineTotal;
}

} // namespace linepeek
