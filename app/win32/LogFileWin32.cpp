#include "app/LogFile.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "net/win32/IdWin32Text.h"

namespace pravik::app {

struct TLogFile::Handle {
  HANDLE File = INVALID_HANDLE_VALUE;
  std::wstring Path;
  bool TurnHeld = false;
};

namespace {

// Writers take turns on a byte far past any end the log reaches: not every system keeps
// two appending writes from landing at the same place (Wine does not), and a rotation must
// not happen between another writer's look at the size and its write.
OVERLAPPED TurnByte() {
  OVERLAPPED turn{};
  turn.Offset = 0xFFFFFFFF;
  turn.OffsetHigh = 0x7FFFFFFF;
  return turn;
}

constexpr DWORD kTurnPollMs = 10;

}  // namespace

TLogFile::TLogFile(const std::string& path) : File(std::make_unique<Handle>()) {
  File->Path = WideFromCP949(path);
  // Append access puts every write at the end of the file as it is then (read access is
  // what the lock needs); the sharing lets another run write and rename the log while this
  // one has it.
  File->File = ::CreateFileW(File->Path.c_str(), GENERIC_READ | FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
}

TLogFile::~TLogFile() {
  if (File->File == INVALID_HANDLE_VALUE) return;
  if (File->TurnHeld) {
    OVERLAPPED turn = TurnByte();
    ::UnlockFileEx(File->File, 0, 1, 0, &turn);
  }
  ::CloseHandle(File->File);
}

bool TLogFile::IsOpen() const { return File->File != INVALID_HANDLE_VALUE; }

bool TLogFile::TakeTurn(int milliseconds) {
  if (File->TurnHeld) return true;
  // A blocking lock would wait for ever behind a writer that is suspended or hangs.
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
  for (;;) {
    OVERLAPPED turn = TurnByte();
    if (::LockFileEx(File->File, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &turn)) {
      File->TurnHeld = true;
      return true;
    }
    if (::GetLastError() != ERROR_LOCK_VIOLATION || ::GetTickCount64() >= deadline) return false;
    ::Sleep(kTurnPollMs);
  }
}

bool TLogFile::Append(const std::string& bytes) {
  DWORD written = 0;
  return ::WriteFile(File->File, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool TLogFile::Truncate() {
  // The appending handle cannot cut the file; a second one, for writing, can.
  const HANDLE writer = ::CreateFileW(File->Path.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (writer == INVALID_HANDLE_VALUE) return false;
  const bool cut = ::SetEndOfFile(writer) != 0;
  ::CloseHandle(writer);
  return cut;
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
