// The frame of one value request: cheap checks without the lock, then open, refresh the cache
// and answer under the value lock, closing the file before the lock is released.
#pragma once

#include <string>

namespace linepeek {

// ContentGetValueW without the C frame. `fileName` is zero-terminated UTF-16.
int answerRequest(const char16_t* fileName, int fieldIndex, int unitIndex, void* valueBuffer,
                  int maxLen);

// The extension filter for fields 0 to 13: true when the file passes `extensions`.
bool passesExtensionFilter(const std::u16string& fileName, const std::u16string& extensions);

} // namespace linepeek
