#pragma once
// A real FTP server (pyftpdlib, through tools/ftp-server) in its own process on port 21 of
// a loopback address of this process's own, the port the updater always uses.

#include <string>

namespace pravik::test {

class FtpServerProcess {
 public:
  // Serves `directory` to `user` on `address`:21; raises std::runtime_error when the
  // server does not come up within a few seconds.
  FtpServerProcess(const std::string& address, const std::string& user, const std::string& password,
                   const std::string& directory);
  ~FtpServerProcess();
  FtpServerProcess(const FtpServerProcess&) = delete;
  FtpServerProcess& operator=(const FtpServerProcess&) = delete;

 private:
  int Pid = -1;
};

// A loopback address that no other test process uses, derived from the process id.
std::string OwnLoopbackAddress(int network);

}  // namespace pravik::test
