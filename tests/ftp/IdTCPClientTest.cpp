#include "ftp/IdTCPClient.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ftp/IdConnectionErrors.h"
#include "net/IdException.h"
#include "net/IdIOHandlerSocket.h"
#include "tests/ftp/ConnectionFixture.h"
#include "tests/support/NetTestSupport.h"

namespace pravik {
namespace {

using Events = std::vector<std::string>;

class ClientTest : public test::ConnectionFixture {};

TEST_F(ClientTest, ConnectAndCloseReportInOrder) {
  RecordStatus();
  Connect();
  EXPECT_EQ(Events, (::pravik::Events{"statusConnecting Connecting to 127.0.0.1.",
                                      "statusConnected Connected.", "OnConnected"}));
  EXPECT_TRUE(Client.OwnsTransport);
  EXPECT_TRUE(Client.IsConnected());

  Events.clear();
  Client.CloseConnection();
  EXPECT_EQ(Events, (::pravik::Events{"statusDisconnecting Disconnecting.", "OnDisconnected",
                                      "statusDisconnected Disconnected."}));
  EXPECT_EQ(Client.IOHandler(), nullptr);
  EXPECT_FALSE(Client.OwnsTransport);
  EXPECT_THROW(Client.WriteTextLine("NOOP"), EIdNotConnected);
}

TEST_F(ClientTest, AHostNameIsResolvedFirst) {
  RecordStatus();
  Peer.Start();
  Client.Host = "localhost";
  Client.Port = Peer.Port();
  Client.ConnectToHost();
  EXPECT_EQ(Events, (::pravik::Events{"statusResolving Resolving hostname localhost.",
                                      "statusConnecting Connecting to 127.0.0.1.",
                                      "statusConnected Connected.", "OnConnected"}));
}

TEST_F(ClientTest, ConnectingAnOpenConnectionIsRefusedAndLeavesItOpen) {
  Peer.WaitForLines();
  Connect();
  try {
    Client.ConnectToHost();
    ADD_FAILURE() << "connected twice";
  } catch (const EIdAlreadyConnected& e) {
    EXPECT_EQ(e.Message(), "Already connected.");
  }
  EXPECT_TRUE(Client.IsConnected());
  Client.WriteTextLine("NOOP");
  Peer.WaitUntilDone();
  EXPECT_EQ(Peer.Received(), "NOOP\r\n");
}

TEST(ClientFailureTest, AFailedConnectClosesTheTransportAndCloseReportsNothing) {
  TIdTCPClient client;
  int port;
  { port = test::OpenListener()->Port; }
  Events events;
  client.OnStatus = [&](TIdComponent*, TIdStatus status, const std::string&) {
    events.push_back(std::to_string(static_cast<int>(status)));
  };
  client.Host = "127.0.0.1";
  client.Port = port;
  EXPECT_THROW(client.ConnectToHost(), EIdSocketError);
  ASSERT_NE(client.IOHandler(), nullptr);  // still attached, closed
  EXPECT_FALSE(client.IOHandler()->TransportConnected());
  events.clear();
  client.CloseConnection();
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(client.IOHandler(), nullptr);  // the owned transport is gone
}

TEST_F(ClientTest, AfterAReportedPeerCloseClosingOnlyReleasesTheTransport) {
  RecordStatus();
  Peer.Close();
  Connect();
  EXPECT_THROW(Client.ReadTextLine(), EIdConnClosedGracefully);
  Events.clear();
  Client.CloseConnection();
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(Client.IOHandler(), nullptr);
}

TEST_F(ClientTest, ANewConnectStartsWithAnEmptyQueue) {
  Peer.Send("220 first\r\nleft over");
  Connect();
  EXPECT_EQ(Client.ReadTextLine(), "220 first");
  Client.CloseConnection();
  EXPECT_FALSE(Client.InputQueue.Size() == 0);  // closing keeps the queue

  test::ScriptedPeer second;
  second.Send("220 second\r\n");
  second.Start();
  Client.Port = second.Port();
  Client.ConnectToHost();
  EXPECT_EQ(Client.ReadTextLine(), "220 second");
}

TEST(ClientTransportTest, ReplacingAnOwnedTransportDestroysIt) {
  struct Watcher : TIdComponent {
    int Removed = 0;
    void Notification(TIdComponent*) override { ++Removed; }
  } watcher;
  test::ScriptedPeer peer;
  peer.Start();
  TIdTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = peer.Port();
  client.ConnectToHost();
  watcher.FreeNotification(client.IOHandler());
  TIdIOHandlerSocket external;
  client.SetIOHandler(&external);
  EXPECT_EQ(watcher.Removed, 1);
  EXPECT_FALSE(client.OwnsTransport);
  EXPECT_EQ(client.IOHandler(), &external);
}

}  // namespace
}  // namespace pravik
