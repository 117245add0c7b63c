#pragma once
// One operating-system socket with its local and remote binding and an optional local
// port range. Every call goes through GlobalStack; the raw data calls raise nothing.

#include <cstdint>
#include <string>

#include "net/IdStack.h"

namespace pravik {

class TIdSocketHandle {
 public:
  TIdSocketHandle() = default;
  // Releases the socket.
  virtual ~TIdSocketHandle();
  TIdSocketHandle(const TIdSocketHandle&) = delete;
  TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;

  // Releases any socket, then opens a new IPv4 one; raises EIdInvalidSocket.
  void OpenSocket(int socketType, int protocol);
  // Shuts the sending direction and closes the socket, ignoring both results.
  virtual void ReleaseSocket();
  // Binds to IP:Port, or to the highest free port of ClientPortMin..ClientPortMax when
  // Port is 0 and both are set. Raises EIdCouldNotBindSocket, EIdInvalidPortRange,
  // EIdCanNotBindPortInRange, EIdInvalidIPAddress or EIdSocketError.
  void BindLocal();
  // Listens with a queue of `backlog`; raises EIdSocketError.
  void ListenBacklog(int backlog);
  // Accepts one pending connection of `listener` into this handle, which forgets (does
  // not close) its own socket first. False for an interrupted accept or a listener that
  // is no socket (10004, 10038); other failures raise EIdSocketError.
  bool AcceptFrom(TIdStackSocketHandle listener);
  // Connects to RemoteIP:RemotePort and returns the raw result; on success reads back
  // both ends.
  virtual int ConnectRemote(int family);
  void SetRemote(const std::string& ip, int port);
  // True when the socket is readable within `timeout` ms (TimeLimitInfinite: no limit);
  // a timeout or a failed wait give false. Raises EIdConnClosedGracefully without socket.
  bool WaitReadable(int timeout);
  int ReceiveBuf(void* buffer, int length, int flags);
  int SendBuf(const void* buffer, int length, int flags);
  virtual int ReceiveFromBuf(void* buffer, int length, int flags, std::string& ip, int& port);
  // setsockopt; raises EIdSocketError.
  void SetOption(int level, int option, const void* value, int length);
  void RefreshLocal();
  void RefreshRemote();
  // Forgets the socket and the remote end (and the local end when asked); closes nothing.
  void ClearBinding(bool resetLocal);

  TIdStackSocketHandle SysSocket = Id_INVALID_SOCKET;
  bool HasSocket = false;
  std::string IP;
  std::string RemoteIP;
  std::int32_t Port = 0;
  std::int32_t RemotePort = 0;
  std::int32_t ClientPortMin = 0;
  std::int32_t ClientPortMax = 0;

 private:
  bool TryBindOnce();
};

}  // namespace pravik
