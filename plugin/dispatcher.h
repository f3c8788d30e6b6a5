// The frame of one value request: cheap checks without the lock, then open, refresh the cache
// and answer under the value lock, closing the file before the lock is released.
#pragma once

namespace linepeek {

// ContentGetValueW without the C frame. `fileName` is zero-terminated UTF-16.
int answerRequest(const char16_t* fileName, int fieldIndex, int unitIndex, void* valueBuffer,
                  int maxLen);

} // namespace linepeek
