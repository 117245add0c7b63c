#include "tests/db/ClosedLoopbackPort.h"

#include <winsock2.h>

#include <stdexcept>
#include <string>

namespace pravik::test {

namespace {

// No program of the project links the sockets library: it is loaded here at run time, once,
// and released when the test program ends.
class Winsock {
 public:
  Winsock() : module_(::LoadLibraryA("ws2_32.dll")) {
    if (!module_) throw std::runtime_error("ws2_32.dll cannot be loaded");
    Resolve(startup, "WSAStartup");
    Resolve(cleanup, "WSACleanup");
    Resolve(socket, "socket");
    Resolve(bind, "bind");
    Resolve(getsockname, "getsockname");
    Resolve(closesocket, "closesocket");
    Resolve(listen, "listen");
    WSADATA data;
    if (startup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup failed");
  }
  ~Winsock() {
    cleanup();
    ::FreeLibrary(module_);
  }
  Winsock(const Winsock&) = delete;
  Winsock& operator=(const Winsock&) = delete;

  int(WSAAPI* startup)(WORD, LPWSADATA) = nullptr;
  int(WSAAPI* cleanup)() = nullptr;
  SOCKET(WSAAPI* socket)(int, int, int) = nullptr;
  int(WSAAPI* bind)(SOCKET, const sockaddr*, int) = nullptr;
  int(WSAAPI* getsockname)(SOCKET, sockaddr*, int*) = nullptr;
  int(WSAAPI* closesocket)(SOCKET) = nullptr;
  int(WSAAPI* listen)(SOCKET, int) = nullptr;

 private:
  template <typename Function>
  void Resolve(Function& function, const char* name) {
    const FARPROC address = ::GetProcAddress(module_, name);
    if (!address) throw std::runtime_error(std::string("ws2_32.dll has no ") + name);
    // Through the one function pointer type that converts to every other without a warning.
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
  }

  HMODULE module_;
};

const Winsock& Sockets() {
  static const Winsock winsock;
  return winsock;
}

}  // namespace

ClosedLoopbackPort::ClosedLoopbackPort() {
  const Winsock& ws = Sockets();
  const SOCKET handle = ws.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.S_un.S_un_b = {127, 0, 0, 1};
  int length = sizeof address;
  if (handle == INVALID_SOCKET ||
      ws.bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ws.getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (handle != INVALID_SOCKET) ws.closesocket(handle);
    throw std::runtime_error("bind on 127.0.0.1 failed");
  }
  socket_ = static_cast<std::uintptr_t>(handle);
  // sin_port is in network byte order.
  const auto* port = reinterpret_cast<const unsigned char*>(&address.sin_port);
  port_ = port[0] << 8 | port[1];
}

void ClosedLoopbackPort::ListenSilently() {
  if (Sockets().listen(static_cast<SOCKET>(socket_), 16) != 0) throw std::runtime_error("listen on 127.0.0.1 failed");
}

ClosedLoopbackPort::~ClosedLoopbackPort() { Sockets().closesocket(static_cast<SOCKET>(socket_)); }

}  // namespace pravik::test
