#pragma once
// The thread that carries out a time-limited connect of a socket handle.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace pravik {

class TIdSocketHandle;

class TIdConnectThread {
 public:
  // Created without running; Start runs the connect of `target` (not owned).
  explicit TIdConnectThread(TIdSocketHandle& target) : TargetBinding(target) {}
  // Waits for the thread to end.
  ~TIdConnectThread();
  TIdConnectThread(const TIdConnectThread&) = delete;
  TIdConnectThread& operator=(const TIdConnectThread&) = delete;

  void Start();
  // Set by the thread as its last step, after FailureText and FailureCode.
  bool Finished() const { return FFinished.load(std::memory_order_acquire); }
  void Terminate() { FTerminated.store(true); }
  void WaitFor();

  TIdSocketHandle& TargetBinding;
  std::string FailureText;      // the message of the error the connect raised, else empty
  std::int32_t FailureCode = 0; // its SocketErrorCode when it was an EIdSocketError

 private:
  void Execute();

  std::thread FThread;
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FTerminated{false};
};

}  // namespace pravik
