#include "app/FileRewrite.h"

#include <windows.h>

#include "ftp/IdFtpResourceStrings.h"
#include "ftp/IdStream.h"
#include "net/IdGlobal.h"
#include "net/win32/IdWin32Text.h"

namespace pravik::app {

namespace {

// Write access, others may read meanwhile. An existing file is opened, not recreated:
// recreating fails on a hidden file, which an open does not.
constexpr DWORD kAccess = GENERIC_WRITE;
constexpr DWORD kSharing = FILE_SHARE_READ;

class THandle {
 public:
  explicit THandle(HANDLE handle) : Handle(handle) {}
  ~THandle() {
    if (Handle != INVALID_HANDLE_VALUE) ::CloseHandle(Handle);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  HANDLE Handle;
};

HANDLE Open(const std::string& path, DWORD access, DWORD disposition, DWORD flags) {
  return ::CreateFileW(WideFromCP949(path).c_str(), access, kSharing, nullptr, disposition, flags, nullptr);
}

[[noreturn]] void FailCreate(const std::string& path, DWORD cause) {
  throw EFCreateError(FormatText(rs::CannotCreateFile, {path}), static_cast<std::int32_t>(cause));
}

[[noreturn]] void FailWrite() {
  throw EStreamError(rs::StreamWriteError, static_cast<std::int32_t>(::GetLastError()));
}

}  // namespace

void RewriteFile(const std::string& path, const std::string& bytes) {
  const THandle file(Open(path, kAccess, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL));
  if (file.Handle == INVALID_HANDLE_VALUE) FailCreate(path, ::GetLastError());
  if (!::SetEndOfFile(file.Handle)) FailWrite();
  for (std::size_t done = 0; done < bytes.size();) {
    DWORD written = 0;
    if (!::WriteFile(file.Handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
        written == 0)
      FailWrite();
    done += written;
  }
}

void CheckCanWrite(const std::string& path) {
  {
    const THandle existing(Open(path, kAccess, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
    if (existing.Handle != INVALID_HANDLE_VALUE) return;
    const DWORD cause = ::GetLastError();
    if (cause != ERROR_FILE_NOT_FOUND) FailCreate(path, cause);
  }
  // Missing: made so that the system removes it again as it is closed, whatever happens.
  const THandle made(Open(path, kAccess | DELETE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE));
  if (made.Handle == INVALID_HANDLE_VALUE) FailCreate(path, ::GetLastError());
}

}  // namespace pravik::app
