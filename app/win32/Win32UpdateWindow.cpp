#include "app/win32/Win32UpdateWindow.h"

#include <utility>

#include "app/AppTexts.h"
#include "app/ErrorDisplay.h"
#include "net/win32/IdWin32Text.h"

namespace pravik::app {

namespace {

constexpr wchar_t kApplicationClass[] = L"TApplication";
constexpr wchar_t kWindowClass[] = L"TfrmMngFtp";
constexpr UINT_PTR kDelayTimer = 1;
constexpr int kShowMaximized = 3;

// Only a start minimised and not activated waits for the user; every other show command,
// the other minimised ones too, runs the check at once.
bool IsWaitingStart(int showCommand) { return showCommand == SW_SHOWMINNOACTIVE; }

// At 96 dots per inch.
constexpr int kLeft = 348, kTop = 124, kWidth = 446, kHeight = 98;
constexpr int kTextLeft = 32, kTextTop = 16, kTextWidth = 260, kTextHeight = 12;
constexpr int kFontHeight = 12;

void RegisterClasses(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW application{};
  application.cbSize = sizeof application;
  application.lpfnWndProc = ::DefWindowProcW;
  application.hInstance = instance;
  application.lpszClassName = kApplicationClass;
  ::RegisterClassExW(&application);

  WNDCLASSEXW window{};
  window.cbSize = sizeof window;
  window.lpfnWndProc = procedure;
  window.hInstance = instance;
  window.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  window.hIcon = ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  window.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  window.lpszClassName = kWindowClass;
  ::RegisterClassExW(&window);
}

int ScreenDpi() {
  const HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

TWin32UpdateWindow::TWin32UpdateWindow(HINSTANCE instance) : Instance(instance) {
  // The manifest declares the program system-aware, so this is the screen's real scale,
  // before any window exists; the window is laid out at it once.
  Dpi = ScreenDpi();
  RegisterClasses(instance, &TWin32UpdateWindow::WindowProc);
  const std::wstring title = WideFromCP949(ProgramTitle(ProgramFile()));
  Application = ::CreateWindowExW(0, kApplicationClass, title.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, nullptr);
  Window = ::CreateWindowExW(0, kWindowClass, WideFromCP949(kWindowCaption).c_str(), WS_OVERLAPPEDWINDOW,
                             Scaled(kLeft), Scaled(kTop), Scaled(kWidth), Scaled(kHeight), nullptr, nullptr,
                             instance, this);
  LOGFONTW font{};
  font.lfHeight = -Scaled(kFontHeight);
  font.lfCharSet = HANGEUL_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  const std::wstring face = WideFromCP949(kWindowFont);
  face.copy(font.lfFaceName, LF_FACESIZE - 1);
  Font = ::CreateFontIndirectW(&font);
}

TWin32UpdateWindow::~TWin32UpdateWindow() {
  if (Window) {
    // Destroyed with the program, not closed by the user: no quit message may be left for
    // a message box that follows, the start-up error's.
    ::SetWindowLongPtrW(Window, GWLP_USERDATA, 0);
    ::DestroyWindow(Window);
  }
  if (Application) ::DestroyWindow(Application);
  if (Font) ::DeleteObject(Font);
}

int TWin32UpdateWindow::Scaled(int pixels) const { return ::MulDiv(pixels, Dpi, 96); }

std::string TWin32UpdateWindow::ProgramFile() const {
  wchar_t path[MAX_PATH * 4];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  return CP949FromWide(std::wstring_view(path, length));
}

void TWin32UpdateWindow::RunHandler(const std::function<void()>& handler) {
  ++HandlerDepth;
  handler();
  --HandlerDepth;
  if (HandlerDepth == 0 && CloseRequested && Window) ::DestroyWindow(Window);
}

void TWin32UpdateWindow::Show(int showCommand, std::function<void()> onShow) {
  if (IsWaitingStart(showCommand)) {
    // Nothing runs until the user restores the program.
    PendingShow = std::move(onShow);
    ::ShowWindow(Window, SW_SHOWMINNOACTIVE);
    return;
  }
  RunHandler(onShow);
  if (Window) ::ShowWindow(Window, showCommand == kShowMaximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  if (Window) ::UpdateWindow(Window);
}

void TWin32UpdateWindow::RunMessageLoop() {
  MSG message;
  while (Window && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void TWin32UpdateWindow::RequestClose() {
  CloseRequested = true;
  if (HandlerDepth == 0 && Window) ::DestroyWindow(Window);
}

void TWin32UpdateWindow::SetTimerEnabled(bool enabled) {
  if (enabled)
    ::SetTimer(Window, kDelayTimer, kDelayTimerInterval, nullptr);
  else
    ::KillTimer(Window, kDelayTimer);
}

void TWin32UpdateWindow::ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  // Modal to every window of the program: the update window takes no input meanwhile,
  // though its timer still ticks.
  const bool wasEnabled = Window && !::EnableWindow(Window, FALSE);
  ::MessageBoxW(Application, WideFromCP949(text).c_str(), WideFromCP949(caption).c_str(), flags);
  if (wasEnabled) ::EnableWindow(Window, TRUE);
}

void TWin32UpdateWindow::Wait(std::chrono::milliseconds duration) {
  const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(duration.count());
  bool quit = false;
  WPARAM quitCode = 0;
  for (;;) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      // A window closed meanwhile ends the program once the handler is done, not now.
      if (message.message == WM_QUIT) {
        quit = true;
        quitCode = message.wParam;
        continue;
      }
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    const ULONGLONG now = ::GetTickCount64();
    if (now >= end) break;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
  }
  if (quit) ::PostQuitMessage(static_cast<int>(quitCode));
}

void TWin32UpdateWindow::Paint() {
  PAINTSTRUCT paint;
  const HDC dc = ::BeginPaint(Window, &paint);
  const HGDIOBJ oldFont = ::SelectObject(dc, Font);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
  RECT line{Scaled(kTextLeft), Scaled(kTextTop), Scaled(kTextLeft + kTextWidth), Scaled(kTextTop + kTextHeight)};
  const std::wstring text = WideFromCP949(kWindowText);
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &line, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP);
  ::SelectObject(dc, oldFont);
  ::EndPaint(Window, &paint);
}

LRESULT CALLBACK TWin32UpdateWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TWin32UpdateWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->Window = window;
  }
  auto* self = reinterpret_cast<TWin32UpdateWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  return self ? self->HandleMessage(window, message, wParam, lParam)
              : ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT TWin32UpdateWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_TIMER:
      if (wParam == kDelayTimer && OnTimer) RunHandler(OnTimer);
      return 0;
    case WM_SIZE:
      if ((wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) && PendingShow) {
        // Brought back from the minimised start, restored or maximised from the taskbar
        // alike: now the check runs.
        const std::function<void()> onShow = std::exchange(PendingShow, nullptr);
        RunHandler(onShow);
      }
      break;
    case WM_CLOSE:
      ::DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      ::KillTimer(window, kDelayTimer);
      Window = nullptr;
      ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace pravik::app
