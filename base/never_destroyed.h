// Storage for the process-wide records (the settings, the analysis cache) that the C++ run-time
// constructs but never destroys. A host may end the process with the module still loaded: its
// static destructors then run before the shared object's unload step, which empties the records
// and must find them alive. Their only release is that unload step; the storage itself goes
// away with the module, and the next load constructs a fresh record.
#pragma once

#include <new>

namespace linepeek {

// On the process-wide records: their constructors run before every other dynamic initializer
// of the module and before its load hook, which fills them, whatever order the linker puts the
// objects in (GCC and clang; 101 is the first priority left to programs).
#define LINEPEEK_CONSTRUCTED_FIRST __attribute__((init_priority(101)))

template <typename T> union NeverDestroyed {
  NeverDestroyed() : value() {}
  ~NeverDestroyed() {}
  NeverDestroyed(const NeverDestroyed&) = delete;
  NeverDestroyed& operator=(const NeverDestroyed&) = delete;

  T value;
};

// Replaces `record` by a default one, giving back all memory that it held. Assigning a default
// record would not: a string that is assigned a short string keeps its old buffer.
template <typename T> void renew(T& record) noexcept {
  static_assert(noexcept(T()), "a record must be constructible without failing");
  record.~T();
  ::new (static_cast<void*>(&record)) T();
}

} // namespace linepeek
