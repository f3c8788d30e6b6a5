#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

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
  std::wstring buffer(32768, L'\0');
  const DWORD length =
      GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return {};
  buffer.resize(length);
  return fromWide(std::filesystem::path(buffer).parent_path().native());
}

const char* defaultModuleName() {
  return "linepeek.dll";
}

bool isTerminal(Stream stream) {
  return isConsole(streamHandle(stream));
}

bool writeText(Stream stream, std::string_view utf8) {
  HANDLE handle = streamHandle(stream);
  if (isConsole(handle)) {
    const std::wstring wide = toWide(utf8);
    DWORD written = 0;
    return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) !=
           0;
  }
  // Pipes and files get the same bytes as on POSIX: UTF-8 with LF line ends.
  FILE* file = stream == Stream::Out ? stdout : stderr;
  static const bool binary = [] {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    return true;
  }();
  (void)binary;
  return std::fwrite(utf8.data(), 1, utf8.size(), file) == utf8.size() && std::fflush(file) == 0;
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

char joinSeparator(std::string_view shownFolder) {
  const bool backslashes = shownFolder.find('\\') != std::string_view::npos &&
                           shownFolder.find('/') == std::string_view::npos;
  return backslashes ? '\\' : '/';
}

} // namespace linepeek::cli
