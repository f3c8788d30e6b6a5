// An in-memory stand-in for the file and lock half of the platform layer, with scripted faults
// and counters, so tests can see every open, read and lock the module makes.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

namespace linepeek::fake {

struct Faults {
  int failOpenCalls = 0;    // the next n opens fail
  bool failSize = false;    // opens and entry queries answer the size -1
  bool failTime = false;    // opens and entry queries answer the write time 0
  bool throwOnRead = false; // readFile throws std::bad_alloc, as an allocation inside might
  // One entry per read call, taken in order: n >= 0 fails after n bytes, -1 fails at once, any
  // other negative value leaves that call alone. Every call beyond the script answers as
  // `afterScript` says, in the same form. A cap that the file's own end comes before changes
  // nothing: a short read at the end of the file comes from a file shorter than its size said
  // (see afterSizeQuery).
  std::deque<std::int64_t> readScript;
  std::int64_t afterScript = -2;
  // Runs once, right after the next open has answered: a file changing under the module
  // between its size query and its reads. The fake's own lock is not held, so it may call
  // putFile or removeEntry.
  std::function<void()> afterSizeQuery;
};

struct Counters {
  int opens = 0;
  int openHandles = 0; // opened and not yet closed
  std::int64_t reads = 0;
  std::int64_t bytesRead = 0;
  int lockDepth = 0; // holders of the value lock right now
  int lockEntries = 0;
  int maxLockDepth = 0; // most holders ever seen at once
  int entryQueries = 0; // metadata queries by name
};

// Forgets every entry, fault and counter.
void reset();
// Creates or replaces a file in place; open handles see the new content at their next read.
void putFile(const std::u16string& name, std::string bytes, std::uint64_t writeTime = 1);
void putDirectory(const std::u16string& name);
void removeEntry(const std::u16string& name);

Faults& faults();
Counters& counters();

} // namespace linepeek::fake
