#pragma once
// A loopback TCP port that nothing listens on while the object lives: the port is held bound
// without listening, so no other program can take it and a connect to it is refused at once.
// Listening silently, it stands in for a server that takes connections and never answers.

#include <cstdint>

namespace pravik::test {

class ClosedLoopbackPort {
 public:
  // Raises std::runtime_error when no socket can be bound on 127.0.0.1.
  ClosedLoopbackPort();
  ~ClosedLoopbackPort();
  ClosedLoopbackPort(const ClosedLoopbackPort&) = delete;
  ClosedLoopbackPort& operator=(const ClosedLoopbackPort&) = delete;

  int Port() const { return port_; }
  // Listens from now on without ever accepting: the system completes each connection,
  // takes what the peer sends and nobody answers.
  void ListenSilently();

 private:
  std::uintptr_t socket_ = 0;
  int port_ = 0;
};

}  // namespace pravik::test
