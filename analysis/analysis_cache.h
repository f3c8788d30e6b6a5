// The analysis of the most recently queried file, kept so that the host's many requests for one
// file read it as few times as possible. Everything here runs under the value lock.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace linepeek {

enum class EncodingKind : std::uint8_t { Other = 0, Utf8 = 1, Utf16Le = 2, Utf16Be = 3 };

inline constexpr std::int32_t HeadWindow = 65536;   // head sample and first tail window
inline constexpr std::int32_t WideWindow = 4194304; // second-pass line windows
inline constexpr std::int32_t CountChunk = 4194304; // line counter buffer
inline constexpr int HeadCapacity = 10;
inline constexpr int TailCapacity = 3;

struct AnalysisCache {
  bool valid = false;
  std::u16string fileName;
  std::int64_t fileSize = 0;
  std::uint64_t writeTime = 0;
  EncodingKind kind = EncodingKind::Other;
  std::int32_t bomLength = 0;
  bool isUnicode = false;
  std::string headSample;

  bool binaryDone = false;
  bool isBinary = false;
  bool encodingDone = false;
  std::string encodingText;
  bool headDone = false;
  std::array<std::string, HeadCapacity> headSlots{};
  std::int32_t headCount = 0;
  bool tailDone = false;
  std::array<std::string, TailCapacity> tailSlots{};
  std::int32_t tailCount = 0;
  bool lineCountDone = false;
  std::int64_t lineTotal = 0;
};

// The one record of the process, guarded by the value lock.
extern AnalysisCache analysisCache;

// min(size, window) as a 32-bit length; never more than the window, even beyond 2 GiB.
std::int32_t windowLength(std::int64_t size, std::int32_t window);

// Opens a file for shared sequential reading; InvalidFile when it cannot be opened.
platform::FileHandle openForReading(const std::u16string& name);

// Up to `length` bytes at `offset`; shorter (down to empty) when the read fails or ends early.
// A length of 0 or less reads nothing and does not move the file position.
std::string readRange(platform::FileHandle file, std::int64_t offset, std::int32_t length);

// Clears every lazily computed group.
void resetCache(AnalysisCache& cache);

// Makes `cache` describe this file: unchanged when name, size and time match a valid record;
// otherwise reset, refilled with the head sample and the detected encoding kind.
void refreshCache(AnalysisCache& cache, platform::FileHandle file, const std::u16string& name,
                  std::int64_t size, std::uint64_t writeTime);

} // namespace linepeek
