// The fixed amounts of a file that a request looks at: the windows it reads and examines, in
// bytes, and how many lines each end keeps. Window lengths are taken as min(file size, window).
// Every layer that sizes something after them takes them from here.
#pragma once

#include <cstdint>

namespace linepeek {

// The head sample, read at every cache refill, and the first window at the tail.
inline constexpr std::int32_t HeadWindow = 65536;
// The second-pass line windows at either end, when the first gives too few lines.
inline constexpr std::int32_t WideWindow = 4194304;
// Bytes per read of the line counter, into its one buffer: each read is counted while it is still
// in the core's L2 cache.
inline constexpr std::int32_t CountChunk = 262144;
// The prefix of the head sample that the UTF-16 guess (no byte order mark) judges.
inline constexpr std::int32_t Utf16Window = 4096;

// The most of the head sample that the encoding settings may have examined: the upper bound of
// the *BufferSizeKB keys, and in bytes of RusMinSize and RusWordLen. The detection reads no
// more than the sample holds.
inline constexpr std::int32_t SampleLimitKB = 64;
inline constexpr std::int32_t SampleLimitBytes = SampleLimitKB * 1024;
static_assert(SampleLimitBytes <= HeadWindow, "the settings may examine only the head sample");

// Lines kept from the head and from the tail of a file.
inline constexpr int HeadCapacity = 10;
inline constexpr int TailCapacity = 3;

} // namespace linepeek
