#include "ftp/IdStream.h"

#include <windows.h>

#include "ftp/IdFtpResourceStrings.h"
#include "net/IdGlobal.h"
#include "net/win32/IdWin32Text.h"

namespace pravik {

struct TIdFileStream::Handle {
  HANDLE File = INVALID_HANDLE_VALUE;
};

TIdFileStream::TIdFileStream(const std::string& path, TOpenMode mode) : File(std::make_unique<Handle>()) {
  // A new file is the opener's alone; an open one may be read by others meanwhile, and a
  // file read whole must not change under the reader.
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD share = FILE_SHARE_READ;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case TOpenMode::fmCreate:
      disposition = CREATE_ALWAYS;
      share = 0;
      break;
    case TOpenMode::fmOpenReadWrite: break;
    case TOpenMode::fmOpenRead: access = GENERIC_READ; break;
  }
  File->File = ::CreateFileW(WideFromCP949(path).c_str(), access, share, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (File->File == INVALID_HANDLE_VALUE) {
    const std::int32_t cause = static_cast<std::int32_t>(::GetLastError());
    if (mode == TOpenMode::fmCreate) throw EFCreateError(FormatText(rs::CannotCreateFile, {path}), cause);
    throw EFOpenError(FormatText(rs::CannotOpenFile, {path}), cause);
  }
}

TIdFileStream::~TIdFileStream() {
  if (File->File != INVALID_HANDLE_VALUE) ::CloseHandle(File->File);
}

std::int64_t TIdFileStream::Size() {
  LARGE_INTEGER size{};
  return ::GetFileSizeEx(File->File, &size) ? size.QuadPart : 0;
}

std::int64_t TIdFileStream::Position() {
  LARGE_INTEGER zero{}, position{};
  return ::SetFilePointerEx(File->File, zero, &position, FILE_CURRENT) ? position.QuadPart : 0;
}

void TIdFileStream::Seek(std::int64_t position) {
  LARGE_INTEGER target{};
  target.QuadPart = position;
  ::SetFilePointerEx(File->File, target, nullptr, FILE_BEGIN);
}

void TIdFileStream::Write(const void* bytes, std::int32_t count) {
  const char* next = static_cast<const char*>(bytes);
  while (count > 0) {
    DWORD written = 0;
    if (!::WriteFile(File->File, next, static_cast<DWORD>(count), &written, nullptr) || written == 0)
      throw EStreamError(rs::StreamWriteError, static_cast<std::int32_t>(::GetLastError()));
    next += written;
    count -= static_cast<std::int32_t>(written);
  }
}

std::int32_t TIdFileStream::Read(void* bytes, std::int32_t count) {
  DWORD read = 0;
  if (!::ReadFile(File->File, bytes, static_cast<DWORD>(count), &read, nullptr))
    throw EStreamError(rs::StreamReadError, static_cast<std::int32_t>(::GetLastError()));
  return static_cast<std::int32_t>(read);
}

void TIdFileStream::Truncate() {
  if (!::SetEndOfFile(File->File))
    throw EStreamError(rs::StreamWriteError, static_cast<std::int32_t>(::GetLastError()));
}

}  // namespace pravik
