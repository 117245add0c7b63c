// boxwatch [--timeout SECONDS] [--count N] [--press] [--owner] [--out FILE]
//
// Waits up to SECONDS (default 30) for N (default 1) message boxes of any program on this
// desktop and writes one UTF-8 line per box: "caption<TAB>text", with --owner a third
// field, the title of the window that owns the box (empty when none). Backslash, tab, CR
// and LF in a field are written as \\ \t \r \n, so that every box is one line and the
// fields split at tabs. With --press the box's OK button is pressed (its default button
// when it has none), so that the program that showed it goes on. Each box is reported
// once, however long it stays. Exit status: 0 when N boxes were seen, 2 when the time ran
// out first (after writing those seen), 1 for a wrong command line or output file.
//
// With --count 0 it watches for the whole time, whatever comes, and exits 0 then: a test
// runs it beside a program from start to end, and the output file, created at once and
// written a line as each box comes, says which boxes there were, none included.
//
// A message box is a visible top-level window of the dialog class "#32770"; its text is
// the static control with the id 0xFFFF, or else the first static control with text.
// The windows are polled: that asks nothing of the programs watched, and a look every
// 20 ms is quick beside the life of a box.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kMessageTextId = 0xFFFF;
constexpr DWORD kPollMs = 20;

struct Options {
  double timeoutSeconds = 30;
  long count = 1;
  bool press = false;
  bool owner = false;
  std::wstring out;
};

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string result(size, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        size, nullptr, nullptr);
  return result;
}

std::string Field(const std::wstring& text) {
  std::string result;
  for (const char c : Utf8(text)) {
    switch (c) {
      case '\\': result += "\\\\"; break;
      case '\t': result += "\\t"; break;
      case '\r': result += "\\r"; break;
      case '\n': result += "\\n"; break;
      default: result += c;
    }
  }
  return result;
}

// For a window of another process GetWindowTextW reads the title the system keeps and
// sends no message, so a program that is stuck cannot stall the watch.
std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(::GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return text;
}

std::wstring ClassName(HWND window) {
  wchar_t name[256];
  const int n = ::GetClassNameW(window, name, 256);
  return std::wstring(name, n > 0 ? n : 0);
}

// Visible only: the box's text is set before it is shown.
BOOL CALLBACK CollectMessageBox(HWND window, LPARAM boxes) {
  if (::IsWindowVisible(window) && ClassName(window) == L"#32770")
    reinterpret_cast<std::vector<HWND>*>(boxes)->push_back(window);
  return TRUE;
}

BOOL CALLBACK FindStaticText(HWND child, LPARAM found) {
  if (_wcsicmp(ClassName(child).c_str(), L"Static") != 0) return TRUE;
  std::wstring text = WindowText(child);
  if (text.empty()) return TRUE;
  *reinterpret_cast<std::wstring*>(found) = std::move(text);
  return FALSE;
}

std::wstring MessageText(HWND box) {
  if (const HWND text = ::GetDlgItem(box, kMessageTextId)) return WindowText(text);
  std::wstring found;
  ::EnumChildWindows(box, FindStaticText, reinterpret_cast<LPARAM>(&found));
  return found;
}

BOOL CALLBACK FindDefaultButton(HWND child, LPARAM id) {
  if (_wcsicmp(ClassName(child).c_str(), L"Button") != 0 ||
      (::GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) != BS_DEFPUSHBUTTON)
    return TRUE;
  *reinterpret_cast<int*>(id) = ::GetDlgCtrlID(child);
  return FALSE;
}

// The button a box without OK would answer Enter with. Its look tells best: Wine answers
// DM_GETDEFID with the first button even where MB_DEFBUTTON2 made the second the default.
int DefaultButton(HWND box) {
  int id = 0;
  ::EnumChildWindows(box, FindDefaultButton, reinterpret_cast<LPARAM>(&id));
  if (id) return id;
  DWORD_PTR reply = 0;
  if (::SendMessageTimeoutW(box, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 2000, &reply) &&
      HIWORD(reply) == DC_HASDEFID)
    return LOWORD(reply);
  return IDCANCEL;
}

void Press(HWND box) {
  const int id = ::GetDlgItem(box, IDOK) ? IDOK : DefaultButton(box);
  // Posted as the button would send it: the box's program may be busy, and the box's
  // dialog procedure ends it on this command whether or not it is the active window.
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(box, id)));
}

bool ParseOptions(const std::vector<std::wstring>& args, Options& options) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == L"--press") {
      options.press = true;
    } else if (arg == L"--owner") {
      options.owner = true;
    } else if (arg == L"--timeout" && hasValue) {
      wchar_t* end = nullptr;
      options.timeoutSeconds = std::wcstod(args[++i].c_str(), &end);
      if (*end || !(options.timeoutSeconds > 0) || !std::isfinite(options.timeoutSeconds))
        return false;
    } else if (arg == L"--count" && hasValue) {
      wchar_t* end = nullptr;
      options.count = std::wcstol(args[++i].c_str(), &end, 10);
      if (*end || options.count < 0) return false;
    } else if (arg == L"--out" && hasValue) {
      options.out = args[++i];
    } else {
      return false;
    }
  }
  return true;
}

std::vector<std::wstring> Arguments() {
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  std::vector<std::wstring> args(argv, argv + (argv ? argc : 0));
  ::LocalFree(argv);
  return args;
}

}  // namespace

int main() {
  Options options;
  if (!ParseOptions(Arguments(), options)) {
    std::fputs("usage: boxwatch [--timeout SECONDS] [--count N] [--press] [--owner] [--out FILE]\n",
               stderr);
    return 1;
  }
  // Bytes go out unchanged: the console's code page must not touch the UTF-8.
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (!options.out.empty()) {
    out = ::CreateFileW(options.out.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
      std::fprintf(stderr, "boxwatch: cannot write the output file (error %lu)\n",
                   ::GetLastError());
      return 1;
    }
  }

  const ULONGLONG deadline =
      ::GetTickCount64() + static_cast<ULONGLONG>(std::ceil(options.timeoutSeconds * 1000));
  std::vector<HWND> reported;
  long seen = 0;
  for (;;) {
    // A box that is gone is forgotten, so that a later box given the same handle counts.
    reported.erase(std::remove_if(reported.begin(), reported.end(),
                                  [](HWND box) { return !::IsWindow(box); }),
                   reported.end());
    std::vector<HWND> boxes;
    ::EnumWindows(CollectMessageBox, reinterpret_cast<LPARAM>(&boxes));
    // Windows come in Z order, where a new box goes on top: older boxes are reported first.
    std::reverse(boxes.begin(), boxes.end());
    for (const HWND box : boxes) {
      if (options.count > 0 && seen == options.count) break;
      if (std::find(reported.begin(), reported.end(), box) != reported.end()) continue;
      std::string line = Field(WindowText(box)) + "\t" + Field(MessageText(box));
      if (options.owner) {
        const HWND owner = ::GetWindow(box, GW_OWNER);
        line += "\t" + (owner ? Field(WindowText(owner)) : std::string());
      }
      line += "\n";
      DWORD written = 0;
      ::WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      reported.push_back(box);
      ++seen;
      if (options.press) Press(box);
    }
    if (options.count > 0 && seen == options.count) return 0;
    if (::GetTickCount64() >= deadline) return options.count == 0 ? 0 : 2;
    ::Sleep(kPollMs);
  }
}
