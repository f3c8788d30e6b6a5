// The module's own path: the dynamic loader's record of the object that holds this function
// names the shared object, not the host executable.
#include "platform/platform.h"

#include "base/unicode.h"
#include "platform/posix/file_name.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <memory>
#include <unistd.h>

namespace linepeek::platform {
namespace {

struct FreeDeleter {
  void operator()(char* text) const noexcept { std::free(text); }
};

int fail(char16_t* buffer) {
  buffer[0] = 0;
  return 0;
}

} // namespace

int moduleFileName(char16_t* buffer, int units) {
  if (buffer == nullptr || units < 1) return 0;
  Dl_info info{};
  link_map* object = nullptr;
  // Converting a function pointer to void* is conditionally supported; POSIX requires it.
  // Linux/glibc: dladdr1 with RTLD_DL_LINKMAP is a GNU extension; other systems need their own
  // way to name the object that holds this function.
  void* const self = reinterpret_cast<void*>(&moduleFileName);
  if (::dladdr1(self, &info, reinterpret_cast<void**>(&object), RTLD_DL_LINKMAP) == 0 ||
      object == nullptr || object->l_name == nullptr) {
    return fail(buffer);
  }
  std::unique_ptr<char, FreeDeleter> absolute;
  posix::PathBuffer executable;
  const char* path = object->l_name;
  if (path[0] == '\0') {
    // Linked into the executable itself (as in the tests): the loader records no name for it,
    // and argv[0] need not be a path, so ask the kernel.
    // Linux: /proc/self/exe names the executable.
    const ssize_t length = ::readlink("/proc/self/exe", executable.data(), executable.size() - 1);
    if (length <= 0) return fail(buffer);
    executable[static_cast<std::size_t>(length)] = '\0';
    path = executable.data();
  } else if (path[0] != '/') {
    // A module loaded by a relative name keeps that name; anchor it while the working
    // directory is still the one it was loaded from (this runs at load).
    absolute.reset(::realpath(path, nullptr));
    if (absolute == nullptr) return fail(buffer);
    path = absolute.get();
  }
  // Invalid UTF-8 in the path becomes U+FFFD; such a path cannot be reopened by name anyway.
  const std::size_t capacity = static_cast<std::size_t>(units) - 1;
  const std::size_t needed = linepeek::decodeUtf8(path, std::strlen(path), buffer, capacity);
  const std::size_t copied = needed < capacity ? needed : capacity;
  buffer[copied] = 0;
  return static_cast<int>(copied);
}

} // namespace linepeek::platform
