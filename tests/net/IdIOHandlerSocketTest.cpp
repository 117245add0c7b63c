#include "net/IdIOHandlerSocket.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "net/IdException.h"
#include "net/IdGlobal.h"
#include "net/IdSocketHandle.h"
#include "net/IdSocks.h"
#include "net/IdStack.h"
#include "tests/support/ForwardingStack.h"
#include "tests/support/NetTestSupport.h"

namespace pravik {
namespace {

using test::ConnectTransport;
using test::OpenListener;
using test::Stopwatch;

class TransportTest : public ::testing::Test {
 protected:
  TIdComponent StackUser;
  std::vector<std::pair<TIdStatus, std::string>> Statuses;

  std::unique_ptr<TIdIOHandlerSocket> NewTransport() {
    auto transport = std::make_unique<TIdIOHandlerSocket>();
    transport->OnStatus = [this](TIdComponent*, TIdStatus status, const std::string& text) {
      Statuses.emplace_back(status, text);
    };
    transport->OpenTransport();
    return transport;
  }
};

TEST_F(TransportTest, ConnectsFromAnyAddressAndASystemPortToThePeer) {
  auto listener = OpenListener();
  auto transport = NewTransport();
  EXPECT_TRUE(transport->Opened);
  EXPECT_FALSE(transport->TransportConnected());
  transport->ConnectEndpoint("127.0.0.1", listener->Port, "", 0, 0, 0, TimeLimitDefault);

  TIdSocketHandle& binding = *transport->SocketBinding();
  EXPECT_TRUE(transport->TransportConnected());
  EXPECT_EQ(binding.IP, "127.0.0.1");  // the interface the connection runs over
  EXPECT_GT(binding.Port, 0);
  EXPECT_EQ(binding.RemoteIP, "127.0.0.1");
  EXPECT_EQ(binding.RemotePort, listener->Port);
  EXPECT_EQ(transport->SocksInfo().Version, TSocksVersion::svNoSocks);
  EXPECT_EQ(transport->SocksInfo().Port, 1080);
}

TEST_F(TransportTest, RefusedConnectRaisesWithTheSystemCodeAndKeepsTheSocket) {
  int port;
  { port = OpenListener()->Port; }  // a port nobody listens on any more
  auto transport = NewTransport();
  try {
    transport->ConnectEndpoint("127.0.0.1", port, "", 0, 0, 0, TimeLimitDefault);
    ADD_FAILURE() << "connected to a closed port";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.SocketErrorCode, 10061);
    EXPECT_EQ(e.Message(), "Socket Error # 10061\r\nConnection refused.");
  }
  EXPECT_TRUE(transport->TransportConnected());  // the caller closes it
  transport->ShutTransport();
  EXPECT_FALSE(transport->TransportConnected());
  EXPECT_FALSE(transport->Opened);
}

TEST_F(TransportTest, StatusNamesTheHostToResolveAndTheAddressConnectedTo) {
  struct Row {
    std::string Host;
    bool Resolves;
    std::string Connecting;  // the address text the connecting status shows
  };
  auto listener = OpenListener();
  for (const Row& row : {Row{"localhost", true, "127.0.0.1"}, Row{"LOCALHOST", true, "127.0.0.1"},
                         Row{"127.0.0.1", false, "127.0.0.1"}, Row{"2130706433", false, "2130706433"},
                         Row{"127.1", false, "127.1"}}) {
    Statuses.clear();
    auto transport = NewTransport();
    transport->ConnectEndpoint(row.Host, listener->Port, "", 0, 0, 0, TimeLimitDefault);
    std::vector<std::pair<TIdStatus, std::string>> expected;
    if (row.Resolves) expected.emplace_back(TIdStatus::statusResolving, "Resolving hostname " + row.Host + ".");
    expected.emplace_back(TIdStatus::statusConnecting, "Connecting to " + row.Connecting + ".");
    EXPECT_EQ(Statuses, expected) << row.Host;
    EXPECT_EQ(transport->SocketBinding()->RemoteIP, "127.0.0.1") << row.Host;
  }
}

TEST_F(TransportTest, ATargetAddressThatDoesNotParseRaises) {
  auto transport = NewTransport();
  EXPECT_THROW(transport->ConnectEndpoint("1.2.3.4.5", 21, "", 0, 0, 0, TimeLimitDefault), EIdException);
}

TEST_F(TransportTest, TimeLimitedConnectSleepsAShortLimitInFull) {
  auto listener = OpenListener();
  auto transport = NewTransport();
  Stopwatch watch;
  transport->ConnectEndpoint("127.0.0.1", listener->Port, "", 0, 0, 0, 100);
  EXPECT_GE(watch.Ms(), 100);
  EXPECT_TRUE(transport->TransportConnected());
}

TEST_F(TransportTest, TimeLimitedConnectNoticesTheEndAtTheNextStep) {
  auto listener = OpenListener();
  for (int limit : {1000, TimeLimitInfinite}) {
    auto transport = NewTransport();
    Stopwatch watch;
    transport->ConnectEndpoint("127.0.0.1", listener->Port, "", 0, 0, 0, limit);
    const long long elapsed = watch.Ms();
    EXPECT_GE(elapsed, 125) << limit;
    EXPECT_LT(elapsed, 900) << limit;  // one or two steps, far from the limit
    EXPECT_EQ(transport->SocketBinding()->RemotePort, listener->Port);
  }
}

TEST_F(TransportTest, TimeLimitedConnectReportsTheThreadsFailure) {
  int port;
  { port = OpenListener()->Port; }
  auto transport = NewTransport();
  try {
    transport->ConnectEndpoint("127.0.0.1", port, "", 0, 0, 0, 1000);
    ADD_FAILURE() << "connected to a closed port";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.SocketErrorCode, 10061);
    EXPECT_EQ(e.Message(), "Socket Error # 10061\r\nConnection refused.");
  }
}

TEST_F(TransportTest, ConnectToAPeerThatNeverAnswersTimesOut) {
  test::UnansweringPeer peer = test::MakeUnansweringPeer();
  auto transport = NewTransport();
  Stopwatch watch;
  try {
    transport->ConnectEndpoint("127.0.0.1", peer.Port, "", 0, 0, 0, 500);
    ADD_FAILURE() << "connected to a full backlog";
  } catch (const EIdConnectTimeout& e) {
    EXPECT_EQ(e.Message(), "Connect timed out.");
  }
  EXPECT_GE(watch.Ms(), 500);
  EXPECT_FALSE(transport->TransportConnected());  // released at expiry
}

// Records the thread each connect runs on.
class ThreadRecordingStack : public test::ForwardingStack {
 public:
  static inline std::thread::id ConnectThread;
  int SockConnect(TIdStackSocketHandle s, int family, const std::string& ip, int port) override {
    ConnectThread = std::this_thread::get_id();
    return ForwardingStack::SockConnect(s, family, ip, port);
  }
};

TEST(TransportThreadTest, LimitsZeroAndDefaultConnectInTheCallingThread) {
  test::ScopedStackClass guard([]() -> std::unique_ptr<TIdStack> { return std::make_unique<ThreadRecordingStack>(); });
  TIdComponent stackUser;
  auto listener = OpenListener();
  for (int limit : {0, TimeLimitDefault, 300}) {
    ThreadRecordingStack::ConnectThread = {};
    ConnectTransport(listener->Port, limit);
    EXPECT_EQ(ThreadRecordingStack::ConnectThread == std::this_thread::get_id(), limit != 300) << limit;
  }
}

TEST_F(TransportTest, ReceiveAndSendNeedASocket) {
  auto listener = OpenListener();
  auto transport = NewTransport();
  char byte = 0;
  EXPECT_THROW(transport->ReceiveBuf(&byte, 1), EIdClosedSocket);
  transport->ConnectEndpoint("127.0.0.1", listener->Port, "", 0, 0, 0, TimeLimitDefault);
  transport->ShutTransport();
  try {
    transport->SendBuf(&byte, 1);
    ADD_FAILURE() << "sent without a socket";
  } catch (const EIdClosedSocket& e) {
    EXPECT_EQ(e.Message(), "Disconnected.");
  }
  EXPECT_THROW(transport->ReceiveBuf(&byte, 1), EIdClosedSocket);
}

TEST_F(TransportTest, AShutTransportConnectsAgain) {
  auto listener = OpenListener();
  auto transport = NewTransport();
  transport->ConnectEndpoint("127.0.0.1", listener->Port, "", 0, 0, 0, TimeLimitDefault);
  const int firstPort = transport->SocketBinding()->Port;
  transport->ShutTransport();
  transport->OpenTransport();
  EXPECT_EQ(transport->SocketBinding()->Port, 0);  // cleared, local part included
  transport->ConnectEndpoint("127.0.0.1", listener->Port, "", 0, 0, 0, TimeLimitDefault);
  EXPECT_TRUE(transport->TransportConnected());
  EXPECT_NE(transport->SocketBinding()->Port, firstPort);
}

int NoDelay(TIdIOHandlerSocket& transport) {
  std::int32_t value = 0;  // Windows may fill only the first byte
  int length = sizeof value;
  GlobalStack->SockGetOption(transport.SocketBinding()->SysSocket, Id_IPPROTO_TCP, Id_TCP_NODELAY, &value,
                             length);
  return value != 0 ? 1 : 0;
}

TEST_F(TransportTest, NagleIsOnByDefaultAndSwitchesAtOnce) {
  auto listener = OpenListener();
  auto transport = NewTransport();
  EXPECT_TRUE(transport->UseNagle());
  transport->ConnectEndpoint("127.0.0.1", listener->Port, "", 0, 0, 0, TimeLimitDefault);
  EXPECT_EQ(NoDelay(*transport), 0);
  transport->SetUseNagle(false);
  EXPECT_EQ(NoDelay(*transport), 1);
  transport->SetUseNagle(true);
  EXPECT_EQ(NoDelay(*transport), 0);
}

TEST_F(TransportTest, SocksSettingsAreCopiedIntoTheTransportsOwn) {
  auto transport = NewTransport();
  TIdSocksInfo settings;
  settings.Port = 1081;
  transport->SetSocksInfo(settings);
  EXPECT_EQ(transport->SocksInfo().Port, 1081);
  EXPECT_NE(&transport->SocksInfo(), &settings);
}

}  // namespace
}  // namespace pravik
