#include "app/win32/Win32StandardOutput.h"

#include <windows.h>

#include "app/AppTexts.h"
#include "net/IdGlobal.h"

namespace pravik::app {

void TWin32StandardOutput::WriteLine(const std::string& line) {
  const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  const auto fail = [] {
    throw EInOutError(FormatText(kInOutErrorFormat, {std::to_string(kNoStandardOutput)}), kNoStandardOutput);
  };
  if (!output || output == INVALID_HANDLE_VALUE || ::GetFileType(output) == FILE_TYPE_UNKNOWN) fail();
  const std::string bytes = line + "\r\n";
  DWORD written = 0;
  if (!::WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size())
    fail();
}

}  // namespace pravik::app
