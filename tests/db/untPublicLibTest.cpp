#include "db/untPublicLib.h"

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

// The statement of the FTP host lookup as the download builds it: two blanks after each
// closing quote, the last two at the very end.
constexpr char kHostLookup[] = "Select CODETEXT From MCODEBASE Where CODEID = '760'  and CODE = '001'  ";
constexpr char kDirectoryLookup[] =
    "Select CODETEXT From MCODEBASE Where CODEID = '760'  and CODE = '999'  ";

std::string Repeated(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

struct LookupCase {
  const char* name;
  std::vector<std::string> rows;
  std::string statement;
  std::string expected;
};

// Names the row where GoogleTest would print its bytes.
void PrintTo(const LookupCase& row, std::ostream* out) { *out << row.name; }

class GetSqlValueTest : public ::testing::TestWithParam<LookupCase> {
 protected:
  TADOConnection ADOConnectionMAIN;
  TADOQuery qryTmp{ADOConnectionMAIN};
};

TEST_P(GetSqlValueTest, GivesTheFirstColumnOfTheFirstRowAsText) {
  test::CreateCentralDatabase(GetParam().rows);
  std::string result = "left over";
  GetSqlValue(GetParam().statement, qryTmp, result);
  EXPECT_EQ(result, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lookups, GetSqlValueTest,
    ::testing::Values(
        LookupCase{"HostByTheDownloadsStatement",
                   {"Insert Into MCODEBASE Values ('760', '002', 'pravik')",
                    "Insert Into MCODEBASE Values ('760', '001', '127.0.0.1')"},
                   kHostLookup,
                   "127.0.0.1"},
        LookupCase{"NoRowForTheCode", {"Insert Into MCODEBASE Values ('761', '001', 'other')"},
                   kHostLookup, ""},
        LookupCase{"EmptyTextIsNotNull", {"Insert Into MCODEBASE Values ('760', '999', '')"},
                   kDirectoryLookup, ""},
        LookupCase{"SeveralRowsGiveTheFirstDelivered",
                   {"Insert Into MCODEBASE Values ('760', '999', '/first')",
                    "Insert Into MCODEBASE Values ('760', '999', '/second')"},
                   kDirectoryLookup,
                   "/first"},
        LookupCase{"NumberAsText", {"Insert Into MCODEBASE Values ('760', '999', 21)"},
                   kDirectoryLookup, "21"},
        // UTF-8 in the database, code page 949 in the program.
        LookupCase{"KoreanTextArrivesAsCp949",
                   {"Insert Into MCODEBASE Values ('760', '001', CAST(X'ED9484EB9DBCEBB985' AS TEXT))"},
                   kHostLookup,
                   "\xC7\xC1\xB6\xF3\xBA\xF2"},
        LookupCase{"CharacterOutsideCp949BecomesQuestionMark",
                   {"Insert Into MCODEBASE Values ('760', '001', CAST(X'61E0B88162' AS TEXT))"},
                   kHostLookup,
                   "a?b"},
        // Longer than one piece of the driver's wide text.
        LookupCase{"LongValueArrivesWhole",
                   {"Insert Into MCODEBASE Values ('760', '999', replace(hex(zeroblob(1500)), '00', 'ab'))"},
                   kDirectoryLookup,
                   Repeated("ab", 1500)}),
    [](const auto& info) { return info.param.name; });

class GetSqlValueErrorTest : public GetSqlValueTest {};

TEST_F(GetSqlValueErrorTest, NullRaisesInvalidVariantTypeConversion) {
  test::CreateCentralDatabase({"Insert Into MCODEBASE Values ('760', '001', NULL)"});
  std::string result = "left over";
  EXPECT_EQ(test::MessageOf<EVariantError>([&] { GetSqlValue(kHostLookup, qryTmp, result); }),
            "Invalid variant type conversion");
  EXPECT_EQ(result, "left over");
}

// The driver quotes an unterminated text literal up to the end of the statement.
TEST_F(GetSqlValueErrorTest, OneTextIsSentAsOneLineFollowedByCrLf) {
  test::CreateCentralDatabase();
  std::string result;
  EXPECT_THAT(test::MessageOf<EDatabaseError>([&] { GetSqlValue("Select 'abc", qryTmp, result); }),
              ::testing::HasSubstr("\"'abc\r\n\""));
}

TEST_F(GetSqlValueErrorTest, MissingTableRaisesTheDriversText) {
  test::CreateCentralDatabase({"Drop Table MCODEBASE"});
  std::string result;
  EXPECT_THAT(test::MessageOf<EDatabaseError>([&] { GetSqlValue(kHostLookup, qryTmp, result); }),
              ::testing::HasSubstr("no such table: MCODEBASE"));
}

}  // namespace
}  // namespace pravik
