// waitwindow [--timeout SECONDS] [--restore] [--close] TITLE
//
// Waits up to SECONDS (default 30) for a visible, enabled top-level window titled TITLE
// and prints its state, "minimized", "maximized" or "normal", and its place on the screen
// as "LEFT TOP WIDTH HEIGHT" of its outer frame. Then --restore restores it,
// as a click on its taskbar button does, and --close asks it to close, as its close
// button does. A window that a message box disables is waited for until the box is gone.
// Exit status: 0 once found, 2 when the time ran out, 1 for a wrong command line. TITLE
// arrives as the wide command line gives it, so Korean titles work whatever the code page.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

int main() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  double timeoutSeconds = 30;
  bool close = false;
  bool restore = false;
  std::wstring title;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--timeout" && i + 1 < argc) {
      timeoutSeconds = std::wcstod(argv[++i], nullptr);
    } else if (arg == L"--close") {
      close = true;
    } else if (arg == L"--restore") {
      restore = true;
    } else if (title.empty()) {
      title = arg;
    } else {
      return 1;
    }
  }
  if (title.empty()) return 1;
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutSeconds * 1000);
  while (::GetTickCount64() < deadline) {
    const HWND window = ::FindWindowW(nullptr, title.c_str());
    if (window && ::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
      RECT frame{};
      ::GetWindowRect(window, &frame);
      std::printf("%s %ld %ld %ld %ld\n", ::IsIconic(window) ? "minimized" : ::IsZoomed(window) ? "maximized" : "normal",
                  frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top);
      std::fflush(stdout);
      if (restore) ::ShowWindow(window, SW_RESTORE);
      if (close) ::PostMessageW(window, WM_CLOSE, 0, 0);
      return 0;
    }
    ::Sleep(20);
  }
  return 2;
}
