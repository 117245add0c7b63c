#include "app/LogFile.h"

#include <windows.h>

#include <cstdio>

#include "net/win32/IdWin32Text.h"

namespace pravik::app {

struct TLogFile::Handle {
  HANDLE File = INVALID_HANDLE_VALUE;
};

TLogFile::TLogFile(const std::string& path) : File(std::make_unique<Handle>()) {
  // Append access puts every write at the end of the file as it is then (read access is
  // what the lock below needs); the sharing lets another run write and rename the log
  // while this one has it.
  File->File = ::CreateFileW(WideFromCP949(path).c_str(), GENERIC_READ | FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
}

TLogFile::~TLogFile() {
  if (File->File != INVALID_HANDLE_VALUE) ::CloseHandle(File->File);
}

bool TLogFile::IsOpen() const { return File->File != INVALID_HANDLE_VALUE; }

bool TLogFile::Append(const std::string& bytes) {
  // Writers take turns on a byte far past any end the log reaches: not every system keeps
  // two appending writes from landing at the same place (Wine does not).
  OVERLAPPED turn{};
  turn.Offset = 0xFFFFFFFF;
  turn.OffsetHigh = 0x7FFFFFFF;
  const bool locked = ::LockFileEx(File->File, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn);
  DWORD written = 0;
  const bool whole = ::WriteFile(File->File, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size();
  if (locked) ::UnlockFileEx(File->File, 0, 1, 0, &turn);
  return whole;
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
