// launch --show N PROGRAM [ARGUMENTS...]
//
// Starts PROGRAM with the show command N in its start-up information, as a shortcut set
// to "Run: Minimized" (7) or "Maximized" (3) starts it, waits for it to end and exits
// with its exit code. `start /min` cannot stand in: it asks for another show command.
// Exit status: the program's, 1 for a wrong command line, 2 when it could not be started.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

// The command line as the program receives it: each argument quoted.
std::wstring CommandLine(wchar_t** argv, int first, int argc) {
  std::wstring line;
  for (int i = first; i < argc; ++i) {
    if (!line.empty()) line += L' ';
    line += L'"';
    line += argv[i];
    line += L'"';
  }
  return line;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (argc < 4 || std::wcscmp(argv[1], L"--show") != 0) return 1;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(std::wcstol(argv[2], nullptr, 10));
  std::wstring line = CommandLine(argv, 3, argc);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return 2;
  ::CloseHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 2;
  ::GetExitCodeProcess(process.hProcess, &exitCode);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(exitCode);
}
