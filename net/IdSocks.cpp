#include "net/IdSocks.h"

namespace pravik {

void TIdSocksInfo::Assign(const TIdSocksInfo& source) {
  Version = source.Version;
  Port = source.Port;
  Authentication = source.Authentication;
}

}  // namespace pravik
