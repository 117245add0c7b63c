#include "tests/support/NetTestSupport.h"

#include <stdexcept>

#include "net/IdException.h"
#include "net/IdStack.h"

namespace pravik::test {

std::unique_ptr<TIdSocketHandle> OpenListener(const std::string& ip, int port, int backlog) {
  auto listener = std::make_unique<TIdSocketHandle>();
  listener->OpenSocket(Id_SOCK_STREAM, 0);
  listener->IP = ip;
  listener->Port = port;
  listener->BindLocal();
  listener->ListenBacklog(backlog);
  return listener;
}

std::unique_ptr<TIdIOHandlerSocket> ConnectTransport(int port, int timeout) {
  auto transport = std::make_unique<TIdIOHandlerSocket>();
  transport->OpenTransport();
  transport->ConnectEndpoint("127.0.0.1", port, "", 0, 0, 0, timeout);
  return transport;
}

int FindFreePorts(int count) {
  // Start near a port the system considers free and walk up until a run of free ports.
  int base;
  {
    TIdSocketHandle probe;
    probe.OpenSocket(Id_SOCK_STREAM, 0);
    probe.IP = "127.0.0.1";
    probe.BindLocal();
    base = probe.Port + 1;
  }
  for (int tries = 0; tries < 200 && base + count < 65536; ++tries, ++base) {
    std::vector<std::unique_ptr<TIdSocketHandle>> held;
    bool free = true;
    for (int i = 0; i < count && free; ++i) {
      auto handle = std::make_unique<TIdSocketHandle>();
      handle->OpenSocket(Id_SOCK_STREAM, 0);
      handle->IP = "127.0.0.1";
      handle->Port = base + i;
      try {
        handle->BindLocal();
      } catch (const EIdCouldNotBindSocket&) {
        free = false;
      }
      held.push_back(std::move(handle));
    }
    if (free) return base;
  }
  throw std::runtime_error("no run of free ports");
}

UnansweringPeer MakeUnansweringPeer() {
  UnansweringPeer peer;
  peer.Listener = OpenListener("127.0.0.1", 0, 1);
  peer.Port = peer.Listener->Port;
  // The system queues a few connections beyond the backlog; fill them until one gets no
  // answer. Each fill is a short time-limited connect.
  for (int i = 0; i < 16; ++i) {
    try {
      peer.Queued.push_back(ConnectTransport(peer.Port, 300));
    } catch (const EIdConnectTimeout&) {
      return peer;
    }
  }
  throw std::runtime_error("the listener kept answering");
}

}  // namespace pravik::test
