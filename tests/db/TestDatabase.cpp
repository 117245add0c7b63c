#include "tests/db/TestDatabase.h"

#include <filesystem>

#include "OdbcApi.h"
#include "db/Cp949Text.h"
#include "db/OdbcHandle.h"

namespace pravik::test {

namespace {

void Execute(const odbc::OdbcHandle& connection, const std::string& statement) {
  const odbc::OdbcHandle handle = connection.NewStatement();
  std::u16string text = Utf16FromCp949(statement);
  odbc::CheckOdbcResult(::SQLExecDirectW(handle.Get(), reinterpret_cast<SQLWCHAR*>(text.data()),
                                         static_cast<SQLINTEGER>(text.size())),
                        handle);
}

}  // namespace

void CreateCentralDatabase(const std::vector<std::string>& statements) {
  std::filesystem::remove(kDatabaseFile);
  const odbc::OdbcHandle environment = odbc::OdbcHandle::NewEnvironment();
  const odbc::OdbcHandle connection = environment.NewConnection();
  std::u16string login = Utf16FromCp949("Driver={SQL Server};Database=PravikALL");
  odbc::CheckOdbcResult(
      ::SQLDriverConnectW(connection.Get(), nullptr, reinterpret_cast<SQLWCHAR*>(login.data()),
                          static_cast<SQLSMALLINT>(login.size()), nullptr, 0, nullptr,
                          SQL_DRIVER_NOPROMPT),
      connection);
  // Disconnects however the statements end, before the handles go.
  struct Disconnect {
    const odbc::OdbcHandle& connection;
    ~Disconnect() { ::SQLDisconnect(connection.Get()); }
  } disconnect{connection};

  Execute(connection, "Create Table MVERCHKMESSAGECLIENT (CHKVERSION)");
  Execute(connection, "Create Table MCODEBASE (CODEID, CODE, CODETEXT)");
  for (const std::string& statement : statements) Execute(connection, statement);
}

}  // namespace pravik::test
