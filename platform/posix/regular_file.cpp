#include "platform/posix/regular_file.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace linepeek::platform::posix {

DescriptorOwner::~DescriptorOwner() {
  // No retry on EINTR: Linux releases the descriptor even then, and a retry could close a
  // descriptor that another thread has just been given.
  if (descriptor_ >= 0) ::close(descriptor_);
}

namespace {

// True when the descriptor was non-blocking and now blocks; false when there was nothing to clear
// or the change failed, so a caller retries a read at most once per cause.
bool clearNonBlocking(int descriptor) {
  const int flags = ::fcntl(descriptor, F_GETFL);
  if (flags < 0 || (flags & O_NONBLOCK) == 0) return false;
  return ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

} // namespace

int openRegularFile(const char* path, struct stat* status) {
  if (path == nullptr) return -1;
  int descriptor = -1;
  do {
    descriptor = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) return -1;
  DescriptorOwner owner(descriptor);

  struct stat found {};
  if (::fstat(descriptor, &found) != 0 || !S_ISREG(found.st_mode)) return -1;
  if (status != nullptr) *status = found;
  // O_NONBLOCK only guarded the open and stays set: regular files ignore it on nearly every file
  // system, and readFully clears it on the rare one that answers EAGAIN. Clearing it here would
  // cost two system calls on every request.
  return owner.release();
}

std::int64_t readFully(int descriptor, void* buffer, std::int64_t length, bool* failed) {
  if (failed != nullptr) *failed = false;
  if (length <= 0) return 0;
  if (buffer == nullptr) {
    if (failed != nullptr) *failed = true;
    return -1;
  }
  auto* bytes = static_cast<unsigned char*>(buffer);
  // Linux moves at most about 2 GiB per call; ask for 1 GiB at a time.
  constexpr std::int64_t MaxPerCall = std::int64_t{1} << 30;
  std::int64_t done = 0;
  while (done < length) {
    const std::int64_t want = length - done < MaxPerCall ? length - done : MaxPerCall;
    const ssize_t got = ::read(descriptor, bytes + done, static_cast<std::size_t>(want));
    if (got < 0) {
      if (errno == EINTR) continue;
      if ((errno == EAGAIN || errno == EWOULDBLOCK) && clearNonBlocking(descriptor)) continue;
      if (failed != nullptr) *failed = true;
      return done == 0 ? -1 : done;
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

} // namespace linepeek::platform::posix
