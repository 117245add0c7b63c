#include "db/TADOQuery.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "db/EDatabaseError.h"
#include "db/TADOConnection.h"
#include "tests/support/ErrorMessage.h"
#include "tests/db/TestDatabase.h"

namespace pravik {
namespace {

using ::testing::HasSubstr;

class TADOQueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::CreateCentralDatabase({"Insert Into MVERCHKMESSAGECLIENT Values ('0408')"});
  }
  TADOConnection connection_;
};

// The driver quotes an unterminated text literal up to the end of the statement, so its
// message shows the line ends exactly as they were sent.
TEST_F(TADOQueryTest, SendsEachLineFollowedByCrLf) {
  TADOQuery query(connection_, {"Select 'one", "two"});
  EXPECT_THAT(test::MessageOf<EDatabaseError>([&] { query.Open(); }),
              HasSubstr("\"'one\r\ntwo\r\n\""));
  EXPECT_FALSE(query.Active());
}

TEST_F(TADOQueryTest, FieldByNameIgnoresLetterCaseAndNamesAMissingField) {
  TADOQuery query(connection_, {"Select chkversion", "From MVERCHKMESSAGECLIENT"});
  query.Open();
  EXPECT_EQ(query.FieldByName("CHKVERSION").AsString(), "0408");
  EXPECT_EQ(test::MessageOf<EDatabaseError>([&] { query.FieldByName("CODETEXT"); }),
            "Field 'CODETEXT' not found");
}

}  // namespace
}  // namespace pravik
