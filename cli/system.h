// The command line host's way out to the operating system: loading a module, console input and
// output, path conversions and worker processes. One implementation per target: system_posix.cpp,
// system_win32.cpp. The entry points (entry_posix.cpp, entry_win32.cpp) hand UTF-8 arguments to
// run().
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
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
// The processors this process may run on (its affinity), at least 1.
int availableCores();
// The module's file name: "linepeek.so" or "linepeek.dll".
const char* defaultModuleName();

enum class Stream { Out, Err };
bool isTerminal(Stream stream);
// Writes UTF-8 text unchanged (no newline translation); on a Windows console as Unicode.
// Answers false when the write fails, with the system's reason in `reason` when given.
bool writeText(Stream stream, std::string_view utf8, std::string* reason = nullptr);
// Closes standard output, so that a reader of it sees its end while this process goes on.
void closeOutput();
// Reads standard input as bytes, unchanged (no newline translation): the count read, 0 at its
// end, -1 on an error.
std::ptrdiff_t readInput(char* buffer, std::size_t size);

// This program run again as a child, with `args`: its standard input and output are pipes from
// and to this process, its standard error is this process's. Any thread may own one; the child
// inherits no other handle. The owner going ends it as finish() does.
class ChildProcess {
public:
  ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  // `args` are plain words, without blanks or quotes. On failure answers false with the system's
  // reason in `error`.
  bool start(const std::vector<std::string>& args, std::string& error);
  // Writes all of `bytes` to the child's input; false when the child has gone.
  bool write(std::string_view bytes);
  // Reads from the child's output: the count read, 0 at its end, -1 on an error.
  std::ptrdiff_t read(char* buffer, std::size_t size);
  // Closes both pipes, so a child still writing ends at once, and waits for it. Answers how it
  // ended: empty for exit status 0, else the status or the signal.
  std::string finish();

private:
  struct State;
  std::unique_ptr<State> state_;
};

// Path conversions between UTF-8 text and the file system's own form.
std::filesystem::path pathFromUtf8(const std::string& utf8);
std::string pathToUtf8(const std::filesystem::path& path);
// The full UTF-16 name that a file manager passes to the module.
std::u16string hostFileName(const std::filesystem::path& path);
// Why this process cannot open the file at `path` for reading, in the system's words; empty when
// it can. Never waits: a pipe or a device opens without blocking, or not at all.
std::string unreadableReason(const std::filesystem::path& path);
// The separator that joins a shown folder path and an entry name: "\" on Windows when the user
// wrote the folder with backslashes only, "/" otherwise.
char joinSeparator(std::string_view shownFolder);

} // namespace linepeek::cli
