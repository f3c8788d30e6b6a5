// The command line host's way out to the operating system: loading a module, console output and
// path conversions. One implementation per target: system_posix.cpp, system_win32.cpp. The
// entry points (entry_posix.cpp, entry_win32.cpp) hand UTF-8 arguments to run().
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace linepeek::cli {

// The program proper (main.cpp). Arguments are UTF-8, the program name excluded.
int run(const std::vector<std::string>& args);

// A loaded shared library; unloaded when the owner goes.
class Library {
public:
  Library() = default;
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  Library(Library&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  Library& operator=(Library&& other) noexcept;
  ~Library();

  // Loads the library at `path` (UTF-8). On failure answers false and sets `error` to the
  // system's reason.
  bool open(const std::string& path, std::string& error);
  // The address of an exported function, or null with the system's reason in `error`.
  void* symbol(const char* name, std::string& error) const;

private:
  void* handle_ = nullptr;
};

// The folder of the running executable, UTF-8; empty when it cannot be found.
std::string executableFolder();
// The module's file name: "linepeek.so" or "linepeek.dll".
const char* defaultModuleName();

enum class Stream { Out, Err };
bool isTerminal(Stream stream);
// Writes UTF-8 text unchanged (no newline translation); on a Windows console as Unicode.
// Answers false when the write fails.
bool writeText(Stream stream, std::string_view utf8);

// Path conversions between UTF-8 text and the file system's own form.
std::filesystem::path pathFromUtf8(const std::string& utf8);
std::string pathToUtf8(const std::filesystem::path& path);
// The full UTF-16 name that a file manager passes to the module.
std::u16string hostFileName(const std::filesystem::path& path);
// The separator that joins a shown folder path and an entry name: "\" on Windows when the user
// wrote the folder with backslashes only, "/" otherwise.
char joinSeparator(std::string_view shownFolder);

} // namespace linepeek::cli
