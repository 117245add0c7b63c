#include "net/IdGlobal.h"

#include <gtest/gtest.h>

namespace pravik {
namespace {

struct CutCase {
  std::string Input;
  std::string Delimiter;
  bool Delete;
  bool CaseSensitive;
  std::string Token;
  std::string Rest;
};

class CutTokenTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(CutTokenTest, ReturnsTextBeforeDelimiterAndShortensInput) {
  const CutCase& c = GetParam();
  std::string input = c.Input;
  EXPECT_EQ(CutToken(input, c.Delimiter, c.Delete, c.CaseSensitive), c.Token);
  EXPECT_EQ(input, c.Rest);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CutTokenTest,
    ::testing::Values(CutCase{"10.0.0.1", ".", true, true, "10", "0.0.1"},
                      CutCase{"10.0.0.1", ".", false, true, "10", "10.0.0.1"},
                      CutCase{"last", ".", true, true, "last", ""},
                      CutCase{"last", ".", false, true, "last", "last"},
                      CutCase{".lead", ".", true, true, "", "lead"},
                      CutCase{"a,,b", ",,", true, true, "a", "b"},
                      CutCase{"abcXdef", "x", true, true, "abcXdef", ""},
                      CutCase{"abcXdef", "x", true, false, "abc", "def"},
                      CutCase{"", ".", true, true, "", ""}));

TEST(FormatTextTest, FillsPlaceholdersLeftToRight) {
  EXPECT_EQ(FormatText("Socket Error # %d\r\n%s", {"10061", "Connection refused."}),
            "Socket Error # 10061\r\nConnection refused.");
  EXPECT_EQ(FormatText("Invalid Port Range (%d - %d)", {"6000", "5000"}),
            "Invalid Port Range (6000 - 5000)");
  EXPECT_EQ(FormatText("100% done %s", {"now"}), "100% done now");
  EXPECT_EQ(FormatText("Connected.", {""}), "Connected.");
}

TEST(TextToIntTest, ReadsWhatTheRuntimeConversionReads) {
  struct Row {
    const char* Text;
    bool Ok;
    std::int64_t Value;
  } rows[] = {{"0", true, 0},          {"255", true, 255},       {"-1", true, -1},
              {" 7", true, 7},         {"+3", true, 3},          {"$ff", true, 255},
              {"0x10", true, 16},      {"", false, 0},           {"a", false, 0},
              {"1 ", false, 0},        {"4294967296", true, 4294967296LL},
              {"9223372036854775807", true, INT64_MAX},     {"9223372036854775808", false, 0},
              {"-9223372036854775808", true, INT64_MIN}};
  for (const Row& row : rows) {
    std::int64_t value = 0;
    EXPECT_EQ(TryTextToInt64(row.Text, value), row.Ok) << row.Text;
    if (row.Ok) {
      EXPECT_EQ(value, row.Value) << row.Text;
    }
  }
}

// Reply codes and passive-mode numbers: "$E6" must not read as 230, nor "+1" as 1.
TEST(TextToIntTest, DecimalTakesDigitsOnly) {
  struct Row {
    const char* Text;
    bool Ok;
    std::int64_t Value;
  } rows[] = {{"0", true, 0},       {"230", true, 230},  {"007", true, 7},     {"$E6", false, 0},
              {"0x13", false, 0},   {"+1", false, 0},    {"-1", false, 0},     {" 7", false, 0},
              {"7 ", false, 0},     {"", false, 0},      {"2a", false, 0},     {"\xB9\xF6", false, 0},
              {"9223372036854775807", true, INT64_MAX},  {"9223372036854775808", false, 0}};
  for (const Row& row : rows) {
    std::int64_t value = -5;
    EXPECT_EQ(TryDecimalToInt64(row.Text, value), row.Ok) << row.Text;
    EXPECT_EQ(value, row.Ok ? row.Value : -5) << row.Text;
  }
}

}  // namespace
}  // namespace pravik
