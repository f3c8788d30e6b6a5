#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

int availableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return std::max(1, CPU_COUNT(&set));
}

const char* defaultModuleName() {
  return "linepeek.so";
}

bool isTerminal(Stream stream) {
  return isatty(stream == Stream::Out ? 1 : 2) == 1;
}

bool writeText(Stream stream, std::string_view utf8, std::string* reason) {
  const int fd = stream == Stream::Out ? 1 : 2;
  while (!utf8.empty()) {
    const ssize_t written = ::write(fd, utf8.data(), utf8.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      if (reason != nullptr) *reason = std::strerror(errno);
      return false;
    }
    utf8.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

void closeOutput() {
  ::close(1);
}

std::ptrdiff_t readInput(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(0, buffer, size);
    if (got >= 0 || errno != EINTR) return got;
  }
}

struct ChildProcess::State {
  pid_t pid = -1;
  int toChild = -1;
  int fromChild = -1;
};

ChildProcess::ChildProcess() : state_(std::make_unique<State>()) {}

ChildProcess::~ChildProcess() {
  finish();
}

bool ChildProcess::start(const std::vector<std::string>& args, std::string& error) {
  // Close-on-exec, so that children started by other threads inherit none of these ends; the
  // dup2 onto 0 and 1 clears the flag for this child's own two.
  int input[2];
  int output[2];
  if (pipe2(input, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (pipe2(output, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    close(input[0]);
    close(input[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], 0);
  posix_spawn_file_actions_adddup2(&actions, output[1], 1);
  std::vector<std::string> words{"linepeek-cli"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  // Linux: /proc/self/exe is this very program, even when its file has been replaced since.
  pid_t pid = -1;
  const int failure = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(input[0]);
  close(output[1]);
  if (failure != 0) {
    close(input[1]);
    close(output[0]);
    error = std::strerror(failure);
    return false;
  }
  state_->pid = pid;
  state_->toChild = input[1];
  state_->fromChild = output[0];
  return true;
}

bool ChildProcess::write(std::string_view bytes) {
  // A child that has gone would raise SIGPIPE, whose default ends this whole program; it is held
  // back on this thread only, and taken away again when the write failed on it.
  sigset_t pipeSignal;
  sigset_t previous;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
  bool written = true;
  while (!bytes.empty()) {
    const ssize_t count = ::write(state_->toChild, bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      if (errno == EPIPE) {
        const timespec noWait{};
        sigtimedwait(&pipeSignal, nullptr, &noWait);
      }
      written = false;
      break;
    }
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return written;
}

std::ptrdiff_t ChildProcess::read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(state_->fromChild, buffer, size);
    if (got >= 0 || errno != EINTR) return got;
  }
}

std::string ChildProcess::finish() {
  for (int* fd : {&state_->toChild, &state_->fromChild}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  if (state_->pid < 0) return {};
  int status = 0;
  pid_t waited = -1;
  do {
    waited = waitpid(state_->pid, &status, 0);
  } while (waited < 0 && errno == EINTR);
  state_->pid = -1;
  if (waited < 0) return std::strerror(errno);
  if (WIFEXITED(status))
    return WEXITSTATUS(status) == 0 ? std::string()
                                    : "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return std::string("signal ") + strsignal(WTERMSIG(status));
  return "status " + std::to_string(status);
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

std::string unreadableReason(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  return {};
}

char joinSeparator(std::string_view /*shownFolder*/) {
  return '/';
}

} // namespace linepeek::cli
