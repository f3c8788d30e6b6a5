// Files and queries on directory entries over POSIX descriptors.
#include "platform/platform.h"

#include "base/bounds.h"
#include "platform/posix/file_name.h"
#include "platform/posix/regular_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
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

OpenedFile openFile(const char16_t* name) {
  posix::PathBuffer path;
  if (!posix::fileSystemName(name, path)) return {};
  // The open looks at the file's status to refuse what is not a regular file; its size and
  // write time come from there, with no system call of their own.
  struct stat status {};
  const int descriptor = posix::openRegularFile(path.data(), &status);
  if (descriptor < 0) return {};
  // A file of up to one head window is read whole by each read, where read-ahead advice cannot
  // help: skipping it there saves a system call per request (about 5% of a row of small files).
  // The hint is advice, so its failure is ignored. Some POSIX systems (macOS) lack
  // posix_fadvise; a port leaves the hint out there.
  if (status.st_size > SequentialHintBytes) {
    (void)::posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
  }
  // Linux/glibc: st_mtim is the POSIX 2008 name; some systems call it st_mtimespec.
  return {descriptor, status.st_size, fileTime(status.st_mtim)};
}

void closeFile(FileHandle file) {
  if (file < 0) return;
  posix::DescriptorOwner owner(descriptorOf(file));
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

EntryStatus queryEntry(const char16_t* name) {
  posix::PathBuffer path;
  if (!posix::fileSystemName(name, path) || path[0] == '\0') return {};
  struct stat status {};
  if (::stat(path.data(), &status) == 0) {
    if (S_ISDIR(status.st_mode)) return {EntryKind::Directory, -1, 0};
    return {EntryKind::File, status.st_size, fileTime(status.st_mtim)};
  }
  // A dangling symbolic link or a link loop is still an entry, as a reparse point is on
  // Windows; it is no directory, and opening it fails later.
  if (::lstat(path.data(), &status) == 0) return {EntryKind::File, -1, 0};
  return {};
}

} // namespace linepeek::platform
