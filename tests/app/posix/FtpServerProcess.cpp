#include "tests/app/FtpServerProcess.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace pravik::test {

namespace {
constexpr int kStartLimitMs = 10000;
}

std::string OwnLoopbackAddress(int network) {
  // Any address of 127/8 is this machine's; the low 16 bits of the process id tell apart
  // the test processes that run at one time.
  const int pid = static_cast<int>(::getpid());
  return "127." + std::to_string(network) + "." + std::to_string((pid >> 8) & 255) + "." + std::to_string(pid & 255);
}

FtpServerProcess::FtpServerProcess(const std::string& address, const std::string& user, const std::string& password,
                                   const std::string& directory) {
  const std::string portFile = directory + ".port";
  std::filesystem::remove(portFile);
  std::vector<std::string> args = {"/usr/bin/python3", PRAVIK_FTP_SERVER_SCRIPT, "--address", address, "--port", "21",
                                   "--port-file", portFile, user, password, directory};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  if (::posix_spawn(&Pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    Pid = -1;
    throw std::runtime_error("cannot start the FTP server");
  }
  for (int waited = 0; waited < kStartLimitMs; waited += 50) {
    if (std::filesystem::exists(portFile)) return;
    int status = 0;
    if (::waitpid(Pid, &status, WNOHANG) == Pid) {
      Pid = -1;
      throw std::runtime_error("the FTP server ended at once (is port 21 free, are we root?)");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::kill(Pid, SIGKILL);
  ::waitpid(Pid, nullptr, 0);
  Pid = -1;
  throw std::runtime_error("the FTP server did not come up");
}

FtpServerProcess::~FtpServerProcess() {
  if (Pid <= 0) return;
  ::kill(Pid, SIGKILL);
  int status = 0;
  ::waitpid(Pid, &status, 0);
}

}  // namespace pravik::test
