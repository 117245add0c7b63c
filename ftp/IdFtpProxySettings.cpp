#include "ftp/IdFtpProxySettings.h"

#include "ftp/IdFTPErrors.h"
#include "ftp/IdFtpResourceStrings.h"
#include "net/IdGlobal.h"

namespace pravik {

void TIdPersistent::Assign(const TIdPersistent* source) { AssignError(source); }

void TIdPersistent::AssignError(const TIdPersistent* source) const {
  throw EConvertError(FormatText(rs::AssignError, {source ? source->ClassName() : "nil", ClassName()}));
}

void TIdFtpProxySettings::Assign(const TIdPersistent* source) {
  const auto* settings = dynamic_cast<const TIdFtpProxySettings*>(source);
  if (!settings) AssignError(source);
  ProxyType = settings->ProxyType;
  Host = settings->Host;
  UserName = settings->UserName;
  Password = settings->Password;
  Port = settings->Port;
}

}  // namespace pravik
