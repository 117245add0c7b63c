#include "app/FileRewrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "ftp/IdFtpResourceStrings.h"
#include "ftp/IdStream.h"
#include "net/IdGlobal.h"

namespace pravik::app {

namespace {

// Closes the descriptor on every way out.
class TDescriptor {
 public:
  explicit TDescriptor(int fd) : Fd(fd) {}
  ~TDescriptor() {
    if (Fd >= 0) ::close(Fd);
  }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  int Fd;
};

[[noreturn]] void FailCreate(const std::string& path, int cause) {
  throw EFCreateError(FormatText(rs::CannotCreateFile, {path}), cause);
}

}  // namespace

void RewriteFile(const std::string& path, const std::string& bytes) {
  const TDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  if (file.Fd < 0) FailCreate(path, errno);
  if (::ftruncate(file.Fd, 0) != 0) throw EStreamError(rs::StreamWriteError, errno);
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(file.Fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw EStreamError(rs::StreamWriteError, errno);
    done += static_cast<std::size_t>(n);
  }
}

void CheckCanWrite(const std::string& path) {
  {
    const TDescriptor existing(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (existing.Fd >= 0) return;
    if (errno != ENOENT) FailCreate(path, errno);
  }
  // Missing: made and removed again, so that it is still missing afterwards.
  const TDescriptor made(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (made.Fd < 0) FailCreate(path, errno);
  ::unlink(path.c_str());
}

}  // namespace pravik::app
