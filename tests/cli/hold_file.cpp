// Runs a command while this process holds a file open without sharing, as another program may
// hold one on Windows; answers the command's exit status (125 when it cannot start).
//   hold_file <file> <program> [arguments...]
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 125;
  HANDLE held = CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 125;
  // The tests pass paths and words without quotes, so quoting each argument is enough.
  std::wstring line;
  for (int i = 2; i < argc; ++i)
    line += (i > 2 ? L" \"" : L"\"") + std::wstring(argv[i]) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  DWORD status = 125;
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &child)) {
    WaitForSingleObject(child.hProcess, INFINITE);
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
  }
  CloseHandle(held);
  return static_cast<int>(status);
}
