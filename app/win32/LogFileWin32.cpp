#include "app/LogFile.h"

#include <windows.h>

#include <cstdio>

#include "net/win32/IdWin32Text.h"

namespace pravik::app {

struct TLogFile::Handle {
  HANDLE File = INVALID_HANDLE_VALUE;
};

TLogFile::TLogFile(const std::string& path) : File(std::make_unique<Handle>()) {
  // Append access alone puts every write at the end of the file as it is then, whoever else
  // writes; the sharing lets another run write and rename the log while this one has it.
  File->File = ::CreateFileW(WideFromCP949(path).c_str(), FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
}

TLogFile::~TLogFile() {
  if (File->File != INVALID_HANDLE_VALUE) ::CloseHandle(File->File);
}

bool TLogFile::IsOpen() const { return File->File != INVALID_HANDLE_VALUE; }

bool TLogFile::Append(const std::string& bytes) {
  DWORD written = 0;
  return ::WriteFile(File->File, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::int64_t FileSizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(WideFromCP949(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return -1;
  return static_cast<std::int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

std::string LocalTimeStamp() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond, now.wMilliseconds);
  return text;
}

unsigned long CurrentProcessId() { return ::GetCurrentProcessId(); }

}  // namespace pravik::app
