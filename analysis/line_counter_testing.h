// The file count behind lineCount, for the tests and fuzzers that drive it with chosen read sizes
// and failing reads.
#pragma once

#include <cstdint>

#include "analysis/line_counter.h"

namespace linepeek {

// Seeks to offset 0 and reads the file in `readBytes` pieces (even, at most CountChunk) through one
// buffer of that size, up to `fileSize` bytes at most: the size the request saw. A failed read
// ends the count, a short read is the last one; a failed seek counts nothing, since the reads
// would start at an unknown offset. The file position is left where the last read ended.
std::int64_t countLines(platform::FileHandle file, std::int64_t fileSize, EncodingKind kind,
                        std::int32_t bomLength, bool skipEmpty,
                        std::int32_t readBytes = CountChunk);

} // namespace linepeek
