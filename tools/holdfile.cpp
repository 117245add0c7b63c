// holdfile [--share-write] PATH
//
// Holds PATH open for reading, as another program reading the file does (a scanner, a
// reader of the version file), until its standard input ends or it is killed. Others may
// read the file meanwhile and, with --share-write, write it too. Prints "held" once the
// file is open. Exit status: 0 after the input ended, 2 when the file cannot be opened,
// 1 for a wrong command line.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

int main() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  DWORD sharing = FILE_SHARE_READ;
  std::wstring path;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--share-write") == 0) {
      sharing |= FILE_SHARE_WRITE;
    } else if (path.empty()) {
      path = argv[i];
    } else {
      return 1;
    }
  }
  if (path.empty()) return 1;
  const HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  std::puts("held");
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  ::CloseHandle(file);
  return 0;
}
