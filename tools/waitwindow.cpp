// waitwindow [--timeout SECONDS] [--idle SECONDS] [--restore | --maximize] [--close] TITLE
//
// Waits up to --timeout SECONDS (default 30) for a visible, enabled top-level window titled
// TITLE and prints its state, "minimized", "maximized" or "normal", and its place on the
// screen as "LEFT TOP WIDTH HEIGHT" of its outer frame. A window that a message box
// disables is waited for until the box is gone. Then, in this order:
//   --idle S   the window must stay there, visible and enabled, for S seconds: a program
//              waiting for its user does; prints "idle", or "gone" or "disabled" when it
//              did not stay so (exit status 3);
//   --restore  restores it, as a click on its taskbar button does;
//   --maximize maximises it, as its taskbar button's menu does;
//   --close    asks it to close, as its close button does, and waits up to --timeout
//              SECONDS until it is gone; prints "closed", or "still open" (exit status 4).
// Exit status: 0 when all asked for held, 2 when no such window came in time, 1 for a wrong
// command line. TITLE arrives as the wide command line gives it, so Korean titles work
// whatever the code page.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr DWORD kPollMs = 20;

bool Usable(HWND window) { return ::IsWindow(window) && ::IsWindowVisible(window) && ::IsWindowEnabled(window); }

void Say(const char* text) {
  std::printf("%s\n", text);
  std::fflush(stdout);
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  double timeoutSeconds = 30;
  double idleSeconds = 0;
  bool close = false;
  bool restore = false;
  bool maximize = false;
  std::wstring title;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--timeout" && i + 1 < argc) {
      timeoutSeconds = std::wcstod(argv[++i], nullptr);
    } else if (arg == L"--idle" && i + 1 < argc) {
      idleSeconds = std::wcstod(argv[++i], nullptr);
    } else if (arg == L"--close") {
      close = true;
    } else if (arg == L"--restore") {
      restore = true;
    } else if (arg == L"--maximize") {
      maximize = true;
    } else if (title.empty()) {
      title = arg;
    } else {
      return 1;
    }
  }
  if (title.empty()) return 1;
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutSeconds * 1000);
  HWND window = nullptr;
  while (!window && ::GetTickCount64() < deadline) {
    const HWND found = ::FindWindowW(nullptr, title.c_str());
    if (found && Usable(found))
      window = found;
    else
      ::Sleep(kPollMs);
  }
  if (!window) return 2;

  RECT frame{};
  ::GetWindowRect(window, &frame);
  std::printf("%s %ld %ld %ld %ld\n", ::IsIconic(window) ? "minimized" : ::IsZoomed(window) ? "maximized" : "normal",
              frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top);
  std::fflush(stdout);

  if (idleSeconds > 0) {
    const ULONGLONG idleEnd = ::GetTickCount64() + static_cast<ULONGLONG>(idleSeconds * 1000);
    while (::GetTickCount64() < idleEnd) {
      if (!::IsWindow(window) || !::IsWindowVisible(window)) {
        Say("gone");
        return 3;
      }
      if (!::IsWindowEnabled(window)) {
        Say("disabled");
        return 3;
      }
      ::Sleep(kPollMs);
    }
    Say("idle");
  }
  if (restore) ::ShowWindow(window, SW_RESTORE);
  if (maximize) ::ShowWindow(window, SW_MAXIMIZE);
  if (close) {
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    const ULONGLONG closeDeadline = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutSeconds * 1000);
    while (::IsWindow(window) && ::GetTickCount64() < closeDeadline) ::Sleep(kPollMs);
    if (::IsWindow(window)) {
      Say("still open");
      return 4;
    }
    Say("closed");
  }
  return 0;
}
