// The module's own path: dladdr on a function of this module names the shared object that
// holds it, not the host executable.
#include "platform/platform.h"
#include "platform/posix/unicode_text.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <memory>

namespace linepeek::platform {
namespace {

struct FreeDeleter {
  void operator()(char* text) const noexcept { std::free(text); }
};

} // namespace

int moduleFileName(char16_t* buffer, int units) {
  if (buffer == nullptr || units < 1) return 0;
  Dl_info info{};
  // Converting a function pointer to void* is conditionally supported; POSIX requires it.
  void* const self = reinterpret_cast<void*>(&moduleFileName);
  if (::dladdr(self, &info) == 0 || info.dli_fname == nullptr || info.dli_fname[0] == '\0') {
    buffer[0] = 0;
    return 0;
  }
  // A module loaded by a relative name reports that name; anchor it while the working
  // directory is still the one it was loaded from (this runs at load).
  std::unique_ptr<char, FreeDeleter> absolute;
  const char* path = info.dli_fname;
  if (path[0] != '/') {
    absolute.reset(::realpath(path, nullptr));
    if (absolute == nullptr) {
      buffer[0] = 0;
      return 0;
    }
    path = absolute.get();
  }
  // Invalid UTF-8 in the path becomes U+FFFD; such a path cannot be reopened by name anyway.
  const std::size_t capacity = static_cast<std::size_t>(units) - 1;
  const std::size_t needed = posix::decodeUtf8(path, std::strlen(path), buffer, capacity);
  const std::size_t copied = needed < capacity ? needed : capacity;
  // A cut may split a surrogate pair; the caller sees a path it cannot open either way.
  buffer[copied] = 0;
  return static_cast<int>(copied);
}

} // namespace linepeek::platform
