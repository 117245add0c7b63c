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
};

TLogFile::TLogFile(const std::string& path) : File(std::make_unique<Handle>()) {
  // O_APPEND puts every write at the end of the file as it is then, whoever else writes.
  File->Fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
}

TLogFile::~TLogFile() {
  if (File->Fd >= 0) ::close(File->Fd);
}

bool TLogFile::IsOpen() const { return File->Fd >= 0; }

bool TLogFile::Append(const std::string& bytes) {
  ssize_t written;
  do {
    written = ::write(File->Fd, bytes.data(), bytes.size());
  } while (written < 0 && errno == EINTR);
  return written == static_cast<ssize_t>(bytes.size());
}

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
