#include "tests/abi/module_loader.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace linepeek::test {
namespace {

std::wstring widen(const std::string& utf8) {
  const int units =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(std::max(units, 0)), L'\0');
  if (units > 0) {
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), units);
  }
  return wide;
}

std::string narrow(const std::wstring& wide) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(std::max(bytes, 0)), '\0');
  if (bytes > 0) {
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), bytes,
                        nullptr, nullptr);
  }
  return utf8;
}

} // namespace

LoadedModule::LoadedModule(const std::string& path) {
  // LoadLibraryW wants backslashes in a path.
  std::wstring wide = widen(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  HMODULE module = LoadLibraryW(wide.c_str());
  if (module == nullptr) {
    error_ = "LoadLibraryW failed with error " + std::to_string(GetLastError());
  }
  handle_ = module;
}

LoadedModule::~LoadedModule() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

AnyFunction LoadedModule::find(const char* name) const noexcept {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<AnyFunction>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

std::string executableFolder() {
  std::vector<wchar_t> path(32768);
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return ".\\";
  std::wstring full(path.data(), length);
  return narrow(full.substr(0, full.find_last_of(L"\\/") + 1));
}

ProcessResources processResources() {
  ProcessResources counted;
  // Handle values are multiples of 4; a process of the tests' size stays far below this.
  for (std::uintptr_t value = 4; value < 65536; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++counted.openHandles;
  }
  std::vector<DWORD> slots;
  for (DWORD slot = TlsAlloc(); slot != TLS_OUT_OF_INDEXES; slot = TlsAlloc())
    slots.push_back(slot);
  for (const DWORD slot : slots)
    TlsFree(slot);
  counted.freeTlsSlots = static_cast<int>(slots.size());
  return counted;
}

void endProcess(int status) {
  ExitProcess(static_cast<UINT>(status));
}

} // namespace linepeek::test
