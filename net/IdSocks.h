#pragma once
// Proxy settings of a socket transport. Only svNoSocks, a direct connection, is used:
// the transport makes no proxy exchange.

#include <cstdint>

#include "net/IdComponent.h"

namespace pravik {

enum class TSocksVersion { svNoSocks, svSocks4, svSocks4A, svSocks5 };
enum class TSocksAuthentication { saNoAuthentication, saUsernamePassword };

class TIdSocksInfo : public TIdComponent {
 public:
  // Copies the settings of `source`.
  void Assign(const TIdSocksInfo& source);

  TSocksVersion Version = TSocksVersion::svNoSocks;
  std::int32_t Port = 1080;
  TSocksAuthentication Authentication = TSocksAuthentication::saNoAuthentication;
};

}  // namespace pravik
