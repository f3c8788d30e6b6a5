// Run-time loading of the built module, the one place where the tests' targets differ.
#pragma once

#include <string>

namespace linepeek::test {

using AnyFunction = void (*)();

// A module loaded by full path, as a host loads it (dlopen / LoadLibraryW); unloaded when
// destroyed. `path` is UTF-8 and may use '/' on every target.
class LoadedModule {
public:
  explicit LoadedModule(const std::string& path);
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
  ~LoadedModule();

  bool isLoaded() const noexcept { return handle_ != nullptr; }
  // The loader's complaint when loading failed.
  const std::string& error() const noexcept { return error_; }
  // An exported function by its plain name, or null.
  AnyFunction find(const char* name) const noexcept;

private:
  void* handle_ = nullptr;
  std::string error_;
};

// The folder of the running executable, UTF-8, ending in a separator.
std::string executableFolder();

// What a module could leak into its host: open handles (file descriptors on POSIX), found by
// walking the handle values because Wine's GetProcessHandleCount answers 0, and free TLS slots
// (-1 where the platform has no fixed number of them).
struct ProcessResources {
  int openHandles = 0;
  int freeTlsSlots = -1;
  bool operator==(const ProcessResources& other) const {
    return openHandles == other.openHandles && freeTlsSlots == other.freeTlsSlots;
  }
};
ProcessResources processResources();

// Ends the process the platform's own way (ExitProcess on Windows, exit elsewhere), without
// unloading any module first.
[[noreturn]] void endProcess(int status);

} // namespace linepeek::test
