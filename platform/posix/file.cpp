// Files and queries on directory entries over POSIX descriptors.
#include "platform/platform.h"

#include "base/bounds.h"
#include "platform/posix/file_name.h"
#include "platform/posix/regular_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>

namespace linepeek::platform {
namespace {

static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit");

int descriptorOf(FileHandle file) {
  return static_cast<int>(file);
}

// Seconds from 1601-01-01 (the Windows file time epoch) to 1970-01-01.
constexpr std::int64_t EpochGapSeconds = 11644473600;
constexpr std::int64_t TicksPerSecond = 10000000; // 100 ns units
constexpr std::int64_t NanosecondsPerTick = 100;

// Files larger than the head sample get the sequential-scan hint.
constexpr off_t SequentialHintBytes = HeadWindow;

// The open already looked at the file's status to refuse what is not a regular file; keeping
// its write time for the time query that follows every open saves a second fstat per request.
// Per thread, and forgotten when the descriptor is closed, so it never outlives its file.
struct OpenedStatus {
  int descriptor = -1;
  struct timespec written {};
};
// Nothing to destroy, so that a request on a thread whose thread-locals are gone (a host that
// calls exit on it) still works.
static_assert(std::is_trivially_destructible_v<OpenedStatus>);
thread_local OpenedStatus lastOpened;

std::uint64_t fileTime(const struct timespec& written) {
  const std::int64_t seconds = written.tv_sec;
  // Times before 1601 or too late for 64 bits have no file time; they count as a failed query.
  constexpr std::int64_t MaxSeconds = INT64_MAX / TicksPerSecond - EpochGapSeconds - 1;
  if (seconds < -EpochGapSeconds || seconds > MaxSeconds) return 0;
  const std::int64_t ticks =
      (seconds + EpochGapSeconds) * TicksPerSecond + written.tv_nsec / NanosecondsPerTick;
  return static_cast<std::uint64_t>(ticks);
}

} // namespace

FileHandle openFile(const char16_t* name) {
  posix::PathBuffer path;
  if (!posix::fileSystemName(name, path)) return InvalidFile;
  struct stat status {};
  const int descriptor = posix::openRegularFile(path.data(), &status);
  if (descriptor < 0) return InvalidFile;
  // Linux/glibc: st_mtim is the POSIX 2008 name; some systems call it st_mtimespec.
  lastOpened = {descriptor, status.st_mtim};
  // The sequential-scan hint waits for the size: seekToEnd gives it (see there).
  return descriptor;
}

void closeFile(FileHandle file) {
  if (file < 0) return;
  if (lastOpened.descriptor == descriptorOf(file)) lastOpened.descriptor = -1;
  posix::DescriptorOwner owner(descriptorOf(file));
}

std::int64_t seekToEnd(FileHandle file) {
  if (file < 0) return -1;
  const off_t end = ::lseek(descriptorOf(file), 0, SEEK_END);
  // Every request seeks to the end right after the open, before any read, so the hint given
  // here is in time. A file of up to one head window is read whole by each read, where
  // read-ahead advice cannot help: skipping it there saves a system call per request (about 5%
  // of a row of small files). The hint is advice, so its failure is ignored. Some POSIX
  // systems (macOS) lack posix_fadvise; a port leaves the hint out there.
  if (end > SequentialHintBytes) {
    (void)::posix_fadvise(descriptorOf(file), 0, 0, POSIX_FADV_SEQUENTIAL);
  }
  return end < 0 ? -1 : end;
}

bool seekTo(FileHandle file, std::int64_t offset) {
  if (file < 0 || offset < 0) return false;
  return ::lseek(descriptorOf(file), offset, SEEK_SET) == offset;
}

std::int64_t readFile(FileHandle file, void* buffer, std::int64_t length, bool* failed) {
  if (file < 0) {
    if (failed != nullptr) *failed = true;
    return -1;
  }
  return posix::readFully(descriptorOf(file), buffer, length, failed);
}

std::uint64_t lastWriteTime(FileHandle file) {
  if (file < 0) return 0;
  if (lastOpened.descriptor == descriptorOf(file)) return fileTime(lastOpened.written);
  struct stat status {};
  if (::fstat(descriptorOf(file), &status) != 0) return 0;
  return fileTime(status.st_mtim);
}

EntryKind queryEntry(const char16_t* name) {
  posix::PathBuffer path;
  if (!posix::fileSystemName(name, path) || path[0] == '\0') return EntryKind::Missing;
  struct stat status {};
  if (::stat(path.data(), &status) == 0) {
    return S_ISDIR(status.st_mode) ? EntryKind::Directory : EntryKind::File;
  }
  // A dangling symbolic link or a link loop is still an entry, as a reparse point is on
  // Windows; it is no directory, and opening it fails later.
  if (::lstat(path.data(), &status) == 0) return EntryKind::File;
  return EntryKind::Missing;
}

} // namespace linepeek::platform
