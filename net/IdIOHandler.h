#pragma once
// The transport a connection reads and writes through.

#include <cstdint>
#include <string>

#include "net/IdComponent.h"

namespace pravik {

class TIdIOHandler : public TIdComponent {
 public:
  // Shuts the transport.
  ~TIdIOHandler() override;

  virtual void AfterAccept() {}
  virtual void ShutTransport() { Opened = false; }
  virtual void ConnectEndpoint(const std::string& /*host*/, int /*port*/,
                               const std::string& /*boundIP*/, int /*boundPort*/,
                               int /*boundPortMin*/, int /*boundPortMax*/, int /*timeout*/) {}
  virtual bool TransportConnected() { return Opened; }
  virtual void OpenTransport() { Opened = true; }
  // True when data or the peer's close is pending within `timeout` ms.
  virtual bool WaitReadable(int timeout) = 0;
  // The count received, 0 once the peer has closed, -1 on failure.
  virtual int ReceiveBuf(void* buffer, int length) = 0;
  // The count sent, -1 on failure.
  virtual int SendBuf(const void* buffer, int length) = 0;

  bool Opened = false;
};

}  // namespace pravik
