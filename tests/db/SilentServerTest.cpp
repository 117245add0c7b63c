// A central database server that takes the connection and never answers, reached through
// FreeTDS, a client of real SQL Servers: the login gives up within the program's own limit
// instead of waiting for ever.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "db/EDatabaseError.h"
#include "db/ServerVersion.h"
#include "db/TADOConnection.h"
#include "db/TADOQuery.h"
#include "tests/db/ClosedLoopbackPort.h"
#include "tests/support/ErrorMessage.h"

namespace pravik {
namespace {

using ::testing::StartsWith;

TEST(SilentServerTest, LoginGivesUpWithinItsLimit) {
  test::ClosedLoopbackPort server;
  server.ListenSilently();
  // FreeTDS opens no connection at all unless told the port and the protocol version; the
  // test's environment names the protocol, the port is this test's own.
  ASSERT_NE(std::getenv("TDSVER"), nullptr) << "TDSVER must be set for FreeTDS to connect";
  TADOConnection ADOConnectionMAIN("127.0.0.1," + std::to_string(server.Port()));
  TADOQuery qryTmp(ADOConnectionMAIN, VersionStatement());

  const auto began = std::chrono::steady_clock::now();
  const std::string message = test::MessageOf<EDatabaseError>([&] { ReadServerVersion(qryTmp); });
  const auto waited = std::chrono::steady_clock::now() - began;
  EXPECT_THAT(message, StartsWith("[FreeTDS]"));
  // The login limit is 15 s; without it the driver would wait as long as the server.
  EXPECT_GE(waited, std::chrono::seconds(14)) << message;
  EXPECT_LT(waited, std::chrono::seconds(45)) << message;
  EXPECT_FALSE(ADOConnectionMAIN.Connected());
}

}  // namespace
}  // namespace pravik
