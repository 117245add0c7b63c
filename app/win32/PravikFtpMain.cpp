// The program entry: start-up, the message loop and shut-down of the updater.
#include <windows.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <typeinfo>

#include "app/AppTexts.h"
#include "app/ErrorDisplay.h"
#include "app/untMngFtp.h"
#include "app/win32/Win32NotifierControl.h"
#include "app/win32/Win32StandardOutput.h"
#include "app/win32/Win32UpdateWindow.h"
#include "net/win32/IdWin32Text.h"

namespace {

using namespace pravik::app;

// The error's class as the program names it, from the compiler's type name: GCC's
// mangled "N6pravik14EIdSocketErrorE" or MSVC's "class pravik::EIdSocketError".
std::string ClassNameOf(const std::exception& error) {
  std::string name = typeid(error).name();
  for (const char* prefix : {"class ", "struct "}) {
    if (name.rfind(prefix, 0) == 0) name = name.substr(std::char_traits<char>::length(prefix));
  }
  if (const std::size_t colons = name.rfind("::"); colons != std::string::npos) return name.substr(colons + 2);
  std::size_t at = name.size() > 0 && name[0] == 'N' ? 1 : 0;
  std::string last = name;
  while (at < name.size() && name[at] >= '0' && name[at] <= '9') {
    std::size_t length = 0;
    while (at < name.size() && name[at] >= '0' && name[at] <= '9') length = length * 10 + (name[at++] - '0');
    last = name.substr(at, length);
    at += length;
  }
  return last;
}

// A start-up that failed: the box without owner, then exit code 1. A C++ error carries
// no address of where it arose; the text names the start-up routine's place instead.
int ReportStartupError(const std::exception& error, const void* where) {
  wchar_t path[MAX_PATH * 4];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  const std::string module = FileNameOf(pravik::CP949FromWide(std::wstring_view(path, length)));
  const auto base = reinterpret_cast<std::uintptr_t>(::GetModuleHandleW(nullptr));
  const std::string text =
      ApplicationErrorText(ClassNameOf(error), module, reinterpret_cast<std::uintptr_t>(where) - base, error.what());
  ::MessageBoxW(nullptr, pravik::WideFromCP949(text).c_str(), pravik::WideFromCP949(kApplicationErrorCaption).c_str(),
                kBoxTaskModal | kBoxStopIcon);
  return 1;
}

struct TProgram {
  TWin32UpdateWindow Window;
  TWin32NotifierControl Notifier;
  TWin32StandardOutput Output;
  TfrmMngFtp Form;
  explicit TProgram(HINSTANCE instance) : Window(instance), Form(Window, Notifier, Output) {}
};

int Run(HINSTANCE instance, int showCommand) {
  std::unique_ptr<TProgram> program;
  try {
    program = std::make_unique<TProgram>(instance);
    program->Form.FormCreate();
  } catch (const std::exception& error) {
    return ReportStartupError(error, reinterpret_cast<const void*>(&Run));
  }
  TfrmMngFtp& form = program->Form;
  program->Window.OnTimer = [&form] { form.Timer1Tick(); };
  program->Window.Show(showCommand, [&form] { form.FormShow(); });
  program->Window.RunMessageLoop();
  // The window and all it owns go first; the socket stack is released after them.
  program.reset();
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // The show command the program was started with, as the starter gave it.
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoW(&startup);
  const int showCommand = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWNORMAL;
  return Run(instance, showCommand);
}
