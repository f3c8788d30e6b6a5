// The analysis of the most recently queried file, kept so that the host's many requests for one
// file read it as few times as possible. Everything here runs under the value lock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/encoding_kind.h"
#include "analysis/line_endings.h"
#include "base/bounds.h"
#include "base/charsets.h"
#include "platform/platform.h"
#include "settings/settings.h"

namespace linepeek {

// The first lines or the last lines of a file: views of the line text of the window they came
// from, the head sample or the sample's UTF-8, or `text` beside them.
template <std::size_t Capacity> struct LineGroup {
  std::string text;
  std::array<std::string_view, Capacity> slots{};
  std::int32_t count = 0;
};
using HeadLines = LineGroup<static_cast<std::size_t>(HeadCapacity)>;
using TailLines = LineGroup<static_cast<std::size_t>(TailCapacity)>;

// What the producers compute from the cached file, each group at most once per file: a group
// without a value is still to compute. A refill renews the whole record, memory included.
struct AnalysisGroups {
  // The UTF-8 of a UTF-16 head sample, converted at its first use for the lines of both ends.
  std::string sampleText;
  std::optional<bool> isBinary;
  std::optional<const char*> encoding; // one of EncodingNames
  std::optional<HeadLines> head;
  std::optional<TailLines> tail;
  std::optional<std::int64_t> lineTotal;
  std::optional<LineEndingKind> lineEndings;
  std::optional<const Charset*> charset; // a row of Charsets, or null for no verdict
};

struct AnalysisCache {
  bool valid = false;
  std::u16string fileName;
  std::int64_t fileSize = 0;
  std::uint64_t writeTime = 0;
  EncodingKind kind = EncodingKind::Other;
  std::int32_t bomLength = 0;
  std::string headSample;
  AnalysisGroups groups;
};

// The one record of the process, guarded by the value lock. Emptied by the unload step and
// never destroyed (base/never_destroyed.h).
extern AnalysisCache& analysisCache;

// min(size, window) as a 32-bit length; never more than the window, even beyond 2 GiB. A size
// of 0 or less gives itself, which readRange treats as "read nothing".
std::int32_t windowLength(std::int64_t size, std::int32_t window);

// Reads up to `length` bytes at `offset` into `buffer`, with one seek and one read, and answers
// the bytes read: fewer (down to none) when the read fails or the file ends early, none when the
// seek fails. A length of 0 or less reads nothing and does not move the file position.
// `failed`, when given, is set when the seek or the read failed, and cleared when every byte up
// to `length` or to the end of the file was read.
std::int32_t readInto(platform::FileHandle file, std::int64_t offset, std::int32_t length,
                      char* buffer, bool* failed = nullptr);
// The same bytes as a string.
std::string readRange(platform::FileHandle file, std::int64_t offset, std::int32_t length,
                      bool* failed = nullptr);

// Whether `cache` is valid and describes the file of this name (exact code units: names that
// differ only in letter case are different files here), size and write time.
bool describes(const AnalysisCache& cache, const std::u16string& name, std::int64_t size,
               std::uint64_t writeTime);

// Whether the head sample holds the whole file (or there is none to hold), so that no group of
// the record reads the file again.
bool holdsWholeFile(const AnalysisCache& cache);

// Makes `cache` describe this file. When the record is valid and name (exact code units), size
// and write time all match, nothing changes and nothing is read. Otherwise the record is
// refilled: a file of no bytes (empty, or whose size is unknown) reads nothing, and its groups
// are known at once; any other file's first min(size, HeadWindow) bytes become the head sample,
// whose encoding detectEncoding finds. A short or failed read still leaves a valid record; it is
// not retried while the identity holds. The handle is used only during the call. `config`
// supplies Utf8BufferSizeKB.
void refreshCache(AnalysisCache& cache, platform::FileHandle file, const std::u16string& name,
                  std::int64_t size, std::uint64_t writeTime, const Settings& config);

} // namespace linepeek
