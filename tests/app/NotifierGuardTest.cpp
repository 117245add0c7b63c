// The guarded starts of the notifier: the previous program kept by the download's check, the
// rollback after a new program that does not start (its steps and their order), a workstation
// with nothing to go back to, a previous program that cannot be put back, and the held
// version. Real files in a test folder; the processes, the wait and the clock are doubles.
#include "app/NotifierGuard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/HeldVersion.h"
#include "ftp/IdFileSystem.h"
#include "tests/app/NotifierDoubles.h"
#include "tests/support/TestFolder.h"

namespace pravik::app {
namespace {

using std::chrono::milliseconds;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using test::TProcessScript;

const std::string kHash = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";

using test::RecordingLog;

// The download's own checks: passing, or refusing as a wrong file would be.
class StubCheck : public TIdRetrievalCheck {
 public:
  void Consume(const void*, std::int32_t) override {}
  void Verify(const std::string&, std::int64_t) override {
    if (Refuses) throw std::runtime_error("SHA-256 check: refused");
  }
  bool Refuses = false;
};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}
void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class NotifierGuardTest : public ::testing::Test {
 protected:
  NotifierGuardTest() {
    Notifier.ReadProgram = [this] { return ReadFile(Program); };
    Guard.Configure(std::string("ON"), "0408");
  }

  // What the download does up to the replace: the checks (with the keeping of the
  // previous program), then the new program in place.
  void Download(const std::optional<std::string>& published = std::nullopt) {
    StubCheck check;
    TIdRetrievalCheck* guarded = Guard.Keeping(check, published);
    guarded->Verify(Program.string() + ".download", 3);
    WriteFile(Program.string() + ".download", "new");
    ASSERT_TRUE(ReplaceFileWith(Program.string(), Program.string() + ".download"));
  }
  std::optional<THeldVersion> Held() const { return ReadHeldVersion(HeldFile.string()); }

  pravik::test::TTestFolder Folder{"guard"};
  const std::filesystem::path Program = Folder.Path / "PravikNW.exe";
  const std::filesystem::path Previous = Folder.Path / "PravikNW.exe.previous";
  const std::filesystem::path HeldFile = Folder.Path / "PravikFtp.held";
  std::vector<std::string> Events;
  test::FakeClock Clock;
  test::ScriptedNotifier Notifier{Events, Clock};
  RecordingLog Log;
  TNotifierGuard Guard{Notifier, Clock, Clock, Log, Program.string(), HeldFile.string()};
};

TEST_F(NotifierGuardTest, NewProgramThatStartsIsKeptWithThePreviousBesideItAndNothingHeld) {
  WriteFile(Program, "old");
  WriteFile(Previous, "older");
  WriteFile(HeldFile, HeldVersionText({"0407", "", "2026-12-10 08:00:00"}));
  Notifier.Scripts = {test::Healthy()};
  Download();

  EXPECT_EQ(Guard.StartReplaced(5), TReplacedStart::Passed);
  EXPECT_EQ(ReadFile(Program), "new");
  // One generation: the older program gave way to the one replaced now.
  EXPECT_EQ(ReadFile(Previous), "old");
  EXPECT_FALSE(std::filesystem::exists(Previous.string() + ".new"));
  EXPECT_FALSE(std::filesystem::exists(HeldFile));
  EXPECT_THAT(Events, ElementsAre("start PravikNW.exe 5 (new)"));
  EXPECT_THAT(Log.All(), HasSubstr("(the new program): started, \"PravikNW.exe\" mutex after 200 ms"));
}

TEST_F(NotifierGuardTest, RefusedDownloadKeepsNoPrevious) {
  WriteFile(Program, "old");
  StubCheck check;
  check.Refuses = true;
  EXPECT_THROW(Guard.Keeping(check, std::nullopt)->Verify(Program.string() + ".download", 3), std::runtime_error);
  EXPECT_FALSE(std::filesystem::exists(Previous));
}

struct RollbackCase {
  const char* Name;
  TProcessScript New;
  std::vector<std::string> Events;
  const char* Cause;
};
std::ostream& operator<<(std::ostream& out, const RollbackCase& row) { return out << row.Name; }

class NotifierRollback : public NotifierGuardTest, public ::testing::WithParamInterface<RollbackCase> {};

TEST_P(NotifierRollback, PutsThePreviousProgramBackAndStartsIt) {
  const RollbackCase& row = GetParam();
  WriteFile(Program, "old");
  Notifier.Scripts = {row.New, test::Healthy()};
  Download(" " + kHash.substr(0, 32) + " " + kHash.substr(32));

  EXPECT_EQ(Guard.StartReplaced(5), TReplacedStart::RolledBack);
  EXPECT_EQ(Events, row.Events);
  EXPECT_EQ(ReadFile(Program), "old");
  EXPECT_EQ(Guard.Cause(), row.Cause);
  const std::optional<THeldVersion> held = Held();
  ASSERT_TRUE(held);
  EXPECT_EQ(held->Version, "0408");
  EXPECT_EQ(held->Sha256, kHash);
  EXPECT_EQ(held->Date, "2026-12-11 17:02:11");
  EXPECT_THAT(Log.All(), HasSubstr("Rollback: " + Previous.string() + " put back as " + Program.string()));
  EXPECT_THAT(Log.All(), HasSubstr("(the previous program): started, \"PravikNW.exe\" mutex after 200 ms"));
  EXPECT_THAT(Log.All(), HasSubstr("Rollback done: the previous notifier runs again"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NotifierRollback,
    ::testing::Values(
        RollbackCase{"EndedAtOnce", test::EndsAfter(milliseconds(120), 3),
                     {"start PravikNW.exe 5 (new)", "start PravikNW.exe 5 (old)"},
                     "the new notifier \"0408\" did not start: ended with exit code 3 after 150 ms"},
        // Still running without its mutex: ended, and gone, before its file is replaced.
        RollbackCase{"NoMutex", test::NeverTakesMutex(milliseconds(400)),
                     {"start PravikNW.exe 5 (new)", "terminate new", "start PravikNW.exe 5 (old)"},
                     "the new notifier \"0408\" did not start: no mutex after 30 s"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(NotifierGuardTest, NothingToGoBackToLeavesTheNewProgramAndHoldsItsVersion) {
  WriteFile(Previous, "of some earlier run");
  Notifier.Scripts = {test::EndsAfter(milliseconds(10), 3)};
  Download();

  EXPECT_EQ(Guard.StartReplaced(5), TReplacedStart::Failed);
  EXPECT_EQ(ReadFile(Program), "new");
  EXPECT_EQ(ReadFile(Previous), "of some earlier run");
  EXPECT_THAT(Events, ElementsAre("start PravikNW.exe 5 (new)"));
  EXPECT_EQ(Guard.Cause(), "the new notifier \"0408\" did not start: ended with exit code 3 after 50 ms");
  ASSERT_TRUE(Held());
  EXPECT_EQ(Held()->Sha256, "");
  EXPECT_THAT(Log.All(), HasSubstr("there is no previous program to go back to, the new one stays"));
}

TEST_F(NotifierGuardTest, PreviousThatCannotBePutBackLeavesTheNewProgram) {
  WriteFile(Program, "old");
  Notifier.Scripts = {test::EndsAfter(milliseconds(10), 3)};
  Download();
  // Gone by the time it is needed (an administrator, a virus scanner).
  Notifier.OnStart = [this] { std::filesystem::remove(Previous); };

  EXPECT_EQ(Guard.StartReplaced(5), TReplacedStart::NotPutBack);
  EXPECT_EQ(ReadFile(Program), "new");
  EXPECT_THAT(Guard.Cause(), HasSubstr("the previous program " + Previous.string() + " could not be put back"));
  EXPECT_THAT(Log.All(), HasSubstr("Rollback failed: "));
  EXPECT_TRUE(Held());
}

TEST_F(NotifierGuardTest, StoppedNotifierIsWaitedForBeforeTheNextStart) {
  Notifier.AlreadyRunning(milliseconds(300));
  std::unique_ptr<INotifierProcess> owner = Guard.OwnerBeforeStop("PravikNW");
  Notifier.TerminateWindowOwner("PravikNW");
  Guard.WaitUntilStopped(std::move(owner));
  EXPECT_THAT(Log.Lines, ElementsAre(HasSubstr("Start check on"), "The stopped notifier was gone after 300 ms"));

  Notifier.AlreadyRunning(std::nullopt);
  owner = Guard.OwnerBeforeStop("PravikNW");
  Notifier.TerminateWindowOwner("PravikNW");
  Guard.WaitUntilStopped(std::move(owner));
  EXPECT_EQ(Log.Lines.back(), "The stopped notifier was still there after 5000 ms; starting anyway");
}

TEST_F(NotifierGuardTest, OffItStartsNothingKeepsNothingAndHoldsNothing) {
  Guard.Configure(std::nullopt, "0408");
  WriteFile(Program, "old");
  WriteFile(HeldFile, HeldVersionText({"0408", "", "2026-12-10 08:00:00"}));
  StubCheck check;
  EXPECT_EQ(Guard.Keeping(check, std::nullopt), &check);
  EXPECT_FALSE(Guard.StartChecked(5));
  EXPECT_FALSE(Guard.Holds([] { return std::nullopt; }));
  EXPECT_EQ(Guard.OwnerBeforeStop("PravikNW"), nullptr);
  EXPECT_TRUE(Events.empty());
}

struct HeldCase {
  const char* Name;
  std::optional<std::string> File;  // the held record's text; nullopt: no file
  const char* Version;
  std::optional<std::string> Published;
  bool Holds;
};
std::ostream& operator<<(std::ostream& out, const HeldCase& row) { return out << row.Name; }

class HeldVersionRule : public NotifierGuardTest, public ::testing::WithParamInterface<HeldCase> {};

TEST_P(HeldVersionRule, HoldsOnlyTheVersionAndHashThatFailed) {
  const HeldCase& row = GetParam();
  if (row.File) WriteFile(HeldFile, *row.File);
  Guard.Configure(std::string(" on "), row.Version);
  int lookups = 0;
  EXPECT_EQ(Guard.Holds([&] {
              ++lookups;
              return row.Published;
            }),
            row.Holds);
  // The code table is asked for the hash only where a version is held.
  EXPECT_EQ(lookups, row.File && ParseHeldVersion(*row.File) ? 1 : 0);
  if (row.Holds) {
    EXPECT_EQ(Guard.HeldRecord().Date, "2026-12-11 08:00:00");
    EXPECT_THAT(Log.Lines.back(), HasSubstr("its start failed here on 2026-12-11 08:00:00"));
    EXPECT_THAT(Log.Lines.back(), HasSubstr("delete " + HeldFile.string() + " to try it again"));
  }
}

const std::string kHeldWithHash = HeldVersionText({"0408", kHash, "2026-12-11 08:00:00"});
const std::string kHeldWithoutHash = HeldVersionText({"0408", "", "2026-12-11 08:00:00"});

INSTANTIATE_TEST_SUITE_P(
    Cases, HeldVersionRule,
    ::testing::Values(HeldCase{"SameVersionAndHash", kHeldWithHash, "0408", kHash, true},
                      HeldCase{"SameHashWrittenInGroupsAndUpperCase", kHeldWithHash, "0408",
                               "9F86D081 884C7D65 9A2FEAA0 C55AD015 A3BF4F1B 2B0B822C D15D6C15 B0F00A08", true},
                      HeldCase{"NewVersion", kHeldWithHash, "0409", kHash, false},
                      HeldCase{"NewHash", kHeldWithHash, "0408", std::string(64, 'a'), false},
                      HeldCase{"HashNoLongerPublished", kHeldWithHash, "0408", std::nullopt, false},
                      HeldCase{"SameVersionNoHashEither", kHeldWithoutHash, "0408", std::nullopt, true},
                      HeldCase{"HashPublishedSince", kHeldWithoutHash, "0408", kHash, false},
                      HeldCase{"LineFeedsOnly", std::string("version=0408\nsha256=\ndate=2026-12-11 08:00:00\n"),
                               "0408", std::nullopt, true},
                      HeldCase{"NoFile", std::nullopt, "0408", kHash, false},
                      HeldCase{"NotARecord", std::string("garbage"), "0408", std::nullopt, false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(StartCheckSetting, OnlyOnSwitchesItOn) {
  EXPECT_EQ(StartCheckSetting(std::string("ON")), true);
  EXPECT_EQ(StartCheckSetting(std::string(" on\t")), true);
  EXPECT_EQ(StartCheckSetting(std::string("Off")), false);
  EXPECT_EQ(StartCheckSetting(std::string("")), false);
  EXPECT_EQ(StartCheckSetting(std::nullopt), false);
  EXPECT_EQ(StartCheckSetting(std::string("yes")), std::nullopt);
}

}  // namespace
}  // namespace pravik::app
