#pragma once
// The connection to the central database (the window's `ADOConnectionMAIN`). It is created
// unconnected, connects at the first query that needs it, stays connected from then on and
// disconnects when it is destroyed.

#include <string>

#include "db/OdbcHandle.h"

namespace pravik {

class TADOConnection {
 public:
  // Unconnected, for the central database server of this build.
  TADOConnection();
  // Unconnected, for `serverHost`: a host name or address, optionally followed by ",port".
  // Raises EDatabaseError when the driver manager cannot give a connection handle.
  explicit TADOConnection(const std::string& serverHost);
  ~TADOConnection();
  TADOConnection(const TADOConnection&) = delete;
  TADOConnection& operator=(const TADOConnection&) = delete;

  // Connects with ConnectionString(), never prompting, giving up after 15 s of login and
  // asking for packets of 4096 bytes; nothing when already connected. Raises EDatabaseError
  // with the driver's text; the next call tries again.
  void Open();
  bool Connected() const { return connected_; }
  // The fixed login to the central database, code page 949 text.
  const std::string& ConnectionString() const { return connectionString_; }
  // A statement handle on the connection, which is opened first, whose statements give up
  // after 30 s, or after `timeoutSeconds`; raises EDatabaseError.
  odbc::OdbcHandle NewStatement();
  odbc::OdbcHandle NewStatement(int timeoutSeconds);
  // Whether the database has a table named `name` (letter case aside), asked through the
  // driver's catalogue, not by a statement on the table; the question gives up after
  // `timeoutSeconds`. Opens the connection first; raises EDatabaseError.
  bool TableExists(const std::string& name, int timeoutSeconds);

 private:
  std::string connectionString_;
  odbc::OdbcHandle environment_;
  odbc::OdbcHandle connection_;
  bool connected_ = false;
};

}  // namespace pravik
