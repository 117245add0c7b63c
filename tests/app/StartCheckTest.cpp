// The start check over a scripted notifier and a fake clock: when the mutex comes, when the
// process ends first, when neither happens within the 30 s.
#include "app/StartCheck.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/app/NotifierDoubles.h"

namespace pravik::app {
namespace {

using std::chrono::milliseconds;
using test::TProcessScript;

struct StartCase {
  const char* Name;
  std::optional<TProcessScript> Script;  // nullopt: the system does not start it
  bool ForeignMutex;
  bool Passed;
  const char* Finding;
  milliseconds Took;
  bool ProcessLeft;  // the check hands over a process that may still run
};

std::ostream& operator<<(std::ostream& out, const StartCase& row) { return out << row.Name; }

class StartCheckOutcome : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartCheckOutcome, FindsWhatTheProcessDid) {
  const StartCase& row = GetParam();
  std::vector<std::string> events;
  test::FakeClock clock;
  test::ScriptedNotifier notifier(events, clock);
  notifier.ForeignMutex = row.ForeignMutex;
  if (row.Script) notifier.Scripts.push_back(*row.Script);
  TStartCheck check(notifier, clock, clock);

  const TStartCheckResult result = check.Start("PravikNW.exe", 5, "PravikNW.exe");
  EXPECT_EQ(result.Started, row.Script.has_value());
  EXPECT_EQ(result.Passed, row.Passed);
  EXPECT_EQ(result.Finding, row.Finding);
  EXPECT_EQ(result.Took, row.Took);
  EXPECT_EQ(result.Process != nullptr, row.ProcessLeft);
  EXPECT_EQ(events, std::vector<std::string>{"start PravikNW.exe 5"});
  // The wait never oversleeps the limit.
  EXPECT_LE(clock.Time - milliseconds(1000), TStartCheck::kMutexLimit);
}

const StartCase kStartCases[] = {
    {"MutexAtOnce", test::TakesMutexAfter(milliseconds(0)), false, true, "mutex after 0 ms", milliseconds(0), true},
    {"MutexAfterADelay", test::TakesMutexAfter(milliseconds(8000)), false, true, "mutex after 8000 ms", milliseconds(8000),
     true},
    {"MutexJustInTime", test::TakesMutexAfter(milliseconds(30000)), false, true, "mutex after 30 s", milliseconds(30000),
     true},
    {"NoMutexEver", test::NeverTakesMutex(), false, false, "no mutex after 30 s", milliseconds(30000), true},
    {"EndsEarly", test::EndsAfter(milliseconds(120), 3), false, false,
     "ended with exit code 3 after 150 ms", milliseconds(150), false},
    // Its mutex for a moment does not make a program that then ends a running one: the end
    // is looked at first.
    {"EndsAtOnceWithExitCodeZero", test::EndsAfter(milliseconds(0), 0), false, false,
     "ended with exit code 0 after 0 ms", milliseconds(0), false},
    // Another instance's mutex is not this one's: the new one leaves, as it should.
    {"AnotherInstanceHoldsTheMutex", test::EndsAfter(milliseconds(40), 1), true, false,
     "ended with exit code 1 after 50 ms", milliseconds(50), false},
    {"AnotherInstanceAndThisOneRuns", test::TakesMutexAfter(milliseconds(0)), true, false,
     "no mutex after 30 s (another instance held it before the start)", milliseconds(30000), true},
    {"NotStarted", std::nullopt, false, false, "not started, system error 2", milliseconds(0), false},
};

INSTANTIATE_TEST_SUITE_P(Cases, StartCheckOutcome, ::testing::ValuesIn(kStartCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(StartCheck, WaitsForAnEndedProcessToBeGoneAtMostFiveSeconds) {
  std::vector<std::string> events;
  test::FakeClock clock;
  test::ScriptedNotifier notifier(events, clock);
  TStartCheck check(notifier, clock, clock);

  notifier.AlreadyRunning(milliseconds(300));
  std::unique_ptr<INotifierProcess> slow = notifier.WindowOwner("PravikNW");
  notifier.TerminateWindowOwner("PravikNW");
  const milliseconds began = clock.Time;
  EXPECT_TRUE(check.WaitUntilGone(*slow));
  EXPECT_EQ(clock.Time - began, milliseconds(300));

  notifier.AlreadyRunning(std::nullopt);
  std::unique_ptr<INotifierProcess> stuck = notifier.WindowOwner("PravikNW");
  const milliseconds again = clock.Time;
  EXPECT_FALSE(check.End(*stuck));
  EXPECT_EQ(clock.Time - again, TStartCheck::kGoneLimit);
  EXPECT_EQ(events.back(), "terminate before");
}

TEST(StartCheck, DurationsUnderTenSecondsInMillisecondsElseWholeSeconds) {
  EXPECT_EQ(DurationText(milliseconds(120)), "120 ms");
  EXPECT_EQ(DurationText(milliseconds(9999)), "9999 ms");
  EXPECT_EQ(DurationText(milliseconds(30000)), "30 s");
  EXPECT_EQ(DurationText(milliseconds(12345)), "12345 ms");
}

}  // namespace
}  // namespace pravik::app
