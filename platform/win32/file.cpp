// Files through the Win32 API. Handles travel as FileHandle (intptr_t); INVALID_HANDLE_VALUE is
// -1 as an integer, which is InvalidFile.
#include "platform/platform.h"

#include <algorithm>
#include <utility>

#include <windows.h>

#include "platform/win32/wide.h"

namespace linepeek::platform {
namespace {

HANDLE toHandle(FileHandle file) noexcept {
  return reinterpret_cast<HANDLE>(file);
}

// Owns a HANDLE until release(); both null and INVALID_HANDLE_VALUE mean "no file".
class ScopedHandle {
public:
  explicit ScopedHandle(HANDLE handle) noexcept : handle_(handle) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() {
    if (isValid()) CloseHandle(handle_);
  }
  bool isValid() const noexcept { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const noexcept { return handle_; }
  HANDLE release() noexcept { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

private:
  HANDLE handle_;
};

// One ReadFile asks for at most this much; a DWORD could hold more, but 1 GiB keeps every
// request well inside what any file system driver accepts.
constexpr std::int64_t MaxReadChunk = std::int64_t{1} << 30;

std::uint64_t fileTime(const FILETIME& time) {
  return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

std::int64_t sizeOf(DWORD high, DWORD low) {
  return static_cast<std::int64_t>((std::uint64_t{high} << 32) | low);
}

} // namespace

OpenedFile openFile(const char16_t* name) {
  if (name == nullptr) return {};
  // SECURITY_IDENTIFICATION: should the name lead to a named pipe, its server may learn who we
  // are but cannot act as the host process. Directories fail here already: opening one needs
  // FILE_FLAG_BACKUP_SEMANTICS.
  ScopedHandle file(CreateFileW(
      win32::asWide(name), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING,
      FILE_FLAG_SEQUENTIAL_SCAN | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
  if (!file.isValid()) return {};
  // Pipes, consoles and character devices open without blocking but may block on every read.
  if (GetFileType(file.get()) != FILE_TYPE_DISK) return {};
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(file.get(), &info) == FALSE) return {};
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {};
  return {reinterpret_cast<FileHandle>(file.release()),
          sizeOf(info.nFileSizeHigh, info.nFileSizeLow), fileTime(info.ftLastWriteTime)};
}

void closeFile(FileHandle file) {
  if (file != InvalidFile) CloseHandle(toHandle(file));
}

bool seekTo(FileHandle file, std::int64_t offset) {
  if (offset < 0) return false;
  LARGE_INTEGER distance{};
  distance.QuadPart = offset;
  return SetFilePointerEx(toHandle(file), distance, nullptr, FILE_BEGIN) != FALSE;
}

std::int64_t readFile(FileHandle file, void* buffer, std::int64_t length, bool* failed) {
  if (failed != nullptr) *failed = false;
  if (file == InvalidFile || buffer == nullptr) {
    if (failed != nullptr) *failed = true;
    return -1;
  }
  auto* next = static_cast<char*>(buffer);
  std::int64_t total = 0;
  while (total < length) {
    const auto request = static_cast<DWORD>(std::min(length - total, MaxReadChunk));
    DWORD got = 0;
    if (ReadFile(toHandle(file), next + total, request, &got, nullptr) == FALSE) {
      if (failed != nullptr) *failed = true;
      return total > 0 ? total : -1;
    }
    if (got == 0) break; // end of file
    total += got;
  }
  return total;
}

EntryStatus queryEntry(const char16_t* name) {
  if (name == nullptr) return {};
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetFileAttributesExW(win32::asWide(name), GetFileExInfoStandard, &data) == FALSE) return {};
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {EntryKind::Directory, -1, 0};
  }
  return {EntryKind::File, sizeOf(data.nFileSizeHigh, data.nFileSizeLow),
          fileTime(data.ftLastWriteTime)};
}

} // namespace linepeek::platform
