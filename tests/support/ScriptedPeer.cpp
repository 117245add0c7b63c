#include "tests/support/ScriptedPeer.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <stdexcept>

#include "net/IdException.h"
#include "net/IdStack.h"
#include "tests/support/NetTestSupport.h"

namespace pravik::test {

namespace {

constexpr int kPieceGapMs = 40;         // lets one piece arrive before the next
constexpr int kAcceptLimitMs = 10000;
constexpr int kLineWaitLimitMs = 10000;

}  // namespace

ScriptedPeer::ScriptedPeer() : Listener(OpenListener("127.0.0.1", 0, 1)), FPort(Listener->Port) {}

ScriptedPeer::~ScriptedPeer() {
  Stopping = true;
  if (Thread.joinable()) Thread.join();
}

ScriptedPeer& ScriptedPeer::Send(std::string bytes) {
  Steps.push_back([this, bytes = std::move(bytes)] {
    SendAll(bytes);
    std::this_thread::sleep_for(std::chrono::milliseconds(kPieceGapMs));
  });
  return *this;
}

ScriptedPeer& ScriptedPeer::SendRepeated(std::string block, long long total) {
  Steps.push_back([this, block = std::move(block), total] {
    for (long long left = total; left > 0 && !Stopping;) {
      const auto n = static_cast<std::size_t>(std::min<long long>(left, static_cast<long long>(block.size())));
      SendAll(block.substr(0, n));
      left -= static_cast<long long>(n);
    }
  });
  return *this;
}

ScriptedPeer& ScriptedPeer::SendUntilClosed(std::string block) {
  Steps.push_back([this, block = std::move(block)] {
    while (!Stopping && Connection.HasSocket) {
      const int n = Connection.SendBuf(block.data(), static_cast<int>(block.size()), 0);
      if (n <= 0) break;
    }
  });
  return *this;
}

ScriptedPeer& ScriptedPeer::WaitForLines(int count) {
  Steps.push_back([this, count] {
    // Counted from the start: lines that came early still count for their step.
    LinesAwaited += count;
    const int wanted = LinesAwaited;
    for (int waited = 0; LinesReceived() < wanted && waited < kLineWaitLimitMs && !Stopping; waited += 20) {
      if (!Collect(20)) break;
    }
  });
  return *this;
}

ScriptedPeer& ScriptedPeer::Pause(int ms) {
  Steps.push_back([ms] { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); });
  return *this;
}

ScriptedPeer& ScriptedPeer::Close() {
  Steps.push_back([this] { Connection.ReleaseSocket(); });
  return *this;
}

ScriptedPeer& ScriptedPeer::Reset() {
  Steps.push_back([this] {
    // A zero linger time makes the close a reset.
    const std::uint16_t abortive[2] = {1, 0};
    Connection.SetOption(Id_SOL_SOCKET, Id_SO_LINGER, abortive, sizeof abortive);
    GlobalStack->SockClose(Connection.SysSocket);
    Connection.HasSocket = false;
  });
  return *this;
}

ScriptedPeer& ScriptedPeer::Call(std::function<void()> action) {
  Steps.push_back(std::move(action));
  return *this;
}

void ScriptedPeer::Start() {
  Thread = std::thread([this] { Run(); });
}

void ScriptedPeer::Run() {
  try {
    bool accepted = false;
    for (int waited = 0; !accepted && waited < kAcceptLimitMs && !Stopping; waited += 50) {
      if (Listener->WaitReadable(50)) accepted = Connection.AcceptFrom(Listener->SysSocket);
    }
    Listener->ReleaseSocket();
    if (accepted) {
      for (const Step& step : Steps) {
        if (Stopping) break;
        Collect(0);
        step();
      }
    }
  } catch (const std::exception&) {
    // The client may go away in the middle of a step; the test judges what it saw.
  }
  {
    std::lock_guard<std::mutex> guard(Lock);
    Done = true;
  }
  Changed.notify_all();
  // Go on recording until the client closes or the test ends.
  try {
    while (!Stopping && Connection.HasSocket && Collect(50)) {
    }
  } catch (const std::exception&) {
  }
  Connection.ReleaseSocket();
}

void ScriptedPeer::SendAll(const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size() && Connection.HasSocket) {
    const int n = Connection.SendBuf(bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
    if (n <= 0) throw std::runtime_error("the client went away");
    sent += static_cast<std::size_t>(n);
  }
}

bool ScriptedPeer::Collect(int timeoutMs) {
  if (!Connection.HasSocket) return false;
  if (!Connection.WaitReadable(timeoutMs)) return true;
  char buffer[4096];
  const int n = Connection.ReceiveBuf(buffer, sizeof buffer, 0);
  std::lock_guard<std::mutex> guard(Lock);
  if (n <= 0) {
    ClientClosed = true;
    return false;
  }
  FReceived.append(buffer, static_cast<std::size_t>(n));
  return true;
}

int ScriptedPeer::LinesReceived() {
  std::lock_guard<std::mutex> guard(Lock);
  return static_cast<int>(std::count(FReceived.begin(), FReceived.end(), '\n'));
}

void ScriptedPeer::WaitUntilDone() {
  std::unique_lock<std::mutex> guard(Lock);
  Changed.wait_for(guard, std::chrono::seconds(30), [this] { return Done; });
}

std::string ScriptedPeer::Received() {
  std::lock_guard<std::mutex> guard(Lock);
  return FReceived;
}

std::vector<std::string> ScriptedPeer::ReceivedLines() {
  const std::string all = Received();
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t at; (at = all.find("\r\n", start)) != std::string::npos; start = at + 2)
    lines.push_back(all.substr(start, at - start));
  return lines;
}

}  // namespace pravik::test
