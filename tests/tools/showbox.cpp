// showbox [--flags N] [--owner TITLE] (--korean | CAPTION TEXT)
//
// Shows one message box, as the updater does, for the tests of boxwatch, and prints the
// button pressed ("OK", "CANCEL", ...); the exit status is the MessageBoxW result (0 when
// the box could not be shown). --korean shows the updater's own Korean caption and text;
// --owner gives the box a hidden top-level owner window of that title, as the updater's
// boxes have their application window. N may be decimal or 0x-hexadecimal.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const char* ButtonName(int result) {
  switch (result) {
    case IDOK: return "OK";
    case IDCANCEL: return "CANCEL";
    case IDABORT: return "ABORT";
    case IDRETRY: return "RETRY";
    case IDIGNORE: return "IGNORE";
    case IDYES: return "YES";
    case IDNO: return "NO";
    default: return "NONE";
  }
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  std::vector<std::wstring> args(argv, argv + (argv ? argc : 0));
  ::LocalFree(argv);

  UINT flags = MB_OK;
  std::wstring ownerTitle;
  std::vector<std::wstring> texts;
  bool korean = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == L"--flags" && i + 1 < args.size()) {
      flags = static_cast<UINT>(std::wcstoul(args[++i].c_str(), nullptr, 0));
    } else if (args[i] == L"--owner" && i + 1 < args.size()) {
      ownerTitle = args[++i];
    } else if (args[i] == L"--korean") {
      korean = true;
    } else {
      texts.push_back(args[i]);
    }
  }
  if (korean) texts = {L"다운로드중...", L"화일 복사중 Error(101)가 발생했습니다.."};
  if (texts.size() != 2) {
    std::fputs("usage: showbox [--flags N] [--owner TITLE] (--korean | CAPTION TEXT)\n", stderr);
    return 0;
  }

  HWND owner = nullptr;
  if (!ownerTitle.empty()) {
    owner = ::CreateWindowExW(0, L"STATIC", ownerTitle.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr,
                              nullptr, ::GetModuleHandleW(nullptr), nullptr);
  }
  const int result = ::MessageBoxW(owner, texts[1].c_str(), texts[0].c_str(), flags);
  std::printf("%s\n", ButtonName(result));
  if (owner) ::DestroyWindow(owner);
  return result;
}
