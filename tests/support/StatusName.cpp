#include "tests/support/StatusName.h"

namespace pravik::test {

std::string StatusName(TIdStatus status) {
  switch (status) {
    case TIdStatus::statusResolving: return "statusResolving";
    case TIdStatus::statusConnecting: return "statusConnecting";
    case TIdStatus::statusConnected: return "statusConnected";
    case TIdStatus::statusDisconnecting: return "statusDisconnecting";
    case TIdStatus::statusDisconnected: return "statusDisconnected";
    case TIdStatus::statusText: return "statusText";
    case TIdStatus::statusFtpTransfer: return "statusFtpTransfer";
    case TIdStatus::statusFtpReady: return "statusFtpReady";
    case TIdStatus::statusFtpAborted: return "statusFtpAborted";
  }
  return "status?";
}

}  // namespace pravik::test
