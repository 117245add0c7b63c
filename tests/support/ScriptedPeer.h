#pragma once
// An in-process peer on 127.0.0.1 that plays a script on the one connection it accepts:
// it sends given bytes in given pieces, waits for the client's lines, pauses, and closes
// in order or resets, while it records every byte the client sends. Built on the stack
// under test, so it runs natively and under Wine alike.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/IdComponent.h"
#include "net/IdSocketHandle.h"

namespace pravik::test {

class ScriptedPeer {
 public:
  ScriptedPeer();
  // Stops the script and closes the connection.
  ~ScriptedPeer();
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  int Port() const { return FPort; }
  // True once the test is ending: long actions of Call steps give up then.
  bool Stopped() const { return Stopping; }

  // Script steps, played in order once Start is called.
  ScriptedPeer& Send(std::string bytes);      // one piece, then a pause so it arrives alone
  ScriptedPeer& SendRepeated(std::string block, long long total);  // `total` bytes of `block`
  ScriptedPeer& SendUntilClosed(std::string block);  // until the client goes away
  ScriptedPeer& WaitForLines(int count = 1);  // until the client has sent that many more lines
  ScriptedPeer& Pause(int ms);
  ScriptedPeer& Close();                      // orderly close
  ScriptedPeer& Reset();                      // abortive close: the client sees a reset
  // Runs `action` in the peer's thread, for work beside the connection (a second
  // connection of a protocol, for one).
  ScriptedPeer& Call(std::function<void()> action);
  // Accepts one connection (within a bound) and plays the script in a thread.
  void Start();
  // Blocks until the script has played to its end.
  void WaitUntilDone();

  // Everything the client sent so far, and the same as CR LF lines.
  std::string Received();
  std::vector<std::string> ReceivedLines();

 private:
  using Step = std::function<void()>;
  void Run();
  void SendAll(const std::string& bytes);
  bool Collect(int timeoutMs);  // reads what the client sent; false once it has closed
  int LinesReceived();

  TIdComponent StackUser;
  std::unique_ptr<TIdSocketHandle> Listener;
  TIdSocketHandle Connection;
  int FPort = 0;
  int LinesAwaited = 0;
  std::vector<Step> Steps;
  std::thread Thread;
  std::atomic<bool> Stopping{false};
  std::mutex Lock;
  std::condition_variable Changed;
  std::string FReceived;
  bool ClientClosed = false;
  bool Done = false;
};

}  // namespace pravik::test
