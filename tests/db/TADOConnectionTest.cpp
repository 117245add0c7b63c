#include "db/TADOConnection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "db/ServerVersion.h"
#include "db/TADOQuery.h"
#include "db/untPublicLib.h"
#include "tests/db/TestDatabase.h"

namespace pravik {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

TEST(TADOConnectionTest, ConnectionStringIsTheCentralDatabaseLogin) {
  const TADOConnection connection("dbhost");
  const std::string text = connection.ConnectionString();
  const std::string head =
      "Driver={SQL Server};Server=dbhost;Database=PravikALL;UID=pravik;PWD=73quenda18;WSID=";
  const std::string tail = ";UseProcForPrepare=1;AutoTranslate=yes;Encrypt=no";
  ASSERT_THAT(text, StartsWith(head));
  ASSERT_THAT(text, EndsWith(tail));
  ASSERT_GT(text.size(), head.size() + tail.size()) << "no workstation name";
  EXPECT_THAT(text.substr(head.size(), text.size() - head.size() - tail.size()), Not(HasSubstr(";")));

  EXPECT_THAT(TADOConnection().ConnectionString(), HasSubstr(";Server=" PRAVIK_DB_SERVER ";"));
}

TEST(TADOConnectionTest, ConnectsAtTheFirstQueryAndStaysConnected) {
  test::CreateCentralDatabase({
      "Insert Into MVERCHKMESSAGECLIENT Values ('0408')",
      "Insert Into MCODEBASE Values ('760', '001', '127.0.0.1')",
      "Insert Into MCODEBASE Values ('760', '002', 'pravik')",
  });
  TADOConnection ADOConnectionMAIN;
  TADOQuery qryTmp(ADOConnectionMAIN, VersionStatement());
  EXPECT_FALSE(ADOConnectionMAIN.Connected());

  EXPECT_EQ(ReadServerVersion(qryTmp), "0408");
  EXPECT_TRUE(ADOConnectionMAIN.Connected());

  // The open connection keeps the moved file; connecting again would make a new, empty
  // PravikALL in which the lookups find no table.
  const std::string moved = std::string(test::kDatabaseFile) + ".moved";
  std::filesystem::remove(moved);
  std::filesystem::rename(test::kDatabaseFile, moved);
  std::string value;
  GetSqlValue("Select CODETEXT From MCODEBASE Where CODEID = '760'  and CODE = '001'  ", qryTmp, value);
  EXPECT_EQ(value, "127.0.0.1");
  GetSqlValue("Select CODETEXT From MCODEBASE Where CODEID = '760'  and CODE = '002'  ", qryTmp, value);
  EXPECT_EQ(value, "pravik");
  EXPECT_FALSE(std::filesystem::exists(test::kDatabaseFile));
}

}  // namespace
}  // namespace pravik
