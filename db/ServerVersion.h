#pragma once
// The version read: the notifier version that the central database announces.

#include <string>
#include <vector>

namespace pravik {

class TADOQuery;

// The statement `qryTmp` is created with, one text per line.
std::vector<std::string> VersionStatement();

// Closes `query`, opens it with the statement it holds and gives the column CHKVERSION of
// the first row as text; no row, or NULL, gives empty text. Raises EDatabaseError with the
// driver's text.
std::string ReadServerVersion(TADOQuery& query);

}  // namespace pravik
