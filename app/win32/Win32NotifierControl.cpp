#include "app/win32/Win32NotifierControl.h"

#include <windows.h>

namespace pravik::app {

namespace {
constexpr DWORD kMutexAllAccess = 0x1F0001;
constexpr DWORD kProcessTerminate = 1;
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

}  // namespace pravik::app
