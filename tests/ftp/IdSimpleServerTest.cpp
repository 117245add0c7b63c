// The one-peer data listener: binding, the accept wait and its ends (a peer, an abort,
// the time limit), the peer address filter, and reading what the peer sent.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "ftp/IdFTPErrors.h"
#include "ftp/IdSimpleServer.h"
#include "ftp/IdStream.h"
#include "net/IdException.h"
#include "net/IdIOHandlerSocket.h"
#include "net/IdSocketHandle.h"
#include "net/IdStack.h"
#include "tests/support/ErrorMessage.h"
#include "tests/support/NetTestSupport.h"

namespace pravik::test {
namespace {

// A peer connected to the listener from `fromIP`, having sent `bytes` and closed its side.
std::unique_ptr<TIdIOHandlerSocket> PeerThatSent(int port, const std::string& bytes,
                                                 const std::string& fromIP = "127.0.0.1") {
  auto peer = std::make_unique<TIdIOHandlerSocket>();
  peer->OpenTransport();
  peer->ConnectEndpoint("127.0.0.1", port, fromIP, 0, 0, 0, 5000);
  if (!bytes.empty()) peer->SendBuf(bytes.data(), static_cast<int>(bytes.size()));
  GlobalStack->SockShutdown(peer->SocketBinding()->SysSocket, Id_SD_SEND);
  return peer;
}

class SimpleServerTest : public ::testing::Test {
 protected:
  SimpleServerTest() {
    Listener.BoundIP = "127.0.0.1";
    Listener.AcceptPollTime = 50;
  }
  int ListeningPort() { return Listener.Binding()->Port; }

  TIdSimpleServer Listener;
  TIdSimpleBuffer Received;
};

TEST_F(SimpleServerTest, ListensOnTheBoundAddressWithAPortTheSystemChose) {
  Listener.StartListening();
  EXPECT_TRUE(Listener.IsListening);
  EXPECT_NE(Listener.ListenSocket, Id_INVALID_SOCKET);
  EXPECT_EQ(Listener.Binding()->IP, "127.0.0.1");
  EXPECT_GT(ListeningPort(), 0);
}

TEST_F(SimpleServerTest, AcceptsAQueuedPeerAndReadsAllItSent) {
  Listener.StartListening();
  const auto peer = PeerThatSent(ListeningPort(), "the whole file");
  ASSERT_TRUE(Listener.AcceptPeer());
  EXPECT_EQ(Listener.ListenSocket, Id_INVALID_SOCKET);
  Listener.ReadUntilClosed(Received);
  EXPECT_EQ(Received.Bytes(), "the whole file");
}

TEST_F(SimpleServerTest, AbortBeforeTheWaitReturnsAtOnceWithoutPeer) {
  Listener.StartListening();
  Listener.RequestAbort();
  EXPECT_FALSE(Listener.AcceptPeer());
  EXPECT_EQ(Listener.ListenSocket, Id_INVALID_SOCKET);
}

TEST_F(SimpleServerTest, AbortFromAnotherThreadEndsTheWait) {
  Listener.StartListening();
  std::thread aborter([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    Listener.RequestAbort();
  });
  EXPECT_FALSE(Listener.AcceptPeer());
  aborter.join();
}

TEST_F(SimpleServerTest, AbortBeforeListeningIsClearedAndTheTimeLimitEndsTheWait) {
  Listener.RequestAbort();
  Listener.AcceptTimeout = 200;
  EXPECT_EQ(MessageOf<EIdAcceptTimeout>([&] { Listener.AcceptPeer(); }),
            "Timed out waiting for the server's data connection.");
  EXPECT_EQ(Listener.ListenSocket, Id_INVALID_SOCKET);
}

TEST_F(SimpleServerTest, PeerFromAnotherAddressIsTurnedAwayAndTheWaitGoesOn) {
  Listener.BoundIP = "";
  Listener.PeerIP = "127.0.0.1";
  Listener.StartListening();
  const auto intruder = PeerThatSent(ListeningPort(), "forged file", "127.0.0.2");
  std::unique_ptr<TIdIOHandlerSocket> server;
  std::thread late([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    server = PeerThatSent(ListeningPort(), "the server's file");
  });
  const bool accepted = Listener.AcceptPeer();
  late.join();
  ASSERT_TRUE(accepted);
  EXPECT_EQ(Listener.Binding()->RemoteIP, "127.0.0.1");
  Listener.ReadUntilClosed(Received);
  EXPECT_EQ(Received.Bytes(), "the server's file");
  // The intruder's connection was closed, not left waiting.
  char byte;
  ASSERT_TRUE(intruder->WaitReadable(5000));
  EXPECT_LE(intruder->SocketBinding()->ReceiveBuf(&byte, 1, 0), 0);
}

TEST_F(SimpleServerTest, PortRangeIsTriedFromTheTopDown) {
  const int low = FindFreePorts(3);
  const auto taken = OpenListener("127.0.0.1", low + 2);
  Listener.BoundPortMin = low;
  Listener.BoundPortMax = low + 2;
  Listener.StartListening();
  EXPECT_EQ(ListeningPort(), low + 1);
}

TEST_F(SimpleServerTest, BindFailuresLeaveNoTransportAndNoListeningSocket) {
  const auto taken = OpenListener("127.0.0.1", 0);
  struct Case {
    int Port, Min, Max;
    std::string Message;
  };
  const Case cases[] = {
      {taken->Port, 0, 0, "Could not bind socket. Address and port are already in use."},
      {0, 5001, 5000, "Invalid Port Range (5001 - 5000)"},
      {0, taken->Port, taken->Port, "Can not bind in port range (" + std::to_string(taken->Port) + " - " +
                                         std::to_string(taken->Port) + ")"},
  };
  for (const Case& c : cases) {
    TIdSimpleServer listener;
    listener.BoundIP = "127.0.0.1";
    listener.BoundPort = c.Port;
    listener.BoundPortMin = c.Min;
    listener.BoundPortMax = c.Max;
    EXPECT_EQ(MessageOf<EIdSocketHandleError>([&] { listener.StartListening(); }), c.Message);
    EXPECT_EQ(listener.IOHandler(), nullptr);
    EXPECT_EQ(listener.ListenSocket, Id_INVALID_SOCKET);
    EXPECT_FALSE(listener.IsListening);
  }
}

TEST_F(SimpleServerTest, StopListeningReleasesTheTransportAndClearsTheFlags) {
  Listener.StartListening();
  Listener.RequestAbort();
  Listener.StopListening();
  EXPECT_EQ(Listener.IOHandler(), nullptr);
  EXPECT_FALSE(Listener.IsListening);
  EXPECT_FALSE(Listener.AbortFlag);
}

}  // namespace
}  // namespace pravik::test
