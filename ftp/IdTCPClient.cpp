#include "ftp/IdTCPClient.h"

#include <memory>

#include "ftp/IdConnectionErrors.h"
#include "ftp/IdFtpResourceStrings.h"
#include "net/IdIOHandlerSocket.h"

namespace pravik {

void TIdTCPClient::ConnectToHost(std::int32_t timeout) {
  if (IOHandler() && IOHandler()->TransportConnected()) throw EIdAlreadyConnected(rs::AlreadyConnected);
  if (!IOHandler()) {
    auto transport = std::make_unique<TIdIOHandlerSocket>();
    transport->OnStatus = OnStatus;
    AttachOwnedTransport(std::move(transport));
  }
  TIdIOHandler& transport = *IOHandler();
  try {
    transport.OpenTransport();
    ResetInput();
    transport.ConnectEndpoint(Host, Port, BoundIP, BoundPort, BoundPortMin, BoundPortMax, timeout);
    ReportStatus(TIdStatus::statusConnected, {Host});
    FireConnected();
  } catch (...) {
    CloseTransport();
    throw;
  }
}

void TIdTCPClient::FireConnected() {
  if (OnConnected) OnConnected(this);
}

}  // namespace pravik
