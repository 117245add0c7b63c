// The staged rollout: the bucket of a workstation, the named list, the share, and whether a
// workstation takes a new version.
#include "app/Rollout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace pravik::app {
namespace {

struct BucketCase {
  const char* Name;
  std::string Computer, Version;
  int Bucket;  // worked out apart from the program, with Python's hashlib
  friend void PrintTo(const BucketCase& c, std::ostream* os) { *os << c.Name; }
};

class RolloutBucketTest : public ::testing::TestWithParam<BucketCase> {};

TEST_P(RolloutBucketTest, IsTheDigestOfTheUpperCaseNameASeparatorAndTheVersion) {
  EXPECT_EQ(RolloutBucket(GetParam().Computer, GetParam().Version), GetParam().Bucket);
}

INSTANTIATE_TEST_SUITE_P(
    Known, RolloutBucketTest,
    ::testing::Values(BucketCase{"Pharmacy", "PHARMACY-001", "0408", 89},
                      BucketCase{"LowerCaseNameAlike", "pharmacy-001", "0408", 89},
                      BucketCase{"NextVersion", "PHARMACY-001", "0409", 83},
                      BucketCase{"Office", "OFFICE", "0408", 63},
                      BucketCase{"DottedVersion", "WS17", "2.3.1", 55},
                      BucketCase{"KoreanName", "\xB0\xA1\xB3\xAAPC", "0408", 54},
                      BucketCase{"NothingAtAll", "", "", 4},
                      BucketCase{"LongestName", std::string(15, 'X'), "0408", 26}),
    [](const ::testing::TestParamInfo<BucketCase>& info) { return std::string(info.param.Name); });

std::vector<std::string> GeneratedFleet(int size) {
  std::vector<std::string> names;
  for (int i = 0; i < size; ++i) names.push_back("PRAVIK-" + std::to_string(100000 + i * 7919 % 900000));
  return names;
}

int Taking(const std::vector<std::string>& fleet, const std::string& version, int percentage) {
  int taking = 0;
  for (const std::string& name : fleet) taking += RolloutVerdict(name, version, std::to_string(percentage), {}).Takes;
  return taking;
}

// Over a fleet of 10,000 the share that takes a version is the share asked for, within 2
// points, for each version alike.
TEST(RolloutShareOfFleetTest, TheShareTakingItIsTheShareAskedFor) {
  const std::vector<std::string> fleet = GeneratedFleet(10000);
  for (const char* version : {"0408", "0409", "2.3.1"}) {
    for (const int percentage : {1, 10, 50, 90}) {
      const double share = 100.0 * Taking(fleet, version, percentage) / static_cast<double>(fleet.size());
      EXPECT_LE(std::abs(share - percentage), 2.0) << version << " at " << percentage << " %: " << share << " %";
    }
    EXPECT_EQ(Taking(fleet, version, 0), 0);
    EXPECT_EQ(Taking(fleet, version, 100), static_cast<int>(fleet.size()));
  }
}

// Raising the share never drops a workstation that had the version; a new version picks
// another first share.
TEST(RolloutShareOfFleetTest, RaisingKeepsEveryoneInAndANewVersionReshuffles) {
  const std::vector<std::string> fleet = GeneratedFleet(10000);
  int inBoth = 0, inFirst = 0;
  for (const std::string& name : fleet) {
    bool had = false;
    for (int percentage = 0; percentage <= 100; percentage += 5) {
      const bool takes = RolloutVerdict(name, "0408", std::to_string(percentage), {}).Takes;
      ASSERT_TRUE(takes || !had) << name << " dropped at " << percentage << " %";
      had = takes;
    }
    const bool first = RolloutVerdict(name, "0408", "10", {}).Takes;
    inFirst += first;
    inBoth += first && RolloutVerdict(name, "0409", "10", {}).Takes;
  }
  // Independent draws: about a tenth of the first share, not the same workstations again.
  EXPECT_LT(inBoth, inFirst / 4) << inBoth << " of " << inFirst;
}

struct NamedCase {
  const char* Name;
  std::string List;
  bool Named;
  friend void PrintTo(const NamedCase& c, std::ostream* os) { *os << c.Name; }
};

class RolloutNamedTest : public ::testing::TestWithParam<NamedCase> {};

TEST_P(RolloutNamedTest, FindsWholeNamesWhateverTheirCase) {
  EXPECT_EQ(NamedInList(GetParam().List, "PHARMACY-001"), GetParam().Named);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, RolloutNamedTest,
    ::testing::Values(NamedCase{"Alone", "PHARMACY-001", true}, NamedCase{"LowerCase", "pharmacy-001", true},
                      NamedCase{"AmongCommas", "OFFICE,Pharmacy-001,TEST", true},
                      NamedCase{"AmongBlanksAndCommas", " OFFICE ,\tpharmacy-001\r\n TEST ", true},
                      NamedCase{"AnotherThatBeginsAlike", "PHARMACY-0012, PHARMACY-00", false},
                      NamedCase{"InsideAnother", "XPHARMACY-001", false}, NamedCase{"Empty", "", false},
                      NamedCase{"OnlySeparators", " , ,, ", false}),
    [](const ::testing::TestParamInfo<NamedCase>& info) { return std::string(info.param.Name); });

struct ShareCase {
  const char* Name;
  std::optional<std::string> Text;
  int Percentage;
  bool Malformed;
  friend void PrintTo(const ShareCase& c, std::ostream* os) { *os << c.Name; }
};

class RolloutShareTest : public ::testing::TestWithParam<ShareCase> {};

TEST_P(RolloutShareTest, TakesWholeNumbersFromZeroToAHundredOnly) {
  const TRolloutShare share = RolloutShare(GetParam().Text);
  EXPECT_EQ(share.Percentage, GetParam().Percentage);
  EXPECT_EQ(!share.Fault.empty(), GetParam().Malformed) << share.Fault;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RolloutShareTest,
    ::testing::Values(ShareCase{"NoRowOrNull", std::nullopt, 100, false}, ShareCase{"Empty", "", 100, false},
                      ShareCase{"Blank", "  ", 100, false}, ShareCase{"Zero", "0", 0, false},
                      ShareCase{"Ten", "10", 10, false}, ShareCase{"Hundred", "100", 100, false},
                      ShareCase{"BlanksAround", " \t25 ", 25, false}, ShareCase{"LeadingZero", "050", 50, false},
                      ShareCase{"OverAHundred", "101", 0, true}, ShareCase{"Negative", "-5", 0, true},
                      ShareCase{"Fraction", "12.5", 0, true}, ShareCase{"PercentSign", "10%", 0, true},
                      ShareCase{"Word", "ten", 0, true}, ShareCase{"Huge", "99999999999999999999", 0, true},
                      ShareCase{"BlankInside", "1 0", 0, true}),
    [](const ::testing::TestParamInfo<ShareCase>& info) { return std::string(info.param.Name); });

TEST(RolloutVerdictTest, NamedWorkstationsTakeItAtAnyShareAndTheReasonSaysWhy) {
  // PHARMACY-001's bucket for 0408 is 89.
  TRolloutVerdict verdict = RolloutVerdict("PHARMACY-001", "0408", "10", std::nullopt);
  EXPECT_FALSE(verdict.Takes);
  EXPECT_EQ(verdict.Reason, "held back by the rollout: bucket 89 at 10 %");
  verdict = RolloutVerdict("PHARMACY-001", "0408", "0", std::string("office, pharmacy-001"));
  EXPECT_TRUE(verdict.Takes);
  EXPECT_EQ(verdict.Reason, "named in the rollout (bucket 89 at 0 %)");
  EXPECT_EQ(RolloutVerdict("PHARMACY-001", "0408", "90", std::nullopt).Reason, "in the rollout: bucket 89 at 90 %");
  verdict = RolloutVerdict("PHARMACY-001", "0408", "1O", std::nullopt);
  EXPECT_FALSE(verdict.Takes);
  EXPECT_EQ(verdict.Reason,
            "held back by the rollout: bucket 89 at 0 %; the rollout percentage \"1O\" is not a whole number from 0 "
            "to 100, taken as 0 %");
  EXPECT_TRUE(RolloutVerdict("PHARMACY-001", "0408", std::nullopt, std::nullopt).Takes);
}

}  // namespace
}  // namespace pravik::app
