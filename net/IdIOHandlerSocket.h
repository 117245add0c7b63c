#pragma once
// The socket transport: one owned socket handle and the client-side connect sequence.

#include <memory>
#include <string>

#include "net/IdIOHandler.h"

namespace pravik {

class TIdSocketHandle;
class TIdSocksInfo;

class TIdIOHandlerSocket : public TIdIOHandler {
 public:
  TIdIOHandlerSocket();
  // Releases the socket.
  ~TIdIOHandlerSocket() override;

  // Marks the transport opened; makes the socket handle, or clears the one it has.
  void OpenTransport() override;
  // Opens a stream socket, binds it locally, resolves `host` (reporting statusResolving
  // for a name), applies UseNagle, reports statusConnecting and connects: in this thread
  // for `timeout` -1 or 0, else within `timeout` ms (EIdConnectTimeout "Connect timed
  // out."). Failures raise; the socket then stays open until ShutTransport.
  void ConnectEndpoint(const std::string& host, int port, const std::string& boundIP, int boundPort,
                       int boundPortMin, int boundPortMax, int timeout) override;
  // True exactly when the socket handle exists and holds a socket.
  bool TransportConnected() override;
  void ShutTransport() override;
  bool WaitReadable(int timeout) override;
  // Raise EIdClosedSocket "Disconnected." without a socket; else the raw result.
  int ReceiveBuf(void* buffer, int length) override;
  int SendBuf(const void* buffer, int length) override;
  // Sets TCP_NODELAY (0 with Nagle, 1 without) when a socket is open.
  void ApplyNagle(bool useNagle);

  bool UseNagle() const { return FUseNagle; }
  void SetUseNagle(bool value);
  // The proxy settings, made on first use.
  TIdSocksInfo& SocksInfo();
  void SetSocksInfo(const TIdSocksInfo& settings);
  // The socket handle; none before the first OpenTransport.
  TIdSocketHandle* SocketBinding() const { return FSocketBinding.get(); }

 private:
  void ConnectWithTimeLimit(int timeout);

  bool FUseNagle = true;
  // Destroyed in reverse order: the proxy settings first, then the socket handle.
  std::unique_ptr<TIdSocketHandle> FSocketBinding;
  std::unique_ptr<TIdSocksInfo> FSocksInfo;
};

}  // namespace pravik
