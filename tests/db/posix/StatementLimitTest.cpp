// A statement that the server never answers, through FreeTDS, a client of real SQL Servers,
// which keeps the time limit of each statement as the workstations' driver does: the
// statement gives up after its own limit, not after the connection's 30 s.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "db/EDatabaseError.h"
#include "db/TADOCommand.h"
#include "db/TADOConnection.h"

extern char** environ;

namespace pravik {
namespace {

using ::testing::HasSubstr;
using TClock = std::chrono::steady_clock;

// tools/tds-listener --login on a free port of 127.0.0.1, ended with the test.
class StalledServer {
 public:
  StalledServer() {
    std::filesystem::remove("tds.port");
    std::vector<std::string> args = {"/usr/bin/python3", PRAVIK_TDS_LISTENER_SCRIPT, "--address", "127.0.0.1",
                                     "--port", "0", "--port-file", "tds.port", "--log", "tds.log", "--login"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&Pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
      throw std::runtime_error("cannot start the TDS listener");
    for (int waited = 0; waited < 10000 && !std::filesystem::exists("tds.port"); waited += 50)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream("tds.port") >> Port;
    if (Port == 0) throw std::runtime_error("the TDS listener did not come up");
  }
  ~StalledServer() {
    ::kill(Pid, SIGKILL);
    ::waitpid(Pid, nullptr, 0);
  }
  StalledServer(const StalledServer&) = delete;
  StalledServer& operator=(const StalledServer&) = delete;

  static std::string Log() {
    std::ifstream file("tds.log");
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }
  int Port = 0;

 private:
  pid_t Pid = -1;
};

class StatementLimitTest : public ::testing::Test {
 protected:
  // The limit `action` kept: the seconds until it raised, with the error's state.
  template <typename Action>
  std::pair<double, std::string> Waited(Action&& action) {
    const auto began = TClock::now();
    std::string state = "no error";
    try {
      action();
    } catch (const EDatabaseError& error) {
      state = error.SqlState + " " + error.Message();
    }
    return {std::chrono::duration<double>(TClock::now() - began).count(), state};
  }
  StalledServer server_;
  TADOConnection connection_{"127.0.0.1," + std::to_string(server_.Port)};
};

TEST_F(StatementLimitTest, AnUnansweredInsertGivesUpAfterItsLimit) {
  connection_.Open();
  TADOCommand insert(connection_, "Insert Into MVERCHKRESULT (WORKSTATION) Values (?)");
  insert.CommandTimeout = 5;
  const auto [seconds, state] = Waited([&] { insert.Execute({TParameter::Text("APT1")}); });
  EXPECT_THAT(state, HasSubstr("HYT00"));
  EXPECT_GE(seconds, 4.5) << state;
  EXPECT_LT(seconds, 15.0) << state;
  // The listener writes its acknowledgement down after sending it: the client may be back first.
  std::string log = StalledServer::Log();
  for (int waited = 0; waited < 5000 && log.find("attention acknowledged") == std::string::npos; waited += 50) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    log = StalledServer::Log();
  }
  EXPECT_THAT(log, HasSubstr("statement not answered"));
  EXPECT_THAT(log, HasSubstr("attention acknowledged after 5."));
}

TEST_F(StatementLimitTest, AnUnansweredTableProbeGivesUpAfterItsLimit) {
  const auto [seconds, state] = Waited([&] { connection_.TableExists("MVERCHKRESULT", 2); });
  EXPECT_THAT(state, HasSubstr("HYT00"));
  EXPECT_GE(seconds, 1.5) << state;
  EXPECT_LT(seconds, 12.0) << state;
}

}  // namespace
}  // namespace pravik
