#include "db/TADOConnection.h"

#include "OdbcApi.h"
#include "db/Cp949Text.h"
#include "db/Workstation.h"

namespace pravik {

namespace {

// The login of the central database, in the SQL Server driver's keywords. Three of the
// database's connection properties have no ODBC keyword and are left out: Persist Security
// Info, Packet Size (its 4096 is the driver's default anyway) and the tagging of columns with
// their collation.
std::string BuildConnectionString(const std::string& serverHost) {
  return "Driver={SQL Server};Server=" + serverHost +
         ";Database=PravikALL;UID=pravik;PWD=73quenda18;WSID=" + WorkstationName() +
         ";UseProcForPrepare=1;AutoTranslate=yes;Encrypt=no";
}

}  // namespace

TADOConnection::TADOConnection() : TADOConnection(PRAVIK_DB_SERVER) {}

TADOConnection::TADOConnection(const std::string& serverHost)
    : connectionString_(BuildConnectionString(serverHost)),
      environment_(odbc::OdbcHandle::NewEnvironment()),
      connection_(environment_.NewConnection()) {}

TADOConnection::~TADOConnection() {
  if (connected_) ::SQLDisconnect(connection_.Get());
}

void TADOConnection::Open() {
  if (connected_) return;
  std::u16string text = Utf16FromCp949(connectionString_);
  // No window handle and SQL_DRIVER_NOPROMPT: a missing or refused login is an error, never
  // a dialog on an unattended workstation.
  odbc::CheckOdbcResult(
      ::SQLDriverConnectW(connection_.Get(), nullptr, reinterpret_cast<SQLWCHAR*>(text.data()),
                          static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr,
                          SQL_DRIVER_NOPROMPT),
      connection_);
  connected_ = true;
}

odbc::OdbcHandle TADOConnection::NewStatement() {
  Open();
  return connection_.NewStatement();
}

}  // namespace pravik
