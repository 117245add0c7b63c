// Stand-in for the notifier PravikNW.exe in the updater's end-to-end tests. The updater
// knows the notifier only from outside: the named mutex "PravikNW.exe" says it runs, the
// top-level window "PravikNW" leads to its process, and C:\Pravik\PravikNW.exe starts it.
// This program shows exactly that and appends one line per start to a start log, so a test
// can tell whether the updater stopped the old build, which build it started and which
// process is the one left running:
//
//   <label> <process id> started                  mutex and window are this process's
//   <label> <process id> quit: already running    the mutex existed; this one left at once
//
// The log is the file named by PRAVIK_NOTIFIER_LOG, else starts.log beside the program.
// A first instance writes its line once its mutex and window exist: a test that has read
// the line finds both. A further instance leaves at once, as a program that announces itself
// by a named mutex does; its line tells a restart that lost against the old instance from
// one that took over.
//
// Builds made to fail the updater's start check change only what the definitions say:
//   PRAVIK_NOTIFIER_EXIT_CODE=3         ends at once with that code ("<label> <pid> ended: exit code 3")
//   PRAVIK_NOTIFIER_NO_MUTEX            runs with its window but never takes the mutex
//                                       ("<label> <pid> started without the mutex")
//   PRAVIK_NOTIFIER_MUTEX_DELAY_MS=8000 takes the mutex that long after its start, then as above
#include <windows.h>

#include <string>

#ifndef PRAVIK_NOTIFIER_LABEL
#error "PRAVIK_NOTIFIER_LABEL must name the build, e.g. \"old\""
#endif

namespace {

// Tests tell the builds apart by this text in the program file. The label in the start
// log is read from it, which keeps the whole text in the file whatever the optimiser does.
constexpr char kMarkerLead[] = "PravikNW stand-in build: ";
const char kMarker[] = "PravikNW stand-in build: " PRAVIK_NOTIFIER_LABEL;

constexpr wchar_t kWindowClass[] = L"PravikNWStandIn";
constexpr UINT_PTR kLifetimeTimer = 1;
constexpr UINT_PTR kMutexTimer = 2;
#ifdef PRAVIK_NOTIFIER_MUTEX_DELAY_MS
constexpr UINT kMutexDelayMs = PRAVIK_NOTIFIER_MUTEX_DELAY_MS;
#else
constexpr UINT kMutexDelayMs = 0;
#endif
HANDLE Mutex = nullptr;
// A test that breaks before it stops the program must not leave it running.
constexpr UINT kLifetimeMs = 10 * 60 * 1000;

const char* Label() { return kMarker + (sizeof kMarkerLead - 1); }

std::wstring LogPath() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD n = ::GetEnvironmentVariableW(L"PRAVIK_NOTIFIER_LOG", path.data(),
                                      static_cast<DWORD>(path.size()));
  if (n >= path.size()) {
    path.resize(n);
    n = ::GetEnvironmentVariableW(L"PRAVIK_NOTIFIER_LOG", path.data(),
                                  static_cast<DWORD>(path.size()));
  }
  if (n > 0 && n < path.size()) {
    path.resize(n);
    return path;
  }
  path.assign(32768, L'\0');
  n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n);
  const auto slash = path.find_last_of(L"\\/");
  path.resize(slash == std::wstring::npos ? 0 : slash + 1);
  return path + L"starts.log";
}

// One write to a file opened for appending only, so that lines of instances started close
// together never mix. A reader holding the file without sharing is waited for a little.
void RecordStart(const char* outcome) {
  const std::string line =
      std::string(Label()) + " " + std::to_string(::GetCurrentProcessId()) + " " + outcome + "\r\n";
  const std::wstring path = LogPath();
  for (int attempt = 0; attempt < 50; ++attempt) {
    const HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      ::CloseHandle(file);
      return;
    }
    if (::GetLastError() != ERROR_SHARING_VIOLATION) return;
    ::Sleep(100);
  }
}

// Takes the mutex; false, recorded, when another instance has it.
bool TakeMutex() {
  Mutex = ::CreateMutexA(nullptr, TRUE, "PravikNW.exe");
  if (!Mutex) {
    RecordStart("quit: no mutex");
    return false;
  }
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    RecordStart("quit: already running");
    ::CloseHandle(Mutex);
    Mutex = nullptr;
    return false;
  }
  return true;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kLifetimeTimer) ::DestroyWindow(window);
      if (wparam == kMutexTimer) {
        ::KillTimer(window, kMutexTimer);
        if (TakeMutex())
          RecordStart("started");
        else
          ::DestroyWindow(window);
      }
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
#ifdef PRAVIK_NOTIFIER_EXIT_CODE
  RecordStart("ended: exit code " PRAVIK_NOTIFIER_EXIT_TEXT);
  return PRAVIK_NOTIFIER_EXIT_CODE;
#endif
#if !defined(PRAVIK_NOTIFIER_NO_MUTEX)
  if (kMutexDelayMs == 0 && !TakeMutex()) return 1;
#endif

  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  ::RegisterClassW(&windowClass);
  const HWND window = ::CreateWindowExW(0, kWindowClass, L"PravikNW", WS_OVERLAPPEDWINDOW,
                                        CW_USEDEFAULT, CW_USEDEFAULT, 240, 120, nullptr,
                                        nullptr, instance, nullptr);
  if (!window) {
    if (Mutex) ::CloseHandle(Mutex);
    return 2;
  }
  // The updater starts the program with SW_SHOW; stealing the focus from the updater's
  // message boxes would only disturb the tests that watch them.
  ::ShowWindow(window, show == SW_HIDE ? SW_HIDE : SW_SHOWNOACTIVATE);
  ::SetTimer(window, kLifetimeTimer, kLifetimeMs, nullptr);
#if defined(PRAVIK_NOTIFIER_NO_MUTEX)
  RecordStart("started without the mutex");
#else
  if (kMutexDelayMs > 0)
    ::SetTimer(window, kMutexTimer, kMutexDelayMs, nullptr);
  else
    RecordStart("started");
#endif

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  if (Mutex) {
    ::ReleaseMutex(Mutex);
    ::CloseHandle(Mutex);
  }
  return 0;
}
