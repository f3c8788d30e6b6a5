// Bounded copies into host buffers, with the terms of lstrcpynA and lstrcpynW.
#include "platform/platform.h"

namespace linepeek::platform {
namespace {

template <typename Unit> void copyBounded(Unit* destination, const Unit* source, int capacity) {
  if (destination == nullptr || capacity < 1) return;
  int copied = 0;
  if (source != nullptr) {
    while (copied < capacity - 1 && source[copied] != 0) {
      destination[copied] = source[copied];
      ++copied;
    }
  }
  destination[copied] = 0;
}

} // namespace

void copyBounded8(char* destination, const char* source, int capacity) {
  copyBounded(destination, source, capacity);
}

void copyBounded16(char16_t* destination, const char16_t* source, int capacity) {
  copyBounded(destination, source, capacity);
}

} // namespace linepeek::platform
