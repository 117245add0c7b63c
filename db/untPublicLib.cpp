#include "db/untPublicLib.h"

#include "db/DbResourceStrings.h"
#include "db/TADOQuery.h"

namespace pravik {

void GetSqlValue(const std::string& statement, TADOQuery& query, std::string& result) {
  query.Close();
  query.SetSQL({statement});
  query.Open();
  if (query.IsEmpty()) {
    result.clear();
    return;
  }
  const TField& value = query.Fields(0);
  if (value.IsNull()) throw EVariantError(rs::InvalidVariantTypeConversion);
  result = value.AsString();
}

}  // namespace pravik
