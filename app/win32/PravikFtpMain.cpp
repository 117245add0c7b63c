// The program entry: start-up, the message loop and shut-down of the updater.
#include <windows.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "app/AppTexts.h"
#include "app/ErrorDescription.h"
#include "app/ErrorDisplay.h"
#include "app/FileLog.h"
#include "app/StartCheck.h"
#include "app/untMngFtp.h"
#include "app/win32/Win32NotifierControl.h"
#include "app/win32/Win32SignatureReader.h"
#include "app/win32/Win32StandardOutput.h"
#include "app/win32/Win32UpdateWindow.h"
#include "net/win32/IdWin32Text.h"

namespace {

using namespace pravik::app;

std::string ProgramFile() {
  wchar_t path[MAX_PATH * 4];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  return pravik::CP949FromWide(std::wstring_view(path, length));
}

// The file version of the program's version resource, "1.0.0.0", for the log.
std::string ProgramVersion() {
  const std::wstring path = pravik::WideFromCP949(ProgramFile());
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::string data(size, '\0');
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (size == 0 || !::GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
      !::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed)
    return "unknown (no version resource)";
  return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}

// A start-up that failed: the box without owner, then exit code 1. A C++ error carries
// no address of where it arose; the text names the start-up routine's place instead.
int ReportStartupError(const std::exception& error, const void* where, IUpdateLog& log) {
  const std::string module = FileNameOf(ProgramFile());
  const auto base = reinterpret_cast<std::uintptr_t>(::GetModuleHandleW(nullptr));
  const std::string text =
      ApplicationErrorText(ClassNameOf(error), module, reinterpret_cast<std::uintptr_t>(where) - base, error.what());
  log.Write("Start-up error " + DescribeError(error));
  log.Write(std::string("Box \"") + kApplicationErrorCaption + "\" shown: " + text);
  ::MessageBoxW(nullptr, pravik::WideFromCP949(text).c_str(), pravik::WideFromCP949(kApplicationErrorCaption).c_str(),
                kBoxTaskModal | kBoxStopIcon);
  return 1;
}

struct TProgram {
  TWin32UpdateWindow Window;
  TWin32NotifierControl Notifier;
  TWin32StandardOutput Output;
  TWin32SignatureReader Signatures;
  TSystemClock Clock;
  TfrmMngFtp Form;
  TProgram(HINSTANCE instance, IUpdateLog& log)
      : Window(instance), Form(Window, Notifier, Output, log, Signatures, Window, Clock) {}
};

int Run(HINSTANCE instance, int showCommand, IUpdateLog& log) {
  std::unique_ptr<TProgram> program;
  try {
    program = std::make_unique<TProgram>(instance, log);
    program->Form.FormCreate();
  } catch (const std::exception& error) {
    return ReportStartupError(error, reinterpret_cast<const void*>(&Run), log);
  }
  TfrmMngFtp& form = program->Form;
  program->Window.OnTimer = [&form] { form.Timer1Tick(); };
  program->Window.Show(showCommand, [&form] { form.FormShow(); });
  program->Window.RunMessageLoop();
  form.FormClose();
  if (form.TimerEnabled()) log.Write("Window closed while the delayed download waited; the notifier stays stopped");
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
  TFileLog log(TUpdatePaths{}.Log);
  log.Write("Start: " + ProgramFile() + ", version " + ProgramVersion() + ", show command " +
            std::to_string(showCommand));
  const int exitCode = Run(instance, showCommand, log);
  log.Write("End, exit code " + std::to_string(exitCode));
  return exitCode;
}
