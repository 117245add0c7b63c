// The demo database of tools/demo-db, read the way the program reads it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "db/ServerVersion.h"
#include "db/TADOConnection.h"
#include "db/TADOQuery.h"
#include "db/untPublicLib.h"

namespace pravik {
namespace {

std::string Lookup(TADOQuery& query, const std::string& code) {
  std::string value;
  GetSqlValue("Select CODETEXT From MCODEBASE Where CODEID = '760'  and CODE = '" + code + "'  ",
              query, value);
  return value;
}

TEST(DemoDatabaseTest, HoldsTheVersionAndTheFtpSettings) {
  ASSERT_EQ(std::system("'" PRAVIK_DEMO_DB_SCRIPT "' PravikALL"), 0);
  TADOConnection ADOConnectionMAIN;
  TADOQuery qryTmp(ADOConnectionMAIN, VersionStatement());
  EXPECT_EQ(ReadServerVersion(qryTmp), "0408");
  EXPECT_EQ(Lookup(qryTmp, "001"), "127.0.0.1");
  EXPECT_EQ(Lookup(qryTmp, "002"), "pravik");
  EXPECT_EQ(Lookup(qryTmp, "003"), "73pravik");
  EXPECT_EQ(Lookup(qryTmp, "999"), "/pravik");
}

TEST(DemoDatabaseTest, TakesOtherSettingsAndReplacesAnOldFile) {
  ASSERT_EQ(std::system("'" PRAVIK_DEMO_DB_SCRIPT "' PravikALL"), 0);
  ASSERT_EQ(std::system("'" PRAVIK_DEMO_DB_SCRIPT "' --version 0409 --host 127.0.0.2"
                        " --user demo --password secret --directory / PravikALL"),
            0);
  TADOConnection ADOConnectionMAIN;
  TADOQuery qryTmp(ADOConnectionMAIN, VersionStatement());
  EXPECT_EQ(ReadServerVersion(qryTmp), "0409");
  EXPECT_EQ(Lookup(qryTmp, "001"), "127.0.0.2");
  EXPECT_EQ(Lookup(qryTmp, "002"), "demo");
  EXPECT_EQ(Lookup(qryTmp, "003"), "secret");
  EXPECT_EQ(Lookup(qryTmp, "999"), "/");
}

}  // namespace
}  // namespace pravik
