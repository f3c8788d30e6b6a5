// The value lock is a std::mutex with static storage. Its constructor is constexpr, so it
// exists before any load hook runs, and its destructor releases nothing, so a caller racing
// the unload cannot meet a destroyed lock. Create and destroy have nothing left to do.
#include "platform/platform.h"

#include <mutex>

namespace linepeek::platform {
namespace {

std::mutex valueLock;

} // namespace

void createValueLock() {}

void destroyValueLock() {}

void enterValueLock() {
  valueLock.lock();
}

void leaveValueLock() {
  valueLock.unlock();
}

} // namespace linepeek::platform
