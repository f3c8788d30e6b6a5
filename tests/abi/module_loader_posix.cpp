#include "tests/abi/module_loader.h"

#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace linepeek::test {

LoadedModule::LoadedModule(const std::string& path)
    : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
  if (handle_ == nullptr) {
    const char* message = dlerror();
    error_ = message != nullptr ? message : "dlopen failed";
  }
}

LoadedModule::~LoadedModule() {
  if (handle_ != nullptr) dlclose(handle_);
}

AnyFunction LoadedModule::find(const char* name) const noexcept {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<AnyFunction>(dlsym(handle_, name));
}

std::string executableFolder() {
  std::vector<char> path(4096);
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return "./";
  std::string full(path.data(), static_cast<std::size_t>(length));
  return full.substr(0, full.rfind('/') + 1);
}

ProcessResources processResources() {
  ProcessResources counted;
  if (DIR* listing = opendir("/proc/self/fd")) {
    while (const dirent* entry = readdir(listing)) {
      if (entry->d_name[0] != '.') ++counted.openHandles;
    }
    closedir(listing);
    --counted.openHandles; // the listing's own
  }
  return counted;
}

void endProcess(int status) {
  std::exit(status);
}

} // namespace linepeek::test
