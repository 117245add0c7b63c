#include "db/TADOConnection.h"

#include "OdbcApi.h"
#include "db/Cp949Text.h"
#include "db/Workstation.h"

namespace pravik {

namespace {

// The limits of the original access layer: ODBC's own defaults wait for ever on a server
// that takes the connection and never answers.
constexpr SQLULEN kLoginTimeoutSeconds = 15;
constexpr SQLULEN kQueryTimeoutSeconds = 30;
constexpr SQLULEN kPacketSize = 4096;

// The login of the central database, in the SQL Server driver's keywords. Three of the
// database's connection properties have no keyword: Persist Security Info and the tagging of
// columns with their collation are left out, Packet Size is set on the handle.
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
  // Before connecting, where the driver takes them. A driver without one of these options
  // refuses it and works on with its own default, so a refusal is no reason to stop.
  ::SQLSetConnectAttrW(connection_.Get(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds),
                       SQL_IS_UINTEGER);
  ::SQLSetConnectAttrW(connection_.Get(), SQL_ATTR_PACKET_SIZE, reinterpret_cast<SQLPOINTER>(kPacketSize),
                       SQL_IS_UINTEGER);
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

odbc::OdbcHandle TADOConnection::NewStatement() { return NewStatement(static_cast<int>(kQueryTimeoutSeconds)); }

odbc::OdbcHandle TADOConnection::NewStatement(int timeoutSeconds) {
  Open();
  odbc::OdbcHandle statement = connection_.NewStatement();
  const SQLULEN seconds = timeoutSeconds > 0 ? static_cast<SQLULEN>(timeoutSeconds) : 1;
  ::SQLSetStmtAttrW(statement.Get(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(seconds), SQL_IS_UINTEGER);
  return statement;
}

bool TADOConnection::TableExists(const std::string& name, int timeoutSeconds) {
  const odbc::OdbcHandle statement = NewStatement(timeoutSeconds);
  std::u16string table = Utf16FromCp949(name);
  std::u16string type = u"TABLE";
  odbc::CheckOdbcResult(::SQLTablesW(statement.Get(), nullptr, 0, nullptr, 0, reinterpret_cast<SQLWCHAR*>(table.data()),
                                     static_cast<SQLSMALLINT>(table.size()), reinterpret_cast<SQLWCHAR*>(type.data()),
                                     static_cast<SQLSMALLINT>(type.size())),
                        statement);
  // The name is a pattern to the catalogue, where "_" stands for any character: each row's
  // own name (column 3) decides.
  for (;;) {
    const SQLRETURN fetched = ::SQLFetch(statement.Get());
    if (fetched == SQL_NO_DATA) return false;
    odbc::CheckOdbcResult(fetched, statement);
    char16_t found[256] = {};
    SQLLEN length = 0;
    odbc::CheckOdbcResult(::SQLGetData(statement.Get(), 3, SQL_C_WCHAR, found, sizeof found, &length), statement);
    if (length == SQL_NULL_DATA) continue;
    std::u16string foundName(found);
    if (foundName.size() != table.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < table.size() && same; ++i) {
      auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
      same = lower(foundName[i]) == lower(table[i]);
    }
    if (same) return true;
  }
}

}  // namespace pravik
