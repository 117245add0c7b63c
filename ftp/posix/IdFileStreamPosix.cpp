#include "ftp/IdStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "ftp/IdFtpResourceStrings.h"
#include "net/IdGlobal.h"

namespace pravik {

struct TIdFileStream::Handle {
  int Fd = -1;
};

TIdFileStream::TIdFileStream(const std::string& path, TOpenMode mode) : File(std::make_unique<Handle>()) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case TOpenMode::fmCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case TOpenMode::fmOpenReadWrite: flags |= O_RDWR; break;
    case TOpenMode::fmOpenRead: flags |= O_RDONLY; break;
  }
  File->Fd = ::open(path.c_str(), flags, 0666);
  if (File->Fd < 0) {
    const std::int32_t cause = errno;
    if (mode == TOpenMode::fmCreate) throw EFCreateError(FormatText(rs::CannotCreateFile, {path}), cause);
    throw EFOpenError(FormatText(rs::CannotOpenFile, {path}), cause);
  }
}

TIdFileStream::~TIdFileStream() {
  if (File->Fd >= 0) ::close(File->Fd);
}

std::int64_t TIdFileStream::Size() {
  struct stat info {};
  return ::fstat(File->Fd, &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
}

std::int64_t TIdFileStream::Position() { return static_cast<std::int64_t>(::lseek(File->Fd, 0, SEEK_CUR)); }

void TIdFileStream::Seek(std::int64_t position) { ::lseek(File->Fd, static_cast<off_t>(position), SEEK_SET); }

void TIdFileStream::Write(const void* bytes, std::int32_t count) {
  const char* next = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t n = ::write(File->Fd, next, static_cast<std::size_t>(count));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw EStreamError(rs::StreamWriteError, errno);
    next += n;
    count -= static_cast<std::int32_t>(n);
  }
}

std::int32_t TIdFileStream::Read(void* bytes, std::int32_t count) {
  ssize_t n;
  do {
    n = ::read(File->Fd, bytes, static_cast<std::size_t>(count));
  } while (n < 0 && errno == EINTR);
  if (n < 0) throw EStreamError(rs::StreamReadError, errno);
  return static_cast<std::int32_t>(n);
}

void TIdFileStream::Truncate() {
  if (::ftruncate(File->Fd, static_cast<off_t>(Position())) != 0)
    throw EStreamError(rs::StreamWriteError, errno);
}

}  // namespace pravik
