// Opening regular files for reading without ever blocking, shared by the file layer and the
// INI reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/stat.h>

namespace linepeek::platform::posix {

// Opens an existing regular file read-only (close-on-exec, never the controlling terminal) and
// answers its descriptor, or -1. The open itself is non-blocking, so a FIFO without a writer or
// a device cannot stall the caller; anything but a regular file is then refused. The descriptor
// keeps O_NONBLOCK, which regular files ignore; readFully clears it should a read say EAGAIN.
// `status`, when given, receives the file's status as the open found it.
int openRegularFile(const char* path, struct stat* status = nullptr);

// Reads up to `length` bytes at the current position, retrying interrupted reads and looping
// until `length` bytes are read or the file ends. Answers the count, or -1 when the very first
// read fails; a later failure answers what was read before it. `failed`, when given, is set
// when a read failed and cleared otherwise.
std::int64_t readFully(int descriptor, void* buffer, std::int64_t length, bool* failed = nullptr);

// Owns a descriptor and closes it on every way out of a scope.
class DescriptorOwner {
public:
  explicit DescriptorOwner(int descriptor) noexcept : descriptor_(descriptor) {}
  DescriptorOwner(const DescriptorOwner&) = delete;
  DescriptorOwner& operator=(const DescriptorOwner&) = delete;
  ~DescriptorOwner();
  int get() const noexcept { return descriptor_; }
  // Gives up ownership and answers the descriptor.
  int release() noexcept {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor;
  }

private:
  int descriptor_;
};

} // namespace linepeek::platform::posix
