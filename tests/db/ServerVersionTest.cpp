#include "db/ServerVersion.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "db/EDatabaseError.h"
#include "db/TADOConnection.h"
#include "db/TADOQuery.h"
#include "tests/support/ErrorMessage.h"
#include "tests/db/TestDatabase.h"

namespace pravik {
namespace {

struct VersionCase {
  const char* name;
  std::vector<std::string> rows;
  std::string expected;
};

// Names the row where GoogleTest would print its bytes.
void PrintTo(const VersionCase& row, std::ostream* out) { *out << row.name; }

class ServerVersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(ServerVersionTest, ReadsTheFirstRowAsText) {
  test::CreateCentralDatabase(GetParam().rows);
  TADOConnection ADOConnectionMAIN;
  TADOQuery qryTmp(ADOConnectionMAIN, VersionStatement());
  EXPECT_EQ(ReadServerVersion(qryTmp), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, ServerVersionTest,
    ::testing::Values(
        VersionCase{"OneRow", {"Insert Into MVERCHKMESSAGECLIENT Values ('0408')"}, "0408"},
        VersionCase{"NoRow", {}, ""},
        VersionCase{"Null", {"Insert Into MVERCHKMESSAGECLIENT Values (NULL)"}, ""},
        VersionCase{"SeveralRowsGiveTheFirstDelivered",
                    {"Insert Into MVERCHKMESSAGECLIENT Values ('0408')",
                     "Insert Into MVERCHKMESSAGECLIENT Values ('0409')"},
                    "0408"},
        VersionCase{"NumberAsText", {"Insert Into MVERCHKMESSAGECLIENT Values (408)"}, "408"}),
    [](const auto& info) { return info.param.name; });

TEST(ServerVersionMissingTableTest, RaisesTheDriversText) {
  test::CreateCentralDatabase({"Drop Table MVERCHKMESSAGECLIENT"});
  TADOConnection ADOConnectionMAIN;
  TADOQuery qryTmp(ADOConnectionMAIN, VersionStatement());
  EXPECT_THAT(test::MessageOf<EDatabaseError>([&] { ReadServerVersion(qryTmp); }),
              ::testing::HasSubstr("no such table: MVERCHKMESSAGECLIENT"));
}

}  // namespace
}  // namespace pravik
