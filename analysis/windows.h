// The fixed amounts of a file the analysis looks at: the windows it reads and examines, in bytes,
// and how many lines each end keeps. Window lengths are taken as min(file size, window).
#pragma once

#include <cstdint>

namespace linepeek {

// The head sample, read at every cache refill, and the first window at the tail.
inline constexpr std::int32_t HeadWindow = 65536;
// The second-pass line windows at either end, when the first gives too few lines.
inline constexpr std::int32_t WideWindow = 4194304;
// The most the line counter reads into memory at once.
inline constexpr std::int32_t CountChunk = 4194304;
// The prefix of the head sample that the UTF-16 guess (no byte order mark) judges.
inline constexpr std::int32_t Utf16Window = 4096;

// Lines kept from the head and from the tail of a file.
inline constexpr int HeadCapacity = 10;
inline constexpr int TailCapacity = 3;

} // namespace linepeek
