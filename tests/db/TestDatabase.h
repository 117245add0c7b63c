#pragma once
// The test's central database: the SQLite file PravikALL in the working folder. It is written
// through the test driver itself, so the Windows build under Wine writes the very file the
// driver reads.

#include <string>
#include <vector>

namespace pravik::test {

inline constexpr char kDatabaseFile[] = "PravikALL";

// Replaces PravikALL by a new database with the tables MVERCHKMESSAGECLIENT(CHKVERSION) and
// MCODEBASE(CODEID, CODE, CODETEXT), then runs `statements` on it; raises EDatabaseError.
void CreateCentralDatabase(const std::vector<std::string>& statements = {});

}  // namespace pravik::test
