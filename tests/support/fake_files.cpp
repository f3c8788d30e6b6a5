#include "tests/support/fake_files.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include "platform/platform.h"

namespace linepeek::fake {
namespace {

struct Entry {
  bool directory = false;
  std::string bytes;
  std::uint64_t writeTime = 0;
};

struct Open {
  std::shared_ptr<Entry> entry;
  std::int64_t position = 0;
};

// The fake's own bookkeeping is guarded by its own mutex, so stress tests can use it too.
std::mutex stateMutex;
std::map<std::u16string, std::shared_ptr<Entry>> entries;
std::map<platform::FileHandle, Open> handles;
platform::FileHandle nextHandle = 100;
Faults currentFaults;
Counters currentCounters;
std::mutex valueMutex;

} // namespace

void reset() {
  std::lock_guard guard(stateMutex);
  entries.clear();
  handles.clear();
  currentFaults = {};
  currentCounters = {};
}

void putFile(const std::u16string& name, std::string bytes, std::uint64_t writeTime) {
  std::lock_guard guard(stateMutex);
  auto& slot = entries[name];
  if (!slot) slot = std::make_shared<Entry>();
  slot->directory = false;
  slot->bytes = std::move(bytes);
  slot->writeTime = writeTime;
}

void putDirectory(const std::u16string& name) {
  std::lock_guard guard(stateMutex);
  auto entry = std::make_shared<Entry>();
  entry->directory = true;
  entries[name] = entry;
}

void removeEntry(const std::u16string& name) {
  std::lock_guard guard(stateMutex);
  entries.erase(name);
}

Faults& faults() {
  return currentFaults;
}
Counters& counters() {
  return currentCounters;
}

} // namespace linepeek::fake

namespace linepeek::platform {

using namespace linepeek::fake;

OpenedFile openFile(const char16_t* name) {
  OpenedFile opened;
  std::function<void()> hook;
  {
    std::lock_guard guard(stateMutex);
    ++currentCounters.opens;
    if (currentFaults.failOpenCalls > 0) {
      --currentFaults.failOpenCalls;
      return opened;
    }
    auto found = entries.find(name);
    if (found == entries.end() || found->second->directory) return opened;
    opened.handle = nextHandle++;
    handles[opened.handle] = Open{found->second, 0};
    ++currentCounters.openHandles;
    if (!currentFaults.failSize)
      opened.size = static_cast<std::int64_t>(found->second->bytes.size());
    if (!currentFaults.failTime) opened.writeTime = found->second->writeTime;
    hook = std::exchange(currentFaults.afterSizeQuery, nullptr);
  }
  if (hook) hook();
  return opened;
}

void closeFile(FileHandle file) {
  std::lock_guard guard(stateMutex);
  if (handles.erase(file) > 0) --currentCounters.openHandles;
}

bool seekTo(FileHandle file, std::int64_t offset) {
  std::lock_guard guard(stateMutex);
  auto found = handles.find(file);
  if (found == handles.end() || offset < 0) return false;
  found->second.position = offset;
  return true;
}

std::int64_t readFile(FileHandle file, void* buffer, std::int64_t length, bool* failed) {
  std::lock_guard guard(stateMutex);
  if (failed != nullptr) *failed = true;
  ++currentCounters.reads;
  if (currentFaults.throwOnRead) throw std::bad_alloc();
  std::int64_t cap = currentFaults.afterScript;
  if (!currentFaults.readScript.empty()) {
    cap = currentFaults.readScript.front();
    currentFaults.readScript.pop_front();
  }
  auto found = handles.find(file);
  if (found == handles.end() || cap == -1) return -1;
  const std::string& bytes = found->second.entry->bytes;
  const auto size = static_cast<std::int64_t>(bytes.size());
  std::int64_t& position = found->second.position;
  const std::int64_t available =
      std::clamp<std::int64_t>(size - position, 0, std::max<std::int64_t>(length, 0));
  const std::int64_t count = cap >= 0 ? std::min(available, cap) : available;
  if (failed != nullptr) *failed = count < available;
  if (count > 0) {
    std::memcpy(buffer, bytes.data() + position, static_cast<std::size_t>(count));
  }
  position += count;
  currentCounters.bytesRead += count;
  return count;
}

EntryStatus queryEntry(const char16_t* name) {
  std::lock_guard guard(stateMutex);
  ++currentCounters.entryQueries;
  auto found = entries.find(name);
  if (found == entries.end()) return {};
  if (found->second->directory) return {EntryKind::Directory, -1, 0};
  EntryStatus status{EntryKind::File, -1, 0};
  if (!currentFaults.failSize) status.size = static_cast<std::int64_t>(found->second->bytes.size());
  if (!currentFaults.failTime) status.writeTime = found->second->writeTime;
  return status;
}

void createValueLock() {}
void destroyValueLock() {}

void enterValueLock() {
  valueMutex.lock();
  std::lock_guard guard(stateMutex);
  ++currentCounters.lockDepth;
  ++currentCounters.lockEntries;
  currentCounters.maxLockDepth = std::max(currentCounters.maxLockDepth, currentCounters.lockDepth);
}

void leaveValueLock() {
  {
    std::lock_guard guard(stateMutex);
    --currentCounters.lockDepth;
  }
  valueMutex.unlock();
}

} // namespace linepeek::platform
