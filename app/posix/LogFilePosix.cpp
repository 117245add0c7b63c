#include "app/LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace pravik::app {

struct TLogFile::Handle {
  int Fd = -1;
  bool TurnHeld = false;
};

namespace {

// The turn is a lock of the open file description, so that two writers of one process
// take turns as two processes do.
struct flock TurnRange(short type) {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = 0x7FFFFFFFFFFFFFFELL;
  range.l_len = 1;
  return range;
}

constexpr long kTurnPollNs = 10 * 1000 * 1000;

}  // namespace

TLogFile::TLogFile(const std::string& path) : File(std::make_unique<Handle>()) {
  // O_APPEND puts every write at the end of the file as it is then, whoever else writes.
  File->Fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
}

TLogFile::~TLogFile() {
  if (File->Fd < 0) return;
  if (File->TurnHeld) {
    struct flock range = TurnRange(F_UNLCK);
    ::fcntl(File->Fd, F_OFD_SETLK, &range);
  }
  ::close(File->Fd);
}

bool TLogFile::IsOpen() const { return File->Fd >= 0; }

bool TLogFile::TakeTurn(int milliseconds) {
  if (File->TurnHeld) return true;
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const long long deadline = now.tv_sec * 1000LL + now.tv_nsec / 1000000 + milliseconds;
  for (;;) {
    struct flock range = TurnRange(F_WRLCK);
    if (::fcntl(File->Fd, F_OFD_SETLK, &range) == 0) {
      File->TurnHeld = true;
      return true;
    }
    if (errno != EAGAIN && errno != EACCES && errno != EINTR) return false;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    if (now.tv_sec * 1000LL + now.tv_nsec / 1000000 >= deadline) return false;
    const timespec pause{0, kTurnPollNs};
    ::nanosleep(&pause, nullptr);
  }
}

bool TLogFile::Append(const std::string& bytes) {
  ssize_t written;
  do {
    written = ::write(File->Fd, bytes.data(), bytes.size());
  } while (written < 0 && errno == EINTR);
  return written == static_cast<ssize_t>(bytes.size());
}

bool TLogFile::Truncate() { return ::ftruncate(File->Fd, 0) == 0; }

std::int64_t FileSizeOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? static_cast<std::int64_t>(info.st_size) : -1;
}

std::string LocalTimeStamp() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  ::localtime_r(&now.tv_sec, &local);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03ld", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, now.tv_nsec / 1000000);
  return text;
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

}  // namespace pravik::app
