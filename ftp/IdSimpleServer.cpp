#include "ftp/IdSimpleServer.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "ftp/IdFTPErrors.h"
#include "ftp/IdFtpResourceStrings.h"
#include "net/IdIOHandlerSocket.h"
#include "net/IdSocketHandle.h"
#include "net/IdStack.h"

namespace pravik {

namespace {
constexpr int kListenBacklog = 15;
}

TIdSimpleServer::TIdSimpleServer() = default;

TIdSocketHandle* TIdSimpleServer::Binding() const {
  auto* transport = dynamic_cast<TIdIOHandlerSocket*>(IOHandler());
  return transport ? transport->SocketBinding() : nullptr;
}

void TIdSimpleServer::ResetInput() {
  TIdTCPConnection::ResetInput();
  AbortFlag = false;
  IsListening = false;
  if (OwnsTransport)
    ReleaseOwnedTransport();
  else
    SetIOHandler(nullptr);
}

void TIdSimpleServer::CreateTransport() {
  auto transport = std::make_unique<TIdIOHandlerSocket>();
  TIdIOHandlerSocket& created = *transport;
  AttachOwnedTransport(std::move(transport));
  created.OpenTransport();
}

void TIdSimpleServer::RequestAbort() { AbortFlag = true; }

void TIdSimpleServer::StartListening() {
  if (!IOHandler()) {
    ResetInput();
    CreateTransport();
  }
  try {
    if (ListenSocket == Id_INVALID_SOCKET) BindListener();
    Binding()->ListenBacklog(kListenBacklog);
    IsListening = true;
  } catch (...) {
    ReleaseOwnedTransport();
    throw;
  }
}

void TIdSimpleServer::BindListener() {
  TIdSocketHandle& binding = *Binding();
  try {
    binding.OpenSocket(Id_SOCK_STREAM, 0);
    ListenSocket = binding.SysSocket;
    binding.IP = BoundIP;
    binding.Port = BoundPort;
    binding.ClientPortMin = BoundPortMin;
    binding.ClientPortMax = BoundPortMax;
    binding.BindLocal();
  } catch (...) {
    ListenSocket = Id_INVALID_SOCKET;
    throw;
  }
}

void TIdSimpleServer::StopListening() { ResetInput(); }

bool TIdSimpleServer::AcceptPeer() {
  bool result = false;
  if (!IsListening) StartListening();
  TIdSocketHandle& binding = *Binding();
  const auto started = std::chrono::steady_clock::now();
  auto closeListener = [&] {
    GlobalStack->SockClose(ListenSocket);
    // Without a peer the handle still names the closed socket: it must not close that
    // number a second time, when it may belong to another socket already.
    if (binding.HasSocket && binding.SysSocket == ListenSocket) binding.HasSocket = false;
    ListenSocket = Id_INVALID_SOCKET;
  };
  try {
    while (!AbortFlag) {
      int slice = AcceptPollTime;
      if (AcceptTimeout > 0) {
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - started)
                                .count();
        if (waited >= AcceptTimeout) throw EIdAcceptTimeout(rs::AcceptTimeout);
        slice = static_cast<int>(std::min<long long>(slice, AcceptTimeout - waited));
      }
      TIdSocketList readList{ListenSocket};
      if (WatchedSocket != Id_INVALID_SOCKET) readList.push_back(WatchedSocket);
      result = false;
      if (GlobalStack->SockSelect(&readList, nullptr, nullptr, slice) > 0) {
        for (const TIdStackSocketHandle ready : readList) {
          if (ready == WatchedSocket && OnWatchedReadable) OnWatchedReadable();
          if (ready == ListenSocket) result = true;
        }
      }
      if (!result) continue;
      binding.ListenBacklog(1);
      binding.AcceptFrom(ListenSocket);
      if (PeerIP.empty() || !binding.HasSocket || binding.RemoteIP == PeerIP) break;
      // Someone else reached the port first: turn them away and wait on.
      binding.ReleaseSocket();
      binding.SysSocket = ListenSocket;
      binding.HasSocket = true;
      result = false;
    }
  } catch (...) {
    closeListener();
    throw;
  }
  closeListener();
  return result;
}

}  // namespace pravik
