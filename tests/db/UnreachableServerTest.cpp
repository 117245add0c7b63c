// The program's own driver name bound to FreeTDS, a client of real SQL Servers, pointed at a
// loopback port where none listens.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "db/EDatabaseError.h"
#include "db/ServerVersion.h"
#include "db/TADOConnection.h"
#include "db/TADOQuery.h"
#include "db/untPublicLib.h"
#include "tests/db/ClosedLoopbackPort.h"
#include "tests/support/ErrorMessage.h"

namespace pravik {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

TEST(UnreachableServerTest, FirstQueryRaisesTheDriversTextAndEachQueryTriesAgain) {
  const test::ClosedLoopbackPort port;
  TADOConnection ADOConnectionMAIN("127.0.0.1," + std::to_string(port.Port()));
  TADOQuery qryTmp(ADOConnectionMAIN, VersionStatement());

  const std::string first = test::MessageOf<EDatabaseError>([&] { ReadServerVersion(qryTmp); });
  EXPECT_THAT(first, StartsWith("[FreeTDS]"));
  EXPECT_THAT(first, HasSubstr("Unable to connect: Adaptive Server is unavailable or does not exist"));
  EXPECT_FALSE(ADOConnectionMAIN.Connected());

  std::string result = "left over";
  EXPECT_EQ(test::MessageOf<EDatabaseError>([&] {
              GetSqlValue("Select CODETEXT From MCODEBASE Where CODEID = '760'  and CODE = '001'  ",
                          qryTmp, result);
            }),
            first);
  EXPECT_EQ(result, "left over");
}

}  // namespace
}  // namespace pravik
