#include "app/ReportDatabase.h"

#include "db/TADOConnection.h"

namespace pravik::app {

const char kReportInsert[] =
    "Insert Into MVERCHKRESULT (WORKSTATION, RUNSTARTED, UPDATERVERSION, LOCALVERSION, SERVERVERSION, DECISION, "
    "RESULT, CAUSE, BYTES, DURATIONMS, NOTIFIERSHA256) Values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

std::vector<TParameter> InsertParameters(const TReportRow& row) {
  return {
      TParameter::Text(row.Workstation),   TParameter::Text(row.RunStarted), TParameter::Text(row.UpdaterVersion),
      TParameter::Text(row.LocalVersion),  TParameter::Text(row.ServerVersion), TParameter::Integer(row.Decision),
      TParameter::Text(row.Result),        TParameter::Text(row.Cause),      TParameter::Integer(row.Bytes),
      TParameter::Integer(row.DurationMs), TParameter::Text(row.NotifierSha256),
  };
}

bool TReportDatabase::TableExists(int timeoutSeconds) { return Connection.TableExists(kReportTable, timeoutSeconds); }

void TReportDatabase::Insert(const TReportRow& row, int timeoutSeconds) {
  TADOCommand command(Connection, kReportInsert);
  command.CommandTimeout = timeoutSeconds;
  command.Execute(InsertParameters(row));
}

}  // namespace pravik::app
