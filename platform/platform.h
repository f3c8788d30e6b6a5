// The single way out to the operating system. One implementation per target lives in
// platform/win32 and platform/posix; tests may link tests/support/fake_files.cpp instead of the
// file and lock half. Nothing here throws except std::bad_alloc from the std::string results.
//
// platform/posix is written for Linux with glibc. The places that a port to another POSIX
// system must revisit name Linux, glibc or the GNU linker in a comment: the module's own path
// (dladdr1, /proc/self/exe), the write time (st_mtim), the read-ahead hint (posix_fadvise), the
// load hooks (ELF constructor and destructor) and the export list (a version script, in
// plugin/CMakeLists.txt).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace linepeek {

// Module lifecycle, defined by the plugin and called by the platform's load hooks (DllMain, or
// the shared object's constructor and destructor). Tests call them directly.
void onLoad();
void onUnload();

namespace platform {

// ---- Files (the "files" half; replaceable by a test fake) -----------------------------------

// An OS file handle: a HANDLE on Windows, a descriptor on POSIX.
using FileHandle = std::intptr_t;
inline constexpr FileHandle InvalidFile = -1;

// A file opened for reading, with the size and last-write time that its open read: the write
// time in 100 ns units since 1601-01-01 UTC, or 0 when the system has none for it.
struct OpenedFile {
  FileHandle handle = InvalidFile;
  std::int64_t size = -1;
  std::uint64_t writeTime = 0;
};

// Opens an existing regular file for reading only; other openers may read, write and delete it.
// Asks for sequential read-ahead (POSIX only for a file larger than the head sample, where it
// can help). Anything but a regular
// file (directory, FIFO, socket, device) and any name that cannot be reached answer InvalidFile;
// the call never blocks.
OpenedFile openFile(const char16_t* name);
void closeFile(FileHandle file);

// Moves to an absolute offset; false when the move fails.
bool seekTo(FileHandle file, std::int64_t offset);
// Reads up to `length` bytes at the current position. Keeps reading until `length` bytes are
// read, the file ends or a read fails. Answers the count, or -1 when the very first read fails;
// a failure after some bytes answers those bytes. `failed`, when given, tells the two kinds of
// short answer apart: it is set when a read failed and cleared when the reads stopped only at
// the end of the file (or got every byte).
std::int64_t readFile(FileHandle file, void* buffer, std::int64_t length, bool* failed = nullptr);

enum class EntryKind { Missing, Directory, File };
// What one metadata query by name tells of a directory entry, without opening it
// (GetFileAttributesExW, stat): its kind, and for a file its size and last-write time as
// OpenedFile gives them. Missing covers "cannot be reached".
struct EntryStatus {
  EntryKind kind = EntryKind::Missing;
  std::int64_t size = -1;
  std::uint64_t writeTime = 0;
};
EntryStatus queryEntry(const char16_t* name);

// The value lock: one process-wide mutual-exclusion lock, not recursive. Created at load before
// anything else, destroyed at unload.
void createValueLock();
void destroyValueLock();
void enterValueLock();
void leaveValueLock();

// ---- Text (the "text" half; always the real implementation) ---------------------------------

// Code pages as the converter takes them.
inline constexpr int AnsiCodePage = 0;
inline constexpr int OemCodePage = 1;
inline constexpr int Utf8CodePage = 65001;

// The numbers of the code pages that 0 (ANSI) and 1 (OEM) stand for, such as 1252 and 437.
int ansiCodePage();
int oemCodePage();

// Converts 8-bit text of one code page to UTF-16 as MultiByteToWideChar does without flags:
// invalid sequences are replaced, never rejected. It converts in pieces, each going on where the
// last one stopped, so that a long text needs no buffer of its whole size; a stateful charset
// keeps its state from piece to piece. One decoder serves one text.
class TextDecoder {
public:
  // `codePage`: AnsiCodePage, OemCodePage, Utf8CodePage or any other Windows code page.
  // `iconvName`: the glibc table of the same mapping (Charset::iconvName), which the POSIX layer
  // takes for a code page it has no table of its own for; Windows needs none.
  explicit TextDecoder(int codePage, const char* iconvName = nullptr);
  ~TextDecoder();
  TextDecoder(const TextDecoder&) = delete;
  TextDecoder& operator=(const TextDecoder&) = delete;

  // False when this platform cannot decode the charset piece by piece.
  bool isOpen() const noexcept { return state_ != nullptr; }

  // Converts the longest prefix of `input` that ends between two characters, or all of it when
  // `last`, and appends its units to `output`: never more units than it converts bytes. Answers
  // the bytes converted, which the next call must not be given again; 0 only for an empty input,
  // one that holds no whole character while more is to come, or one of 2 GiB or more. Nothing
  // when not open.
  std::size_t decode(std::string_view input, bool last, std::u16string& output);

private:
  struct State;
  std::unique_ptr<State> state_;
};

// A whole text converted at once; empty when the code page cannot be decoded.
inline std::u16string decodeText(int codePage, std::string_view bytes) {
  std::u16string text;
  TextDecoder(codePage).decode(bytes, true, text);
  return text;
}

// The full path of this module (not of the host executable), like GetModuleFileNameW: copies at
// most `units` - 1 code units and a zero; answers the length copied, or 0 on failure.
int moduleFileName(char16_t* buffer, int units);

// One value of an INI file, like GetPrivateProfileStringW: the default when the file, section or
// key is missing. Writes at most `units` - 1 code units and a zero; answers the length written.
int readProfileString(const char16_t* section, const char16_t* key, const char16_t* defaultValue,
                      char16_t* buffer, int units, const char16_t* path);

// Bounded copies into host buffers, like lstrcpynA and lstrcpynW: at most `capacity` - 1 units
// of the zero-terminated source, then a zero. A capacity below 1 writes nothing.
void copyBounded8(char* destination, const char* source, int capacity);
void copyBounded16(char16_t* destination, const char16_t* source, int capacity);

} // namespace platform

// Owns an open file and closes it on every way out of a scope.
class FileOwner {
public:
  explicit FileOwner(platform::OpenedFile file) noexcept : file_(file) {}
  FileOwner(const FileOwner&) = delete;
  FileOwner& operator=(const FileOwner&) = delete;
  ~FileOwner() {
    if (file_.handle != platform::InvalidFile) platform::closeFile(file_.handle);
  }
  platform::FileHandle get() const noexcept { return file_.handle; }
  bool isOpen() const noexcept { return file_.handle != platform::InvalidFile; }
  std::int64_t size() const noexcept { return file_.size; }
  std::uint64_t writeTime() const noexcept { return file_.writeTime; }

private:
  platform::OpenedFile file_;
};

// Holds the value lock for the lifetime of a scope.
class ValueLockHolder {
public:
  ValueLockHolder() { platform::enterValueLock(); }
  ValueLockHolder(const ValueLockHolder&) = delete;
  ValueLockHolder& operator=(const ValueLockHolder&) = delete;
  ~ValueLockHolder() { platform::leaveValueLock(); }
};

} // namespace linepeek
