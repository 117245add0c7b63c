#include "tests/support/TestPlatform.h"

#include <windows.h>

#include <stdexcept>

namespace pravik::test {

bool RunningUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

bool OpenFilesAreLocked() { return true; }

TFileHeldForReading::TFileHeldForReading(const std::string& path, bool allowWrites)
    : Handle(reinterpret_cast<std::intptr_t>(
          ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | (allowWrites ? FILE_SHARE_WRITE : 0), nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))) {
  if (reinterpret_cast<HANDLE>(Handle) == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
}

TFileHeldForReading::~TFileHeldForReading() { ::CloseHandle(reinterpret_cast<HANDLE>(Handle)); }

}  // namespace pravik::test
