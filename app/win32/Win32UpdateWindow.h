#pragma once
// The update window on the screen: a small top-level window with the Korean caption and
// one text line, the delay timer, and message boxes owned by the program's hidden
// application window.

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

#include "app/UpdateServices.h"

namespace pravik::app {

class TWin32UpdateWindow : public IUpdateWindow, public IResponsiveWait {
 public:
  // Creates the hidden application window and the update window, not shown yet.
  explicit TWin32UpdateWindow(HINSTANCE instance);
  ~TWin32UpdateWindow() override;
  TWin32UpdateWindow(const TWin32UpdateWindow&) = delete;
  TWin32UpdateWindow& operator=(const TWin32UpdateWindow&) = delete;

  // Runs `onShow` and then puts the window on the screen by `showCommand`. A start with
  // show command 7 only minimises the window; `onShow` then runs when the user restores or
  // maximises it.
  void Show(int showCommand, std::function<void()> onShow);
  // Dispatches messages until the window has been closed.
  void RunMessageLoop();
  std::function<void()> OnTimer;

  void RequestClose() override;
  void SetTimerEnabled(bool enabled) override;
  void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  std::string ProgramFile() const override;
  // Dispatches the messages that come meanwhile; a quit message is kept for the message loop.
  void Wait(std::chrono::milliseconds duration) override;

  HWND Handle() const { return Window; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Runs a handler of the window; a close it asked for happens once it has returned.
  void RunHandler(const std::function<void()>& handler);
  void Paint();
  int Scaled(int pixels) const;

  HINSTANCE Instance;
  HWND Application = nullptr;
  HWND Window = nullptr;
  HFONT Font = nullptr;
  int Dpi = 96;
  int HandlerDepth = 0;
  bool CloseRequested = false;
  std::function<void()> PendingShow;
};

}  // namespace pravik::app
