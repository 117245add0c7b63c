#include "db/ServerVersion.h"

#include "db/TADOQuery.h"

namespace pravik {

std::vector<std::string> VersionStatement() {
  return {"Select CHKVERSION", "From MVERCHKMESSAGECLIENT"};
}

std::string ReadServerVersion(TADOQuery& query) {
  query.Close();
  query.Open();
  return query.FieldByName("CHKVERSION").AsString();
}

}  // namespace pravik
