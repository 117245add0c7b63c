#include "db/TADOCommand.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "db/EDatabaseError.h"
#include "db/TADOConnection.h"
#include "db/TADOQuery.h"
#include "tests/db/TestDatabase.h"

namespace pravik {
namespace {

using ::testing::HasSubstr;

class TADOCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::CreateCentralDatabase({"Create Table T (NAME Text, COUNT Integer, NOTE Text)"});
  }
  std::string Select(const std::string& statement) {
    TADOQuery query(connection_, {statement});
    query.Open();
    return query.IsEmpty() ? "no row" : query.Fields(0).IsNull() ? "NULL" : query.Fields(0).AsString();
  }
  TADOConnection connection_;
};

// Values travel apart from the statement: a text that is SQL stays text, Korean stays
// Korean, NULL stays NULL.
TEST_F(TADOCommandTest, BindsTextNumbersAndNullInOrder) {
  TADOCommand insert(connection_, "Insert Into T (NAME, COUNT, NOTE) Values (?, ?, ?)");
  const std::string sql = "0408'); Drop Table T; --";
  const std::string korean = "\xBE\xE0\xB1\xB9 \xC7\xC1\xB6\xF3\xBA\xF2";  // 약국 프라빅
  EXPECT_EQ(insert.Execute({TParameter::Text(sql), TParameter::Integer(-1234567890123LL),
                            TParameter::Text(std::nullopt)}),
            1);
  EXPECT_EQ(insert.Execute({TParameter::Text(korean), TParameter::Integer(std::nullopt), TParameter::Text("")}), 1);
  EXPECT_EQ(Select("Select Count(*) From T"), "2");
  EXPECT_EQ(Select("Select COUNT From T Where NAME = '0408''); Drop Table T; --'"), "-1234567890123");
  EXPECT_EQ(Select("Select NOTE From T Where COUNT = -1234567890123"), "NULL");
  EXPECT_EQ(Select("Select NAME From T Where COUNT Is Null"), korean);
  EXPECT_EQ(Select("Select Length(NOTE) From T Where COUNT Is Null"), "0");
}

TEST_F(TADOCommandTest, ARefusedStatementRaisesTheDriversTextAndState) {
  test::CreateCentralDatabase({"Create Table T (NAME Text Not Null)",
                               "Create Trigger NoRows Before Insert On T Begin Select Raise(Abort, 'no rows here'); End"});
  TADOCommand insert(connection_, "Insert Into T (NAME) Values (?)");
  try {
    insert.Execute({TParameter::Text("x")});
    FAIL() << "the trigger let the row in";
  } catch (const EDatabaseError& error) {
    EXPECT_THAT(error.Message(), HasSubstr("no rows here"));
    EXPECT_FALSE(error.SqlState.empty());
  }
  EXPECT_THROW(TADOCommand(connection_, "Insert Into T (NAME) Values (?)").Execute({TParameter::Text(std::nullopt)}),
               EDatabaseError);
}

TEST_F(TADOCommandTest, UpdateThatTouchesNoRowCountsNone) {
  TADOCommand update(connection_, "Update T Set COUNT = ? Where NAME = ?");
  EXPECT_EQ(update.Execute({TParameter::Integer(1), TParameter::Text("nobody")}), 0);
}

// The catalogue answers, not an error provoked by a statement on a missing table.
TEST_F(TADOCommandTest, TableExistsAsksTheCatalogue) {
  test::CreateCentralDatabase({"Create Table MVERCHKRESULT (WORKSTATION Text)", "Create Table MVERCHK_RESULTS (A)",
                               "Create View VVERCHKRESULT As Select * From MVERCHKRESULT"});
  EXPECT_TRUE(connection_.TableExists("MVERCHKRESULT", 5));
  EXPECT_TRUE(connection_.TableExists("mverchkresult", 5));
  // "_" is a wildcard to the catalogue; only the name itself counts.
  EXPECT_FALSE(connection_.TableExists("MVERCHK_RESULT", 5));
  EXPECT_TRUE(connection_.TableExists("MVERCHK_RESULTS", 5));
  // A view is not the table.
  EXPECT_FALSE(connection_.TableExists("VVERCHKRESULT", 5));
  EXPECT_FALSE(connection_.TableExists("MISSING", 5));
  EXPECT_TRUE(connection_.Connected());
}

}  // namespace
}  // namespace pravik
