// winprobe notifier
// winprobe open-for-writing PATH
//
// Looks at the Windows session from inside, the way the updater sees it, and prints one
// line:
//   notifier          "mutex=yes|no window=<process id>|none": whether the named mutex
//                     "PravikNW.exe" exists, and which process owns the top-level window
//                     "PravikNW" (the first one found)
//   open-for-writing  "writable", or "refused <error number>" when the file cannot be
//                     opened for reading and writing, as a program file in use cannot
// Exit status 0 when it could look, 1 for a wrong command line.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD kMutexAllAccess = 0x1F0001;

int Notifier() {
  const HANDLE mutex = ::OpenMutexA(kMutexAllAccess, FALSE, "PravikNW.exe");
  if (mutex) ::CloseHandle(mutex);
  DWORD process = 0;
  if (const HWND window = ::FindWindowA(nullptr, "PravikNW")) ::GetWindowThreadProcessId(window, &process);
  std::printf("mutex=%s window=%s\n", mutex ? "yes" : "no", process ? std::to_string(process).c_str() : "none");
  return 0;
}

// Opened as the updater opens the old program file before it downloads: shared with
// everybody, so that only a real lock, not this probe, can refuse it.
int OpenForWriting(const wchar_t* path) {
  const HANDLE file = ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("refused %lu\n", ::GetLastError());
  } else {
    ::CloseHandle(file);
    std::printf("writable\n");
  }
  return 0;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"notifier" && argc == 2) return Notifier();
  if (command == L"open-for-writing" && argc == 3) return OpenForWriting(argv[2]);
  std::fputs("usage: winprobe notifier | open-for-writing PATH\n", stderr);
  return 1;
}
