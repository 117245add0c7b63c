#include "tests/db/ClosedLoopbackPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace pravik::test {

ClosedLoopbackPort::ClosedLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    throw std::runtime_error("bind on 127.0.0.1 failed");
  }
  socket_ = static_cast<std::uintptr_t>(fd);
  port_ = ntohs(address.sin_port);
}

void ClosedLoopbackPort::ListenSilently() {
  if (::listen(static_cast<int>(socket_), 16) != 0) throw std::runtime_error("listen on 127.0.0.1 failed");
}

ClosedLoopbackPort::~ClosedLoopbackPort() { ::close(static_cast<int>(socket_)); }

}  // namespace pravik::test
