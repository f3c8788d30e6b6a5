#include <windows.h>

#include <algorithm>
#include <bitset>
#include <mutex>

#include "cli/system.h"
#include "cli/text.h"

namespace linepeek::cli {
namespace {

std::wstring toWide(std::string_view utf8) {
  const std::u16string units = utf8ToUtf16(utf8, false);
  return std::wstring(units.begin(), units.end());
}

std::string fromWide(std::wstring_view wide) {
  return utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

std::string systemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length > 0 ? fromWide(std::wstring_view(text, length)) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return message.empty() ? "system error " + std::to_string(code) : message;
}

HANDLE streamHandle(Stream stream) {
  return GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool isConsole(HANDLE handle) {
  DWORD mode = 0;
  return GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode) != 0;
}

std::wstring executablePath() {
  std::wstring buffer(32768, L'\0');
  const DWORD length =
      GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return {};
  buffer.resize(length);
  return buffer;
}

void closeHandle(HANDLE& handle) {
  if (handle != nullptr) CloseHandle(handle);
  handle = nullptr;
}

} // namespace

Library& Library::operator=(Library&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

Library::~Library() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

bool Library::open(const std::string& path, std::string& error) {
  // The module's own folder is searched for its dependencies, as a file manager loads it.
  // That search order is defined only for a full path.
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(toWide(path), ec);
  if (ec) full = toWide(path);
  HMODULE module = LoadLibraryExW(full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) {
    error = systemMessage(GetLastError());
    return false;
  }
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = module;
  return true;
}

void* Library::symbol(const char* name, std::string& error) const {
  FARPROC address = GetProcAddress(static_cast<HMODULE>(handle_), name);
  if (address == nullptr) {
    error = systemMessage(GetLastError());
    return nullptr;
  }
  // Through the generic function type, which the cast warnings accept.
  return reinterpret_cast<void*>(reinterpret_cast<void (*)()>(address));
}

std::string executableFolder() {
  const std::wstring path = executablePath();
  return path.empty() ? std::string()
                      : fromWide(std::filesystem::path(path).parent_path().native());
}

int availableCores() {
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) == 0) return 1;
  return std::max(1, static_cast<int>(std::bitset<64>(process).count()));
}

const char* defaultModuleName() {
  return "linepeek.dll";
}

bool isTerminal(Stream stream) {
  return isConsole(streamHandle(stream));
}

bool writeText(Stream stream, std::string_view utf8, std::string* reason) {
  HANDLE handle = streamHandle(stream);
  if (isConsole(handle)) {
    const std::wstring wide = toWide(utf8);
    DWORD written = 0;
    if (WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != 0)
      return true;
    if (reason != nullptr) *reason = systemMessage(GetLastError());
    return false;
  }
  // Pipes and files get the same bytes as on POSIX: UTF-8 with LF line ends. WriteFile, not the
  // C library, so that a failure gives the system's reason ("The pipe is being closed.").
  for (std::size_t done = 0; done < utf8.size();) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(utf8.size() - done, 1U << 30));
    DWORD written = 0;
    if (WriteFile(handle, utf8.data() + done, wanted, &written, nullptr) == 0 || written == 0) {
      if (reason != nullptr) *reason = systemMessage(GetLastError());
      return false;
    }
    done += written;
  }
  return true;
}

void closeOutput() {
  CloseHandle(GetStdHandle(STD_OUTPUT_HANDLE));
  SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
}

std::ptrdiff_t readInput(char* buffer, std::size_t size) {
  DWORD got = 0;
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30));
  if (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, wanted, &got, nullptr) != 0) return got;
  return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
}

struct ChildProcess::State {
  HANDLE process = nullptr;
  HANDLE toChild = nullptr;
  HANDLE fromChild = nullptr;
};

ChildProcess::ChildProcess() : state_(std::make_unique<State>()) {}

ChildProcess::~ChildProcess() {
  finish();
}

bool ChildProcess::start(const std::vector<std::string>& args, std::string& error) {
  // A child inherits every inheritable handle of this process; the child's ends are made
  // inheritable only under this lock, and closed before it is left, so that children started
  // by other threads never hold them (and never keep this child's input open).
  static std::mutex startLock;
  std::lock_guard held(startLock);
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE inputRead = nullptr;
  HANDLE inputWrite = nullptr;
  HANDLE outputRead = nullptr;
  HANDLE outputWrite = nullptr;
  HANDLE errorCopy = nullptr;
  const HANDLE self = GetCurrentProcess();
  bool started = CreatePipe(&inputRead, &inputWrite, &inheritable, 0) != 0 &&
                 CreatePipe(&outputRead, &outputWrite, &inheritable, 0) != 0 &&
                 SetHandleInformation(inputWrite, HANDLE_FLAG_INHERIT, 0) != 0 &&
                 SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0) != 0;
  // Standard error may be a handle that is not inheritable, or none at all.
  if (started)
    DuplicateHandle(self, GetStdHandle(STD_ERROR_HANDLE), self, &errorCopy, 0, TRUE,
                    DUPLICATE_SAME_ACCESS);
  PROCESS_INFORMATION info{};
  if (started) {
    const std::wstring program = executablePath();
    std::wstring commandLine = L"\"" + program + L"\"";
    for (const std::string& arg : args)
      commandLine += L" " + toWide(arg);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inputRead;
    startup.hStdOutput = outputWrite;
    startup.hStdError = errorCopy;
    started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                             nullptr, nullptr, &startup, &info) != 0;
  }
  if (!started) error = systemMessage(GetLastError());
  closeHandle(inputRead);
  closeHandle(outputWrite);
  closeHandle(errorCopy);
  closeHandle(info.hThread);
  if (!started) {
    closeHandle(inputWrite);
    closeHandle(outputRead);
    return false;
  }
  state_->process = info.hProcess;
  state_->toChild = inputWrite;
  state_->fromChild = outputRead;
  return true;
}

bool ChildProcess::write(std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1U << 30));
    if (WriteFile(state_->toChild, bytes.data(), wanted, &written, nullptr) == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

std::ptrdiff_t ChildProcess::read(char* buffer, std::size_t size) {
  DWORD got = 0;
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30));
  if (ReadFile(state_->fromChild, buffer, wanted, &got, nullptr) != 0) return got;
  return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
}

std::string ChildProcess::finish() {
  closeHandle(state_->toChild);
  closeHandle(state_->fromChild);
  if (state_->process == nullptr) return {};
  DWORD code = 0;
  const bool known = WaitForSingleObject(state_->process, INFINITE) == WAIT_OBJECT_0 &&
                     GetExitCodeProcess(state_->process, &code) != 0;
  closeHandle(state_->process);
  if (!known) return systemMessage(GetLastError());
  if (code == 0) return {};
  if (code < 256) return "exit status " + std::to_string(code);
  char text[32];
  std::snprintf(text, sizeof text, "exit code 0x%08lX", static_cast<unsigned long>(code));
  return text;
}

std::filesystem::path pathFromUtf8(const std::string& utf8) {
  return toWide(utf8);
}

std::string pathToUtf8(const std::filesystem::path& path) {
  return fromWide(path.native());
}

std::u16string hostFileName(const std::filesystem::path& path) {
  const std::wstring& native = path.native();
  return std::u16string(native.begin(), native.end());
}

std::string unreadableReason(const std::filesystem::path& path) {
  // No sharing is refused, as the module refuses none.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return systemMessage(GetLastError());
  CloseHandle(file);
  return {};
}

char joinSeparator(std::string_view shownFolder) {
  const bool backslashes = shownFolder.find('\\') != std::string_view::npos &&
                           shownFolder.find('/') == std::string_view::npos;
  return backslashes ? '\\' : '/';
}

} // namespace linepeek::cli
