#pragma once
// The fleet report: each run's outcome as one row of MVERCHKRESULT in the central database,
// which the administrator creates (fleet.sql) when the fleet is to report. It never changes
// an outcome: whatever fails here is logged and dropped.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/RunRecord.h"
#include "app/UpdateServices.h"

namespace pravik {
class TADOConnection;
}

namespace pravik::app {

inline constexpr char kReportTable[] = "MVERCHKRESULT";

// One row of MVERCHKRESULT as it is written, every text cut to its column; RECORDED is the
// server's own.
struct TReportRow {
  std::string Workstation;                   // VARCHAR(64)
  std::string RunStarted;                    // VARCHAR(23)
  std::string UpdaterVersion;                // VARCHAR(23)
  std::optional<std::string> LocalVersion;   // VARCHAR(100)
  std::optional<std::string> ServerVersion;  // VARCHAR(100)
  std::optional<std::int64_t> Decision;      // INTEGER
  std::string Result;                        // VARCHAR(16)
  std::optional<std::string> Cause;          // VARCHAR(400)
  std::optional<std::int64_t> Bytes;         // BIGINT
  std::optional<std::int64_t> DurationMs;    // INTEGER
  std::optional<std::string> NotifierSha256; // CHAR(64)
  friend bool operator==(const TReportRow&, const TReportRow&) = default;
};

// The column widths, in bytes of code page 949.
inline constexpr std::size_t kWorkstationWidth = 64, kRunStartedWidth = 23, kUpdaterVersionWidth = 23,
                             kVersionWidth = 100, kResultWidth = 16, kCauseWidth = 400, kSha256Width = 64;

// The first `width` bytes of `text`, never ending inside a double-byte character.
std::string CutToColumn(const std::string& text, std::size_t width);

// The row of a settled record, texts cut to their columns.
TReportRow ReportRowOf(const TRunRecord& record);

class IRunReport {
 public:
  virtual ~IRunReport() = default;
  // Reports a settlement of the run; never raises, never waits longer than the report's
  // bound.
  virtual void Settle(const TRunRecord& record) = 0;
};

// Where rows go in the central database.
class IReportDatabase {
 public:
  virtual ~IReportDatabase() = default;
  // Whether MVERCHKRESULT exists, asked within `timeoutSeconds`; raises EDatabaseError.
  virtual bool TableExists(int timeoutSeconds) = 0;
  // Inserts the row within `timeoutSeconds`; raises EDatabaseError (refused, timed out).
  virtual void Insert(const TReportRow& row, int timeoutSeconds) = 0;
};

// The rows kept while the database could not be reached, oldest first. The queue exists
// (perhaps empty) only once a run has found the table, so a fleet that does not report
// never gets one.
class IReportQueue {
 public:
  virtual ~IReportQueue() = default;
  virtual bool Exists() = 0;
  virtual std::vector<TReportRow> Load() = 0;
  // Keeps exactly `rows`, creating the queue; false when that could not be written.
  virtual bool Save(const std::vector<TReportRow>& rows) = 0;
  // Removes the queue and its rows.
  virtual void Remove() = 0;
};

class TFleetReport : public IRunReport {
 public:
  using TClock = std::chrono::steady_clock;

  // `pendingName` names the queue in the log.
  TFleetReport(IReportDatabase& database, IReportQueue& queue, IUpdateLog& log, std::string pendingName,
               std::function<TClock::time_point()> now = TClock::now);

  // A run whose database was not reached queues its row (the newest 50 kept) where a
  // queue exists. Otherwise, when the table exists (asked once per run), the queued rows go
  // first, oldest first, then this one; a row the database refuses is logged and dropped.
  // Without the table, one log line per run, and a queue left by earlier runs is removed.
  void Settle(const TRunRecord& record) override;

  // Each statement's limit, and the most all report work of a run may take.
  static constexpr int kStatementSeconds = 5;
  static constexpr std::chrono::seconds kRunBudget{10};
  static constexpr std::size_t kMostPending = 50;

 private:
  enum class TTable { Unknown, Present, Missing, Unavailable };
  enum class TSent { Sent, Refused, NoTime };

  // Report work of this run so far, the settlement under way included.
  TClock::duration Used() const;
  // The limit of the next statement: 5 s, or the whole seconds left of the run's 10 s; 0
  // when less than a second is left.
  int NextLimit() const;
  void Queue(const TReportRow& row, const std::string& why);
  // Sends the queued rows, oldest first; false when time ran out before all were tried.
  bool SendPending();
  // Inserts the row; a refusal is logged here.
  TSent Send(const TReportRow& row);

  IReportDatabase& Database;
  IReportQueue& Pending;
  IUpdateLog& Log;
  const std::string PendingName;
  std::function<TClock::time_point()> Now;
  TClock::duration Spent{};
  TClock::time_point SettleBegan{};
  TTable Table = TTable::Unknown;
  bool PendingSent = false;
};

// The report as the program makes it: rows into MVERCHKRESULT over the run's own
// connection, the queue in the file at `pendingPath`.
std::unique_ptr<IRunReport> MakeFleetReport(TADOConnection& connection, const std::string& pendingPath,
                                            IUpdateLog& log);

}  // namespace pravik::app
