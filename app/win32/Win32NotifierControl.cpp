#include "app/win32/Win32NotifierControl.h"

#include <windows.h>

#include <vector>

namespace pravik::app {

namespace {
constexpr DWORD kMutexAllAccess = 0x1F0001;
constexpr DWORD kProcessTerminate = 1;
// Enough to end it, to wait for it and to read its exit code.
constexpr DWORD kProcessWatch = PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;
// The exit code a process ended by this program gets; the window's owner is ended with 0.
constexpr UINT kEndedExitCode = 1;

class TWin32Process : public INotifierProcess {
 public:
  explicit TWin32Process(HANDLE process) : Process(process) {}
  ~TWin32Process() override { ::CloseHandle(Process); }
  TWin32Process(const TWin32Process&) = delete;
  TWin32Process& operator=(const TWin32Process&) = delete;

  std::optional<std::uint32_t> ExitCode() override {
    // The exit code alone cannot tell: a process may end with 259, STILL_ACTIVE.
    if (::WaitForSingleObject(Process, 0) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(Process, &code);
    return code;
  }
  void Terminate() override { ::TerminateProcess(Process, kEndedExitCode); }

 private:
  HANDLE Process;
};

}  // namespace

bool TWin32NotifierControl::MutexExists(const std::string& name) {
  const HANDLE mutex = ::OpenMutexA(kMutexAllAccess, FALSE, name.c_str());
  if (!mutex) return false;
  ::CloseHandle(mutex);
  return true;
}

bool TWin32NotifierControl::TerminateWindowOwner(const std::string& title) {
  const HWND window = ::FindWindowA(nullptr, title.c_str());
  if (!window) return false;
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  // Each step runs whatever the one before gave: a refused handle makes the rest do nothing.
  const HANDLE process = ::OpenProcess(kProcessTerminate, FALSE, processId);
  ::TerminateProcess(process, 0);
  if (process) ::CloseHandle(process);
  return true;
}

std::uint32_t TWin32NotifierControl::StartProgram(const std::string& path, int showCommand) {
  return ::WinExec(path.c_str(), static_cast<UINT>(showCommand));
}

TNotifierStart TWin32NotifierControl::StartProcess(const std::string& path, int showCommand) {
  // What WinExec does: the path as the whole command line of the ANSI call, no program name
  // apart, the show command in the start-up information, nothing inherited.
  std::vector<char> commandLine(path.begin(), path.end());
  commandLine.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showCommand);
  PROCESS_INFORMATION started{};
  TNotifierStart result;
  if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
    result.SystemError = ::GetLastError();
    return result;
  }
  ::CloseHandle(started.hThread);
  result.Process = std::make_unique<TWin32Process>(started.hProcess);
  return result;
}

std::unique_ptr<INotifierProcess> TWin32NotifierControl::WindowOwner(const std::string& title) {
  const HWND window = ::FindWindowA(nullptr, title.c_str());
  if (!window) return nullptr;
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  const HANDLE process = ::OpenProcess(kProcessWatch, FALSE, processId);
  if (!process) return nullptr;
  return std::make_unique<TWin32Process>(process);
}

}  // namespace pravik::app
