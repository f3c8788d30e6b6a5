// The value lock is a std::mutex with static storage. Its constructor is constexpr, so it
// exists before any load hook runs, and its destructor releases nothing, so a caller racing
// the unload cannot meet a destroyed lock. Create and destroy have nothing left to do.
#include "platform/platform.h"

#include <mutex>
#include <type_traits>

namespace linepeek::platform {
namespace {

// A request made after the run-time's shutdown (from a host's exit handler) still finds it.
static_assert(std::is_trivially_destructible_v<std::mutex>, "the value lock must outlive exit");
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
