// The fleet report over doubles of the database and the clock: what goes where, in which
// order, and within which time; and the pending file as it is written and read back.
#include "app/FleetReport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/ReportQueue.h"
#include "app/RunRecord.h"
#include "db/EDatabaseError.h"
#include "tests/support/TestFolder.h"

namespace pravik::app {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using TClock = std::chrono::steady_clock;

class FakeDatabase : public IReportDatabase {
 public:
  bool TableExists(int timeoutSeconds) override {
    Limits.push_back(timeoutSeconds);
    ++Probes;
    if (OnProbe) OnProbe(timeoutSeconds);
    return Table;
  }
  void Insert(const TReportRow& row, int timeoutSeconds) override {
    Limits.push_back(timeoutSeconds);
    if (OnInsert) OnInsert(row, timeoutSeconds);
    Inserted.push_back(row.RunStarted);
  }
  bool Table = true;
  int Probes = 0;
  std::vector<int> Limits;
  std::vector<std::string> Inserted;
  std::function<void(int)> OnProbe;
  std::function<void(const TReportRow&, int)> OnInsert;
};

class MemoryQueue : public IReportQueue {
 public:
  bool Exists() override { return Present; }
  std::vector<TReportRow> Load() override { return Rows; }
  bool Save(const std::vector<TReportRow>& rows) override {
    Present = true;
    Rows = rows;
    return true;
  }
  void Remove() override {
    Present = false;
    Rows.clear();
  }
  bool Present = false;
  std::vector<TReportRow> Rows;
};

class RecordingLog : public IUpdateLog {
 public:
  void Write(const std::string& text) override { Lines.push_back(text); }
  std::vector<std::string> Lines;
};

// A settled record of a run that started at `started`.
TRunRecord Settled(const std::string& started, bool reached = true, TRunResult result = TRunResult::Current) {
  TRunRecord record;
  record.Workstation = "APT1";
  record.RunStarted = started;
  if (reached) record.ServerVersion = "0408";
  record.Settle(result);
  return record;
}

TReportRow RowStarted(const std::string& started) { return ReportRowOf(Settled(started)); }

class FleetReportTest : public ::testing::Test {
 protected:
  // Each statement takes this long on the fake clock.
  void StatementsTake(std::chrono::seconds each) {
    Database.OnProbe = [this, each](int) { Now += each; };
    Database.OnInsert = [this, each](const TReportRow&, int) { Now += each; };
  }
  std::vector<std::string> Queued() const {
    std::vector<std::string> started;
    for (const TReportRow& row : Queue.Rows) started.push_back(row.RunStarted);
    return started;
  }
  FakeDatabase Database;
  MemoryQueue Queue;
  RecordingLog Log;
  TClock::time_point Now{};
  TFleetReport Report{Database, Queue, Log, "PravikFtp.pending", [this] { return Now; }};
};

TEST_F(FleetReportTest, WritesTheRowWhenTheTableIsThere) {
  Report.Settle(Settled("2026-03-31 08:00:00.000"));
  EXPECT_THAT(Database.Inserted, ElementsAre("2026-03-31 08:00:00.000"));
  EXPECT_THAT(Database.Limits, ElementsAre(5, 5));
  EXPECT_THAT(Log.Lines, ElementsAre("Report: row of current written to MVERCHKRESULT"));
  // From now on a run without the database keeps its row.
  EXPECT_TRUE(Queue.Present);
}

TEST_F(FleetReportTest, WithoutTheTableOneLineAndNothingElse) {
  Database.Table = false;
  Queue.Save({RowStarted("2026-03-01 08:00:00.000")});
  Report.Settle(Settled("2026-03-31 08:00:00.000", true, TRunResult::Failed));
  Report.Settle(Settled("2026-03-31 08:00:00.000", true, TRunResult::Updated));
  EXPECT_EQ(Database.Probes, 1);
  EXPECT_TRUE(Database.Inserted.empty());
  EXPECT_THAT(Log.Lines, ElementsAre("Report: no table MVERCHKRESULT in the central database; nothing reported"));
  // The administrator took the table away: earlier rows have nowhere to go.
  EXPECT_FALSE(Queue.Present);
}

TEST_F(FleetReportTest, AnUnreachedDatabaseQueuesOnlyWhereAQueueWasBegun) {
  Report.Settle(Settled("2026-03-31 08:00:00.000", false));
  EXPECT_FALSE(Queue.Present);
  EXPECT_THAT(Log.Lines, ElementsAre(HasSubstr("not reached; no row kept")));
  Queue.Save({});
  Report.Settle(Settled("2026-03-31 09:00:00.000", false));
  EXPECT_THAT(Queued(), ElementsAre("2026-03-31 09:00:00.000"));
  EXPECT_EQ(Database.Probes, 0);
  EXPECT_THAT(Log.Lines.back(), HasSubstr("kept in PravikFtp.pending (1 row waiting)"));
}

// The queued rows go first, oldest first, each once; one the database refuses is dropped
// and the others still go.
TEST_F(FleetReportTest, SendsThePendingRowsFirstAndDropsARefusedOne) {
  Queue.Save({RowStarted("2026-03-29 08:00:00.000"), RowStarted("2026-03-30 08:00:00.000"),
              RowStarted("2026-03-30 09:00:00.000")});
  Database.OnInsert = [](const TReportRow& row, int) {
    if (row.RunStarted == "2026-03-30 08:00:00.000") throw EDatabaseError("[SQLite]refused by a trigger", "HY000", 19);
  };
  Report.Settle(Settled("2026-03-31 08:00:00.000", true, TRunResult::Failed));
  Report.Settle(Settled("2026-03-31 08:00:00.000", true, TRunResult::Updated));
  EXPECT_THAT(Database.Inserted, ElementsAre("2026-03-29 08:00:00.000", "2026-03-30 09:00:00.000",
                                             "2026-03-31 08:00:00.000", "2026-03-31 08:00:00.000"));
  EXPECT_TRUE(Queue.Present);
  EXPECT_TRUE(Queue.Rows.empty());
  EXPECT_EQ(Database.Probes, 1);
  EXPECT_THAT(Log.Lines, ::testing::Contains(
                             "Report: row of current of the run started 2026-03-30 08:00:00.000 refused and dropped: "
                             "EDatabaseError (SQLSTATE HY000, native error 19): [SQLite]refused by a trigger"));
  EXPECT_THAT(Log.Lines, ::testing::Contains("Report: 2 rows of PravikFtp.pending sent, 1 row refused and dropped"));
}

TEST_F(FleetReportTest, ARefusedRowIsLoggedAndDropped) {
  Database.OnInsert = [](const TReportRow&, int) { throw EDatabaseError("permission denied", "42000", 229); };
  Report.Settle(Settled("2026-03-31 08:00:00.000"));
  EXPECT_TRUE(Queue.Rows.empty());
  EXPECT_THAT(Log.Lines, ElementsAre(HasSubstr("refused and dropped: EDatabaseError (SQLSTATE 42000, native error "
                                               "229): permission denied")));
}

// Every statement gets 5 s at most, and all of a run's report work 10 s: what did not get
// its turn waits for the next run, in its order.
TEST_F(FleetReportTest, StaysWithinItsTenSeconds) {
  Queue.Save({RowStarted("2026-03-27 08:00:00.000"), RowStarted("2026-03-28 08:00:00.000"),
              RowStarted("2026-03-29 08:00:00.000")});
  Database.OnProbe = [this](int) { Now += std::chrono::milliseconds(2500); };
  Database.OnInsert = [this](const TReportRow&, int limit) {
    Now += std::chrono::seconds(limit);
    throw EDatabaseError("[FreeTDS][SQL Server]Timeout expired", "HYT00", 0);
  };
  Report.Settle(Settled("2026-03-31 08:00:00.000"));
  // 2.5 s for the probe, then 5 s, then the 2 whole seconds left.
  EXPECT_THAT(Database.Limits, ElementsAre(5, 5, 2));
  EXPECT_THAT(Queued(), ElementsAre("2026-03-29 08:00:00.000", "2026-03-31 08:00:00.000"));
  // A later settlement of the same run has no time left either.
  Report.Settle(Settled("2026-03-31 08:00:00.000", true, TRunResult::Updated));
  EXPECT_EQ(Database.Limits.size(), 3u);
  EXPECT_EQ(Queue.Rows.size(), 3u);
}

TEST_F(FleetReportTest, TimeSpentOutsideTheReportDoesNotCount) {
  StatementsTake(std::chrono::seconds(4));
  Report.Settle(Settled("2026-03-31 08:00:00.000", true, TRunResult::Failed));
  Now += std::chrono::minutes(10);
  Report.Settle(Settled("2026-03-31 08:00:00.000", true, TRunResult::Updated));
  EXPECT_THAT(Database.Limits, ElementsAre(5, 5, 2));
  EXPECT_EQ(Database.Inserted.size(), 2u);
}

struct SettleCase {
  const char* Name;
  std::vector<TRunResult> Settlements;
  std::vector<bool> MakesRow;
  friend void PrintTo(const SettleCase& c, std::ostream* os) { *os << c.Name; }
};

class RunRecordSettleTest : public ::testing::TestWithParam<SettleCase> {};

TEST_P(RunRecordSettleTest, AtMostAFailureAndThenAnUpdate) {
  TRunRecord record;
  std::vector<bool> made;
  for (const TRunResult result : GetParam().Settlements) made.push_back(record.Settle(result));
  EXPECT_EQ(made, GetParam().MakesRow);
  // The record holds the last settlement that made a row.
  std::size_t last = 0;
  for (std::size_t i = 0; i < made.size(); ++i)
    if (made[i]) last = i;
  EXPECT_EQ(record.Result, GetParam().Settlements[last]);
}

using R = TRunResult;
INSTANTIATE_TEST_SUITE_P(
    Sequences, RunRecordSettleTest,
    ::testing::Values(SettleCase{"Once", {R::Current}, {true}},
                      SettleCase{"FailedThenUpdated", {R::Failed, R::Failed, R::Updated, R::Updated, R::Abandoned},
                                 {true, false, true, false, false}},
                      SettleCase{"FailedThenClosed", {R::Failed, R::Abandoned}, {true, false}},
                      SettleCase{"RefusedIsFinal", {R::Refused, R::Updated}, {true, false}},
                      SettleCase{"UpdatedIsFinal", {R::Updated, R::Failed}, {true, false}},
                      SettleCase{"AbandonedIsFinal", {R::Abandoned, R::Updated}, {true, false}}),
    [](const ::testing::TestParamInfo<SettleCase>& info) { return std::string(info.param.Name); });

TEST(RunResultTest, EachResultHasItsColumnText) {
  EXPECT_STREQ(RunResultText(R::Current), "current");
  EXPECT_STREQ(RunResultText(R::Updated), "updated");
  EXPECT_STREQ(RunResultText(R::Refused), "refused");
  EXPECT_STREQ(RunResultText(R::Failed), "failed");
  EXPECT_STREQ(RunResultText(R::Abandoned), "abandoned");
}

// 한 is C7 D1 in code page 949.
struct CutCase {
  std::string Text;
  std::size_t Width;
  std::string Cut;
  friend void PrintTo(const CutCase& c, std::ostream* os) { *os << c.Text.size() << " bytes to " << c.Width; }
};

class CutToColumnTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(CutToColumnTest, CutsAtACharacterBoundary) { EXPECT_EQ(CutToColumn(GetParam().Text, GetParam().Width), GetParam().Cut); }

INSTANTIATE_TEST_SUITE_P(Texts, CutToColumnTest,
                         ::testing::Values(CutCase{"0408", 100, "0408"}, CutCase{"abcdef", 4, "abcd"},
                                           CutCase{"ab\xC7\xD1", 4, "ab\xC7\xD1"}, CutCase{"abc\xC7\xD1", 4, "abc"},
                                           CutCase{"\xC7\xD1\xC7\xD1\xC7\xD1", 5, "\xC7\xD1\xC7\xD1"},
                                           CutCase{"", 3, ""}, CutCase{"x\xC7", 2, "x\xC7"}));

TEST(ReportRowTest, CutsEveryTextToItsColumn) {
  TRunRecord record;
  record.Workstation = std::string(70, 'W');
  record.RunStarted = "2026-03-31 08:00:00.000 and more";
  record.UpdaterVersion = "1.0.0.0";
  record.LocalVersion = std::string(150, 'L');
  record.ServerVersion = std::string(99, 'S') + "\xC7\xD1";
  record.Decision = 6;
  record.Bytes = 1843200;
  record.NotifierSha256 = std::string(64, 'a');
  record.Settle(R::Failed, std::string(500, 'C'));
  const TReportRow row = ReportRowOf(record);
  EXPECT_EQ(row.Workstation, std::string(64, 'W'));
  EXPECT_EQ(row.RunStarted, "2026-03-31 08:00:00.000");
  EXPECT_EQ(row.LocalVersion, std::string(100, 'L'));
  EXPECT_EQ(row.ServerVersion, std::string(99, 'S'));
  EXPECT_EQ(row.Cause, std::string(400, 'C'));
  EXPECT_EQ(row.Result, "failed");
  EXPECT_EQ(row.Decision, 6);
  EXPECT_EQ(row.Bytes, 1843200);
  EXPECT_EQ(row.NotifierSha256, std::string(64, 'a'));
}

class ReportQueueTest : public ::testing::Test {
 protected:
  test::TTestFolder Folder{"queue"};
  const std::string Path = (Folder.Path / "PravikFtp.pending").string();
  TReportQueue Queue{Path};
};

// Separators, line breaks, backslashes and every other byte come back as they went.
TEST_F(ReportQueueTest, ReadsBackExactlyWhatItWrote) {
  std::string everyByte;
  for (int c = 1; c < 256; ++c) everyByte += static_cast<char>(c);
  TReportRow odd = RowStarted("2026-03-30 08:00:00.000");
  odd.Workstation = "\xBE\xE0\xB1\xB9\\N";
  odd.Cause = "line\r\nnext\tcolumn \\N \\ end\\";
  odd.ServerVersion = everyByte;
  odd.LocalVersion = std::string();
  odd.Decision = 5;
  odd.Bytes = -1;
  TReportRow empty = RowStarted("2026-03-31 08:00:00.000");
  empty.ServerVersion.reset();
  empty.NotifierSha256.reset();
  ASSERT_TRUE(Queue.Save({odd, empty}));
  EXPECT_THAT(Queue.Load(), ElementsAre(odd, empty));
  EXPECT_FALSE(std::filesystem::exists(Path + ".new"));
}

TEST_F(ReportQueueTest, PassesOverLinesThatHoldNoRow) {
  const std::string good = QueueLine(RowStarted("2026-03-31 08:00:00.000"));
  std::ofstream(Path, std::ios::binary) << "damaged\r\n" << good << "\r\n"
                                        << good.substr(0, good.size() / 2) << "\r\n"
                                        << "a\tb\tc\td\te\tnot a number\tg\th\ti\tj\tk\r\n"
                                        << "a\\x\tb\tc\td\te\t1\tg\th\ti\tj\tk\r\n";
  EXPECT_THAT(Queue.Load(), ElementsAre(RowStarted("2026-03-31 08:00:00.000")));
}

TEST_F(ReportQueueTest, AnEmptyQueueStaysAndRemoveTakesItAway) {
  EXPECT_FALSE(Queue.Exists());
  EXPECT_TRUE(Queue.Load().empty());
  ASSERT_TRUE(Queue.Save({}));
  EXPECT_TRUE(Queue.Exists());
  EXPECT_TRUE(Queue.Load().empty());
  Queue.Remove();
  EXPECT_FALSE(Queue.Exists());
}

// The file keeps the newest fifty rows, oldest first.
TEST_F(ReportQueueTest, KeepsTheNewestFiftyRows) {
  FakeDatabase database;
  RecordingLog log;
  TFleetReport report(database, Queue, log, "PravikFtp.pending");
  Queue.Save({});
  for (int run = 1; run <= 55; ++run) {
    char started[32];
    std::snprintf(started, sizeof started, "2026-03-%02d 08:00:00.000", run % 28 + 1);
    TRunRecord record = Settled(std::to_string(1000 + run) + " " + started, false);
    report.Settle(record);
  }
  const std::vector<TReportRow> rows = Queue.Load();
  ASSERT_EQ(rows.size(), 50u);
  EXPECT_THAT(rows.front().RunStarted, ::testing::StartsWith("1006 "));
  EXPECT_THAT(rows.back().RunStarted, ::testing::StartsWith("1055 "));
  EXPECT_THAT(log.Lines.back(), HasSubstr("(50 rows waiting, the oldest 1 row dropped)"));
}

}  // namespace
}  // namespace pravik::app
