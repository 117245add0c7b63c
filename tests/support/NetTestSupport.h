#pragma once
// Loopback peers for the socket tests, built on the stack under test itself so that the
// same tests run natively and under Wine.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "net/IdIOHandlerSocket.h"
#include "net/IdSocketHandle.h"

namespace pravik::test {

// A listening socket on `ip`:`port` (0: the system's choice).
std::unique_ptr<TIdSocketHandle> OpenListener(const std::string& ip = "127.0.0.1", int port = 0,
                                              int backlog = 5);

// A transport connected to 127.0.0.1:`port`.
std::unique_ptr<TIdIOHandlerSocket> ConnectTransport(int port, int timeout = -1);

// The lowest of `count` consecutive loopback ports that are free now.
int FindFreePorts(int count);

// A listener that takes no more connections: its backlog is full and it never accepts,
// so a connect to it waits without an answer.
struct UnansweringPeer {
  std::unique_ptr<TIdSocketHandle> Listener;
  std::vector<std::unique_ptr<TIdIOHandlerSocket>> Queued;
  int Port = 0;
};
UnansweringPeer MakeUnansweringPeer();

class Stopwatch {
 public:
  Stopwatch() : Start(std::chrono::steady_clock::now()) {}
  long long Ms() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 Start)
        .count();
  }

 private:
  std::chrono::steady_clock::time_point Start;
};

}  // namespace pravik::test
