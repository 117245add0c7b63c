#include "ftp/IdFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace pravik {

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool DeleteFileIfExists(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

bool ReplaceFileWith(const std::string& to, const std::string& from, int* systemError) {
  // The new bytes reach the disk before the name points at them.
  const int fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  bool replaced = fd >= 0 && ::fsync(fd) == 0;
  if (fd >= 0) ::close(fd);
  replaced = replaced && std::rename(from.c_str(), to.c_str()) == 0;
  if (!replaced && systemError) *systemError = errno;
  return replaced;
}

}  // namespace pravik
