#include "net/IdSocketHandle.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/IdComponent.h"
#include "net/IdException.h"
#include "tests/support/ForwardingStack.h"
#include "tests/support/NetTestSupport.h"

namespace pravik {
namespace {

using test::ConnectTransport;
using test::FindFreePorts;
using test::OpenListener;

class SocketHandleTest : public ::testing::Test {
 protected:
  TIdComponent StackUser;

  static std::unique_ptr<TIdSocketHandle> OpenHandle() {
    auto handle = std::make_unique<TIdSocketHandle>();
    handle->OpenSocket(Id_SOCK_STREAM, 0);
    return handle;
  }
  static std::unique_ptr<TIdSocketHandle> Occupy(int port) { return OpenListener("127.0.0.1", port); }
};

TEST_F(SocketHandleTest, ANewHandleHasNoSocket) {
  TIdSocketHandle handle;
  EXPECT_EQ(handle.SysSocket, Id_INVALID_SOCKET);
  EXPECT_FALSE(handle.HasSocket);
  EXPECT_EQ(handle.Port, 0);
  EXPECT_EQ(handle.ClientPortMin, 0);
  EXPECT_EQ(handle.ClientPortMax, 0);
}

TEST_F(SocketHandleTest, BindWithoutAddressAndPortTakesAnyAddressAndASystemPort) {
  auto handle = OpenHandle();
  handle->BindLocal();
  EXPECT_EQ(handle->IP, "0.0.0.0");
  EXPECT_GT(handle->Port, 0);
}

TEST_F(SocketHandleTest, RangeBindTakesTheHighestFreePortFirst) {
  const int base = FindFreePorts(3);
  auto handle = OpenHandle();
  handle->IP = "127.0.0.1";
  handle->ClientPortMin = base;
  handle->ClientPortMax = base + 2;
  handle->BindLocal();
  EXPECT_EQ(handle->Port, base + 2);
}

TEST_F(SocketHandleTest, RangeBindSkipsPortsInUse) {
  const int base = FindFreePorts(3);
  auto high = Occupy(base + 2);
  auto middle = Occupy(base + 1);
  auto handle = OpenHandle();
  handle->IP = "127.0.0.1";
  handle->ClientPortMin = base;
  handle->ClientPortMax = base + 2;
  handle->BindLocal();
  EXPECT_EQ(handle->Port, base);
}

TEST_F(SocketHandleTest, RangeBindWithEveryPortInUseNamesTheRange) {
  const int base = FindFreePorts(3);
  auto a = Occupy(base), b = Occupy(base + 1), c = Occupy(base + 2);
  auto handle = OpenHandle();
  handle->IP = "127.0.0.1";
  handle->ClientPortMin = base;
  handle->ClientPortMax = base + 2;
  try {
    handle->BindLocal();
    ADD_FAILURE() << "bound in a full range";
  } catch (const EIdCanNotBindPortInRange& e) {
    EXPECT_EQ(e.Message(), "Can not bind in port range (" + std::to_string(base) + " - " +
                               std::to_string(base + 2) + ")");
  }
  EXPECT_EQ(handle->Port, base);
}

TEST_F(SocketHandleTest, RangeUpsideDownIsRefusedUnlessAPortIsGiven) {
  auto handle = OpenHandle();
  handle->ClientPortMin = 6000;
  handle->ClientPortMax = 5000;
  try {
    handle->BindLocal();
    ADD_FAILURE() << "no error";
  } catch (const EIdInvalidPortRange& e) {
    EXPECT_EQ(e.Message(), "Invalid Port Range (6000 - 5000)");
  }

  const int port = FindFreePorts(1);
  handle->Port = port;  // a given port makes the range irrelevant
  handle->BindLocal();
  EXPECT_EQ(handle->Port, port);
}

TEST_F(SocketHandleTest, RangeWithoutUpperEndIsNoRange) {
  auto handle = OpenHandle();
  handle->IP = "127.0.0.1";
  handle->ClientPortMin = 5000;
  handle->ClientPortMax = 0;
  handle->BindLocal();
  EXPECT_NE(handle->Port, 5000);
  EXPECT_GT(handle->Port, 0);
}

TEST_F(SocketHandleTest, SingleBindToAPortInUseSaysSo) {
  auto taken = Occupy(0);
  auto handle = OpenHandle();
  handle->IP = "127.0.0.1";
  handle->Port = taken->Port;
  try {
    handle->BindLocal();
    ADD_FAILURE() << "no error";
  } catch (const EIdCouldNotBindSocket& e) {
    EXPECT_EQ(e.Message(), "Could not bind socket. Address and port are already in use.");
  }
}

TEST_F(SocketHandleTest, BindToAnAddressThatDoesNotParseRaises) {
  auto handle = OpenHandle();
  handle->IP = "127.0.0.256";
  EXPECT_THROW(handle->BindLocal(), EIdInvalidIPAddress);
}

// Reports "access denied" for the first bind it sees and counts the binds.
class AccessDeniedStack : public test::ForwardingStack {
 public:
  static inline int Binds = 0;
  int SockBind(TIdStackSocketHandle, int, const std::string&, int) override {
    ++Binds;
    InjectedError = Id_WSAEACCES;
    return Id_SOCKET_ERROR;
  }
};

TEST(SocketHandleRangeTest, AnErrorOtherThanAddressInUseStopsTheRangeAtOnce) {
  test::ScopedStackClass guard([]() -> std::unique_ptr<TIdStack> { return std::make_unique<AccessDeniedStack>(); });
  TIdComponent stackUser;
  AccessDeniedStack::Binds = 0;
  TIdSocketHandle handle;
  handle.OpenSocket(Id_SOCK_STREAM, 0);
  handle.ClientPortMin = 5000;
  handle.ClientPortMax = 5002;
  try {
    handle.BindLocal();
    ADD_FAILURE() << "no error";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.SocketErrorCode, 10013);
    EXPECT_EQ(e.Message(), "Socket Error # 10013\r\nAccess denied.");
  }
  EXPECT_EQ(AccessDeniedStack::Binds, 1);
  EXPECT_EQ(handle.Port, 5002);
}

TEST_F(SocketHandleTest, ListenAcceptReceiveAndSendBetweenTwoHandles) {
  auto listener = OpenListener();
  EXPECT_EQ(listener->IP, "127.0.0.1");
  EXPECT_FALSE(listener->WaitReadable(0));
  auto client = ConnectTransport(listener->Port);
  EXPECT_TRUE(listener->WaitReadable(2000));

  TIdSocketHandle server;
  ASSERT_TRUE(server.AcceptFrom(listener->SysSocket));
  EXPECT_TRUE(server.HasSocket);
  EXPECT_EQ(server.IP, "127.0.0.1");
  EXPECT_EQ(server.Port, listener->Port);
  EXPECT_EQ(server.RemoteIP, "127.0.0.1");
  EXPECT_EQ(server.RemotePort, client->SocketBinding()->Port);

  EXPECT_FALSE(server.WaitReadable(0));
  ASSERT_EQ(client->SendBuf("USER pravik\r\n", 13), 13);
  EXPECT_TRUE(server.WaitReadable(2000));
  char buffer[64] = {};
  EXPECT_EQ(server.ReceiveBuf(buffer, sizeof buffer, 0), 13);
  EXPECT_EQ(std::string(buffer, 13), "USER pravik\r\n");

  ASSERT_EQ(server.SendBuf("331 ok\r\n", 8, 0), 8);
  EXPECT_EQ(client->ReceiveBuf(buffer, sizeof buffer), 8);

  server.ReleaseSocket();
  EXPECT_TRUE(client->WaitReadable(2000));
  EXPECT_EQ(client->ReceiveBuf(buffer, sizeof buffer), 0);  // the peer's close
}

TEST_F(SocketHandleTest, AcceptKeepsTheListeningSocketOpenForTheCaller) {
  auto listener = OpenListener();
  auto first = ConnectTransport(listener->Port);
  auto second = ConnectTransport(listener->Port);
  TIdSocketHandle a, b;
  ASSERT_TRUE(a.AcceptFrom(listener->SysSocket));
  ASSERT_TRUE(b.AcceptFrom(listener->SysSocket));
  EXPECT_NE(a.RemotePort, b.RemotePort);
  EXPECT_TRUE(listener->HasSocket);
}

TEST_F(SocketHandleTest, AcceptFromAValueThatIsNoSocketGivesFalse) {
  auto own = OpenHandle();  // the handle forgets this socket without closing it
  const TIdStackSocketHandle forgotten = own->SysSocket;
  EXPECT_FALSE(own->AcceptFrom(static_cast<TIdStackSocketHandle>(40000)));
  EXPECT_FALSE(own->HasSocket);
  EXPECT_EQ(GlobalStack->LastSocketError, 10038);
  EXPECT_EQ(GlobalStack->SockClose(forgotten), 0);  // still open: closing it succeeds
}

TEST_F(SocketHandleTest, ReleaseKeepsTheFieldsAndWaitingThenSaysClosed) {
  auto listener = OpenListener();
  const TIdStackSocketHandle socket = listener->SysSocket;
  const int port = listener->Port;
  listener->ReleaseSocket();
  EXPECT_FALSE(listener->HasSocket);
  EXPECT_EQ(listener->SysSocket, socket);
  EXPECT_EQ(listener->Port, port);
  try {
    listener->WaitReadable(0);
    ADD_FAILURE() << "no error";
  } catch (const EIdConnClosedGracefully& e) {
    EXPECT_EQ(e.Message(), "Connection Closed Gracefully.");
  }
  listener->ReleaseSocket();  // nothing to release twice
}

TEST_F(SocketHandleTest, ClearBindingForgetsWithoutClosing) {
  auto listener = OpenListener();
  auto client = ConnectTransport(listener->Port);
  TIdSocketHandle& binding = *client->SocketBinding();
  const TIdStackSocketHandle socket = binding.SysSocket;
  binding.ClearBinding(false);
  EXPECT_EQ(binding.SysSocket, Id_INVALID_SOCKET);
  EXPECT_EQ(binding.RemoteIP, "");
  EXPECT_EQ(binding.RemotePort, 0);
  EXPECT_EQ(binding.IP, "127.0.0.1");
  binding.ClearBinding(true);
  EXPECT_EQ(binding.IP, "");
  EXPECT_EQ(binding.Port, 0);
  EXPECT_EQ(GlobalStack->SockClose(socket), 0);
}

}  // namespace
}  // namespace pravik
