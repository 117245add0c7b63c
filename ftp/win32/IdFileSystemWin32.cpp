#include "ftp/IdFileSystem.h"

#include <windows.h>

#include "net/win32/IdWin32Text.h"

namespace pravik {

bool FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(WideFromCP949(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(WideFromCP949(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFileIfExists(const std::string& path) {
  return ::DeleteFileW(WideFromCP949(path).c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool ReplaceFileWith(const std::string& to, const std::string& from, int* systemError) {
  if (::MoveFileExW(WideFromCP949(from).c_str(), WideFromCP949(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  if (systemError) *systemError = static_cast<int>(::GetLastError());
  return false;
}

}  // namespace pravik
