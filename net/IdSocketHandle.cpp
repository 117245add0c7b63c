#include "net/IdSocketHandle.h"

#include "net/IdException.h"
#include "net/IdGlobal.h"
#include "net/IdResourceStrings.h"

namespace pravik {

TIdSocketHandle::~TIdSocketHandle() {
  try {
    ReleaseSocket();
  } catch (...) {  // the stack's binding may be gone at exit; a destructor must not throw
  }
}

void TIdSocketHandle::OpenSocket(int socketType, int protocol) {
  ReleaseSocket();
  SysSocket = GlobalStack->NewSocket(socketType, protocol);
  HasSocket = true;
}

void TIdSocketHandle::ReleaseSocket() {
  if (!HasSocket) return;
  HasSocket = false;
  GlobalStack->SockShutdown(SysSocket, Id_SD_SEND);
  GlobalStack->SockClose(SysSocket);
}

bool TIdSocketHandle::TryBindOnce() {
  if (GlobalStack->CheckSocketResult(GlobalStack->SockBind(SysSocket, Id_PF_INET, IP, Port),
                                     {Id_WSAEADDRINUSE})) {
    return false;
  }
  RefreshLocal();
  return true;
}

void TIdSocketHandle::BindLocal() {
  if (Port != 0 || ClientPortMin == 0 || ClientPortMax == 0) {
    if (!TryBindOnce()) throw EIdCouldNotBindSocket(rs::CouldNotBindSocket);
    return;
  }
  const std::string range[2] = {std::to_string(ClientPortMin), std::to_string(ClientPortMax)};
  if (ClientPortMin > ClientPortMax)
    throw EIdInvalidPortRange(FormatText(rs::InvalidPortRange, {range[0], range[1]}));
  for (Port = ClientPortMax; Port >= ClientPortMin; --Port) {
    if (TryBindOnce()) return;
  }
  Port = ClientPortMin;
  throw EIdCanNotBindPortInRange(FormatText(rs::CanNotBindRange, {range[0], range[1]}));
}

void TIdSocketHandle::ListenBacklog(int backlog) {
  GlobalStack->CheckSocketResult(GlobalStack->SockListen(SysSocket, backlog));
}

bool TIdSocketHandle::AcceptFrom(TIdStackSocketHandle listener) {
  ClearBinding(true);
  std::string ip;
  int port = 0;
  const TIdStackSocketHandle accepted = GlobalStack->SockAccept(listener, ip, port);
  IP = ip;
  Port = port;
  const int result = accepted == Id_INVALID_SOCKET ? Id_SOCKET_ERROR : 0;
  if (GlobalStack->CheckSocketResult(result, {Id_WSAEINTR, Id_WSAENOTSOCK})) return false;
  SysSocket = accepted;
  HasSocket = true;
  RefreshLocal();
  RefreshRemote();
  return true;
}

int TIdSocketHandle::ConnectRemote(int family) {
  const int result = GlobalStack->SockConnect(SysSocket, family, RemoteIP, RemotePort);
  if (result != Id_SOCKET_ERROR) {
    RefreshLocal();
    RefreshRemote();
  }
  return result;
}

void TIdSocketHandle::SetRemote(const std::string& ip, int port) {
  RemoteIP = ip;
  RemotePort = port;
}

bool TIdSocketHandle::WaitReadable(int timeout) {
  if (!HasSocket) throw EIdConnClosedGracefully(rs::ConnectionClosedGracefully);
  TIdSocketList readList{SysSocket};
  return GlobalStack->SockSelect(&readList, nullptr, nullptr, timeout) == 1;
}

int TIdSocketHandle::ReceiveBuf(void* buffer, int length, int flags) {
  return GlobalStack->SockRecv(SysSocket, buffer, length, flags);
}

int TIdSocketHandle::SendBuf(const void* buffer, int length, int flags) {
  return GlobalStack->SockSend(SysSocket, buffer, length, flags);
}

int TIdSocketHandle::ReceiveFromBuf(void* buffer, int length, int flags, std::string& ip, int& port) {
  return GlobalStack->SockRecvFrom(SysSocket, buffer, length, flags, ip, port);
}

void TIdSocketHandle::SetOption(int level, int option, const void* value, int length) {
  GlobalStack->CheckSocketResult(GlobalStack->SockSetOption(SysSocket, level, option, value, length));
}

void TIdSocketHandle::RefreshLocal() {
  int family = 0;
  GlobalStack->SockLocalName(SysSocket, family, IP, Port);
}

void TIdSocketHandle::RefreshRemote() {
  int family = 0;
  GlobalStack->SockRemoteName(SysSocket, family, RemoteIP, RemotePort);
}

void TIdSocketHandle::ClearBinding(bool resetLocal) {
  HasSocket = false;
  SysSocket = Id_INVALID_SOCKET;
  RemoteIP.clear();
  RemotePort = 0;
  if (resetLocal) {
    IP.clear();
    Port = 0;
  }
}

}  // namespace pravik
