#include "analysis/analysis_cache.h"

#include <algorithm>

#include "base/never_destroyed.h"

namespace linepeek {
namespace {

NeverDestroyed<AnalysisCache> analysisCacheRecord LINEPEEK_CONSTRUCTED_FIRST;

} // namespace

AnalysisCache& analysisCache = analysisCacheRecord.value;

std::int32_t windowLength(std::int64_t size, std::int32_t window) {
  return size < window ? static_cast<std::int32_t>(size) : window;
}

std::int32_t readInto(platform::FileHandle file, std::int64_t offset, std::int32_t length,
                      char* buffer, bool* failed) {
  if (failed != nullptr) *failed = false;
  if (length <= 0) return 0;
  // A failed seek would leave the position wherever the last read ended; bytes read from there
  // would pass for the wrong part of the file, so answer nothing instead.
  if (!platform::seekTo(file, offset)) {
    if (failed != nullptr) *failed = true;
    return 0;
  }
  const std::int64_t got = platform::readFile(file, buffer, length, failed);
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(got, 0, length));
}

std::string readRange(platform::FileHandle file, std::int64_t offset, std::int32_t length,
                      bool* failed) {
  std::string bytes(static_cast<std::size_t>(std::max(length, 0)), '\0');
  bytes.resize(static_cast<std::size_t>(readInto(file, offset, length, bytes.data(), failed)));
  return bytes;
}

bool describes(const AnalysisCache& cache, const std::u16string& name, std::int64_t size,
               std::uint64_t writeTime) {
  return cache.valid && cache.fileSize == size && cache.writeTime == writeTime &&
         cache.fileName == name;
}

bool holdsWholeFile(const AnalysisCache& cache) {
  return cache.fileSize <= static_cast<std::int64_t>(cache.headSample.size());
}

void refreshCache(AnalysisCache& cache, platform::FileHandle file, const std::u16string& name,
                  std::int64_t size, std::uint64_t writeTime, const Settings& config) {
  if (describes(cache, name, size, writeTime)) return;
  cache.fileName = name;
  cache.fileSize = size;
  cache.writeTime = writeTime;
  cache.kind = EncodingKind::Other;
  cache.bomLength = 0;
  // Renewed, not only emptied: the lines of the last file may be megabytes.
  cache.groups = AnalysisGroups{};
  cache.valid = true;

  if (size <= 0) {
    // Empty, or of unknown size: nothing to read, and every group that would read is known.
    cache.headSample.clear();
    cache.groups.isBinary = false;
    cache.groups.head.emplace();
    cache.groups.tail.emplace();
    cache.groups.lineTotal = 0;
    return;
  }
  cache.headSample = readRange(file, 0, windowLength(size, HeadWindow));
  cache.kind = detectEncoding(cache.headSample, cache.bomLength, config);
}

} // namespace linepeek
