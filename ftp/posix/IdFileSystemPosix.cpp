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

bool ReplaceFileWith(const std::string& to, const std::string& from) {
  // The new bytes reach the disk before the name points at them.
  const int fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  return synced && std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace pravik
