#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/system.h"
#include "cli/text.h"

namespace linepeek::cli {

Library& Library::operator=(Library&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

Library::~Library() {
  if (handle_ != nullptr) dlclose(handle_);
}

bool Library::open(const std::string& path, std::string& error) {
  // A name without a slash would make dlopen search the library path instead of this file.
  const std::string target = path.find('/') == std::string::npos ? "./" + path : path;
  void* handle = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    error = reason != nullptr ? reason : "unknown error";
    return false;
  }
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = handle;
  return true;
}

void* Library::symbol(const char* name, std::string& error) const {
  dlerror();
  void* address = dlsym(handle_, name);
  if (address == nullptr) {
    const char* reason = dlerror();
    error = reason != nullptr ? reason : "symbol is null";
  }
  return address;
}

std::string executableFolder() {
  std::error_code ec;
  // Linux: /proc/self/exe names the executable.
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.parent_path().string();
}

const char* defaultModuleName() {
  return "linepeek.so";
}

bool isTerminal(Stream stream) {
  return isatty(stream == Stream::Out ? 1 : 2) == 1;
}

bool writeText(Stream stream, std::string_view utf8) {
  const int fd = stream == Stream::Out ? 1 : 2;
  while (!utf8.empty()) {
    const ssize_t written = ::write(fd, utf8.data(), utf8.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    utf8.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::filesystem::path pathFromUtf8(const std::string& utf8) {
  return utf8;
}

std::string pathToUtf8(const std::filesystem::path& path) {
  return path.native();
}

// Names are bytes here; bytes that are not UTF-8 travel as U+DC80..U+DCFF so that a file layer
// which maps them back can still open the file.
std::u16string hostFileName(const std::filesystem::path& path) {
  return utf8ToUtf16(path.native(), true);
}

char joinSeparator(std::string_view /*shownFolder*/) {
  return '/';
}

} // namespace linepeek::cli
