#include "app/FleetReport.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "app/ErrorDescription.h"
#include "app/ReportDatabase.h"
#include "app/ReportQueue.h"

namespace pravik::app {

namespace {

bool IsCp949LeadByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x81 && byte <= 0xFE;
}

std::optional<std::string> CutOptional(const std::optional<std::string>& text, std::size_t width) {
  if (!text) return std::nullopt;
  return CutToColumn(*text, width);
}

std::string Rows(std::size_t count) { return std::to_string(count) + (count == 1 ? " row" : " rows"); }

}  // namespace

std::string CutToColumn(const std::string& text, std::size_t width) {
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t length = IsCp949LeadByte(text[end]) && end + 1 < text.size() ? 2 : 1;
    if (end + length > width) break;
    end += length;
  }
  return text.substr(0, end);
}

TReportRow ReportRowOf(const TRunRecord& record) {
  TReportRow row;
  row.Workstation = CutToColumn(record.Workstation, kWorkstationWidth);
  row.RunStarted = CutToColumn(record.RunStarted, kRunStartedWidth);
  row.UpdaterVersion = CutToColumn(record.UpdaterVersion, kUpdaterVersionWidth);
  row.LocalVersion = CutOptional(record.LocalVersion, kVersionWidth);
  row.ServerVersion = CutOptional(record.ServerVersion, kVersionWidth);
  if (record.Decision) row.Decision = *record.Decision;
  row.Result = CutToColumn(record.Result ? RunResultText(*record.Result) : std::string(), kResultWidth);
  row.Cause = CutOptional(record.Cause, kCauseWidth);
  row.Bytes = record.Bytes;
  // INTEGER holds 24 days of milliseconds; a run left waiting longer says so by the most.
  row.DurationMs = std::min<std::int64_t>(record.DurationMs, 0x7FFFFFFF);
  row.NotifierSha256 = CutOptional(record.NotifierSha256, kSha256Width);
  return row;
}

TFleetReport::TFleetReport(IReportDatabase& database, IReportQueue& queue, IUpdateLog& log, std::string pendingName,
                           std::function<TClock::time_point()> now)
    : Database(database), Pending(queue), Log(log), PendingName(std::move(pendingName)), Now(std::move(now)) {}

void TFleetReport::Settle(const TRunRecord& record) {
  const TReportRow row = ReportRowOf(record);
  SettleBegan = Now();
  struct TSpentScope {
    TFleetReport& Report;
    ~TSpentScope() { Report.Spent += Report.Now() - Report.SettleBegan; }
  } spent{*this};

  if (!record.DatabaseReached()) {
    if (Pending.Exists())
      Queue(row, "the central database was not reached");
    else
      Log.Write("Report: the central database was not reached; no row kept, as no run has found " +
                std::string(kReportTable) + " yet");
    return;
  }
  if (Table == TTable::Unknown) {
    try {
      const int limit = NextLimit();
      Table = limit == 0 ? TTable::Unavailable : Database.TableExists(limit) ? TTable::Present : TTable::Missing;
      if (Table == TTable::Unavailable)
        Log.Write(std::string("Report: no time left to ask for the table ") + kReportTable);
      if (Table == TTable::Missing) {
        Log.Write(std::string("Report: no table ") + kReportTable + " in the central database; nothing reported");
        Pending.Remove();
      }
    } catch (const std::exception& error) {
      Table = TTable::Unavailable;
      Log.Write(std::string("Report: could not ask for the table ") + kReportTable + ": " + DescribeError(error));
    }
  }
  if (Table == TTable::Missing) return;
  if (Table == TTable::Unavailable) {
    Log.Write("Report: row of " + row.Result + " dropped");
    return;
  }
  if (!PendingSent) {
    PendingSent = true;
    if (!SendPending()) {
      Queue(row, "the report's time ran out");
      return;
    }
  }
  switch (Send(row)) {
    case TSent::Sent:
      Log.Write(std::string("Report: row of ") + row.Result + " written to " + kReportTable);
      break;
    case TSent::Refused:
      break;
    case TSent::NoTime:
      Queue(row, "the report's time ran out");
      break;
  }
}

TFleetReport::TClock::duration TFleetReport::Used() const { return Spent + (Now() - SettleBegan); }

int TFleetReport::NextLimit() const {
  const auto left = std::chrono::duration_cast<std::chrono::seconds>(kRunBudget - Used());
  if (left.count() < 1) return 0;
  return static_cast<int>(std::min<long long>(kStatementSeconds, left.count()));
}

void TFleetReport::Queue(const TReportRow& row, const std::string& why) {
  std::vector<TReportRow> rows = Pending.Load();
  rows.push_back(row);
  std::size_t dropped = 0;
  if (rows.size() > kMostPending) {
    dropped = rows.size() - kMostPending;
    rows.erase(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(dropped));
  }
  if (!Pending.Save(rows)) {
    Log.Write("Report: " + why + "; the row of " + row.Result + " could not be kept in " + PendingName +
              " and is dropped");
    return;
  }
  Log.Write("Report: " + why + "; row of " + row.Result + " kept in " + PendingName + " (" + Rows(rows.size()) +
            " waiting" + (dropped ? ", the oldest " + Rows(dropped) + " dropped" : std::string()) + ")");
}

bool TFleetReport::SendPending() {
  const std::vector<TReportRow> rows = Pending.Load();
  if (rows.empty()) {
    // From now on a run that cannot reach the database keeps its row.
    if (!Pending.Exists() && !Pending.Save({}))
      Log.Write("Report: " + PendingName + " could not be made; rows of runs without the database will be lost");
    return true;
  }
  std::vector<TReportRow> left;
  std::size_t sent = 0, refused = 0;
  for (const TReportRow& row : rows) {
    if (!left.empty()) {
      left.push_back(row);
      continue;
    }
    switch (Send(row)) {
      case TSent::Sent:
        ++sent;
        break;
      case TSent::Refused:
        ++refused;
        break;
      case TSent::NoTime:
        left.push_back(row);
        break;
    }
  }
  const bool saved = Pending.Save(left);
  Log.Write("Report: " + Rows(sent) + " of " + PendingName + " sent, " + Rows(refused) + " refused and dropped" +
            (left.empty() ? std::string() : ", " + Rows(left.size()) + " kept for the next run (no time left)") +
            (saved ? "" : "; the file could not be rewritten"));
  return left.empty();
}

TFleetReport::TSent TFleetReport::Send(const TReportRow& row) {
  const int limit = NextLimit();
  if (limit == 0) return TSent::NoTime;
  try {
    Database.Insert(row, limit);
    return TSent::Sent;
  } catch (const std::exception& error) {
    Log.Write("Report: row of " + row.Result + " of the run started " + row.RunStarted + " refused and dropped: " +
              DescribeError(error));
    return TSent::Refused;
  }
}

namespace {

// The program's report and the two parts it writes through.
class TProgramReport : public IRunReport {
 public:
  TProgramReport(TADOConnection& connection, const std::string& pendingPath, IUpdateLog& log)
      : Database(connection), Queue(pendingPath), Report(Database, Queue, log, pendingPath) {}
  void Settle(const TRunRecord& record) override { Report.Settle(record); }

 private:
  TReportDatabase Database;
  TReportQueue Queue;
  TFleetReport Report;
};

}  // namespace

std::unique_ptr<IRunReport> MakeFleetReport(TADOConnection& connection, const std::string& pendingPath,
                                            IUpdateLog& log) {
  return std::make_unique<TProgramReport>(connection, pendingPath, log);
}

}  // namespace pravik::app
