#include "tests/support/TestPlatform.h"

#include <windows.h>

namespace pravik::test {

bool RunningUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

bool OpenFilesAreLocked() { return true; }

}  // namespace pravik::test
