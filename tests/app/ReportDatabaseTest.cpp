// The report's rows in the table of fleet.sql, written through the SQLite driver as the
// program writes them, and read back column by column.
#include "app/ReportDatabase.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/RunRecord.h"
#include "db/TADOConnection.h"
#include "db/TADOQuery.h"
#include "tests/db/TestDatabase.h"

namespace pravik::app {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class NullQueue : public IReportQueue {
 public:
  bool Exists() override { return true; }
  std::vector<TReportRow> Load() override { return {}; }
  bool Save(const std::vector<TReportRow>&) override { return true; }
  void Remove() override {}
};

class Lines : public IUpdateLog {
 public:
  void Write(const std::string& text) override { Written.push_back(text); }
  std::vector<std::string> Written;
};

class ReportDatabaseTest : public ::testing::Test {
 protected:
  // The central database with the report's table as fleet.sql makes it.
  void SetUp() override {
    test::CreateCentralDatabase({"Insert Into MVERCHKMESSAGECLIENT Values ('0408')"});
    ASSERT_EQ(std::system("/usr/bin/python3 '" PRAVIK_FLEET_REPORT_SCRIPT "' --create-sqlite PravikALL"), 0);
  }
  // The columns of the table's rows, in the order of the insert, NULL as "NULL".
  std::vector<std::string> Stored(const std::string& column) {
    std::vector<std::string> values;
    for (int row = 1;; ++row) {
      TADOQuery query(Connection, {"Select " + column + " From MVERCHKRESULT Where RowId = " + std::to_string(row)});
      query.Open();
      if (query.IsEmpty()) return values;
      values.push_back(query.Fields(0).IsNull() ? "NULL" : query.Fields(0).AsString());
    }
  }
  static TReportRow Row() {
    TReportRow row;
    row.Workstation = "APT1";
    row.RunStarted = "2026-03-31 08:00:00.123";
    row.UpdaterVersion = "1.0.0.0";
    row.LocalVersion = "0407";
    row.ServerVersion = "0408'); Delete From MVERCHKRESULT; --";
    row.Decision = 6;
    row.Result = "failed";
    row.Cause = "EIdSocketError (Winsock error 10061): Socket Error # 10061\r\nConnection refused.";
    row.DurationMs = 1234;
    return row;
  }
  TADOConnection Connection;
  TReportDatabase Database{Connection};
  NullQueue Queue;
  Lines Log;
  TFleetReport Report{Database, Queue, Log, "PravikFtp.pending"};
};

TEST_F(ReportDatabaseTest, TheInsertNamesEveryColumnAndBindsEachValue) {
  const std::vector<TParameter> values = InsertParameters(Row());
  ASSERT_EQ(values.size(), 11u);
  std::vector<std::string> shown;
  for (const TParameter& value : values)
    shown.push_back(value.IsNull() ? "NULL"
                    : value.Kind() == TParameter::TKind::Integer ? std::to_string(value.AsInteger())
                                                                 : "'" + value.AsText() + "'");
  EXPECT_THAT(shown, ElementsAre("'APT1'", "'2026-03-31 08:00:00.123'", "'1.0.0.0'", "'0407'",
                                 "'0408'); Delete From MVERCHKRESULT; --'", "6", "'failed'",
                                 "'" + *Row().Cause + "'", "NULL", "1234", "NULL"));
  EXPECT_THAT(std::string(kReportInsert), ::testing::EndsWith("Values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
}

// A text that is SQL is stored as text; no statement of it runs.
TEST_F(ReportDatabaseTest, WritesTheRowAsTheRunRecordedIt) {
  TReportRow updated = Row();
  updated.Result = "updated";
  updated.Cause.reset();
  updated.Bytes = 1843200;
  updated.NotifierSha256 = std::string(64, 'f');
  Database.Insert(Row(), 5);
  Database.Insert(updated, 5);
  EXPECT_THAT(Stored("RESULT"), ElementsAre("failed", "updated"));
  EXPECT_THAT(Stored("SERVERVERSION"), ElementsAre(*Row().ServerVersion, *Row().ServerVersion));
  EXPECT_THAT(Stored("CAUSE"), ElementsAre(*Row().Cause, "NULL"));
  EXPECT_THAT(Stored("BYTES"), ElementsAre("NULL", "1843200"));
  EXPECT_THAT(Stored("DECISION || ' ' || DURATIONMS || ' ' || RUNSTARTED || ' ' || UPDATERVERSION"),
              ElementsAre("6 1234 2026-03-31 08:00:00.123 1.0.0.0", "6 1234 2026-03-31 08:00:00.123 1.0.0.0"));
  EXPECT_THAT(Stored("NOTIFIERSHA256"), ElementsAre("NULL", std::string(64, 'f')));
  EXPECT_THAT(Stored("RECORDED Is Not Null"), ElementsAre("1", "1"));
}

// A trigger that refuses the row: logged with the driver's text and state, and dropped.
TEST_F(ReportDatabaseTest, ARefusedInsertIsLoggedAndDropped) {
  test::CreateCentralDatabase({"Insert Into MVERCHKMESSAGECLIENT Values ('0408')"});
  ASSERT_EQ(std::system("/usr/bin/python3 '" PRAVIK_FLEET_REPORT_SCRIPT "' --create-sqlite PravikALL"), 0);
  TADOQuery trigger(Connection, {"Create Trigger NoReports Before Insert On MVERCHKRESULT "
                                 "Begin Select Raise(Abort, 'reports are closed'); End"});
  trigger.Open();
  TRunRecord record;
  record.Workstation = "APT1";
  record.RunStarted = "2026-03-31 08:00:00.000";
  record.ServerVersion = "0408";
  record.Settle(TRunResult::Current);
  Report.Settle(record);
  EXPECT_THAT(Log.Written, ElementsAre(HasSubstr("Report: row of current of the run started 2026-03-31 08:00:00.000 "
                                                 "refused and dropped: EDatabaseError (SQLSTATE ")));
  EXPECT_THAT(Log.Written.back(), HasSubstr("reports are closed"));
  EXPECT_TRUE(Stored("RESULT").empty());
}

}  // namespace
}  // namespace pravik::app
