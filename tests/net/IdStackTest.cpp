#include "net/IdStack.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "net/IdComponent.h"
#include "net/IdException.h"
#include "net/IdSocketHandle.h"
#include "tests/support/NetTestSupport.h"

namespace pravik {
namespace {

using test::OpenListener;
using test::Stopwatch;

class StackTest : public ::testing::Test {
 protected:
  TIdComponent StackUser;  // keeps GlobalStack alive
  TIdStack& Stack() { return *GlobalStack; }
};

struct AddressCase {
  std::string Text;
  bool Valid;
  std::string Dotted;  // the four bytes, when valid
};

class ParseIPTextTest : public StackTest, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(ParseIPTextTest, ParsesEveryDottedForm) {
  const AddressCase& c = GetParam();
  std::uint8_t bytes[4] = {};
  ASSERT_EQ(TIdStack::ParseIPText(c.Text, bytes), c.Valid) << c.Text;
  EXPECT_EQ(Stack().IsIPText(c.Text), c.Valid);
  if (c.Valid) {
    EXPECT_EQ(Stack().InAddrToText(bytes), c.Dotted);
  } else {
    try {
      Stack().TextToInAddr(c.Text, bytes);
      ADD_FAILURE() << "no error for " << c.Text;
    } catch (const EIdInvalidIPAddress& e) {
      EXPECT_EQ(e.Message(), c.Text + " is not a valid IP address.");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseIPTextTest,
    ::testing::Values(AddressCase{"192.168.0.1", true, "192.168.0.1"},
                      AddressCase{"0.0.0.0", true, "0.0.0.0"},
                      AddressCase{"10.1", true, "10.0.0.1"},
                      AddressCase{"127.1", true, "127.0.0.1"},
                      AddressCase{"10.1.2", true, "10.1.0.2"},
                      AddressCase{"1.2.3.", true, "1.2.0.3"},
                      AddressCase{"1.2.65535", true, "1.2.255.255"},
                      AddressCase{"1.16777215", true, "1.255.255.255"},
                      AddressCase{"4294967295", true, "255.255.255.255"},
                      AddressCase{"3232235521", true, "192.168.0.1"},
                      AddressCase{"1..2", true, "0.0.0.1"},
                      AddressCase{"1.2..4", true, "1.0.0.2"},
                      AddressCase{"4294967296", false, ""},
                      AddressCase{"256.1.1.1", false, ""},
                      AddressCase{"1.2.65536", false, ""},
                      AddressCase{"1.16777216", false, ""},
                      AddressCase{"1.2.3.4.5", false, ""},
                      AddressCase{"1.2.3.-1", false, ""},
                      AddressCase{"a.b.c.d", false, ""},
                      AddressCase{"", false, ""},
                      AddressCase{".1.2.3", false, ""},
                      AddressCase{"pravik-ftp", false, ""}));

TEST_F(StackTest, InAddrToTextWritesDecimalBytesWithoutLeadingZeros) {
  const std::uint8_t ten[4] = {10, 0, 0, 1};
  const std::uint8_t zero[4] = {0, 0, 0, 0};
  const std::uint8_t high[4] = {255, 7, 80, 100};
  EXPECT_EQ(Stack().InAddrToText(ten), "10.0.0.1");
  EXPECT_EQ(Stack().InAddrToText(zero), "0.0.0.0");
  EXPECT_EQ(Stack().InAddrToText(high), "255.7.80.100");
}

TEST_F(StackTest, HostToIPTakesLocalhostAndAddressTextsWithoutALookup) {
  for (const char* host : {"LOCALHOST", "localhost", "LocalHost"}) EXPECT_EQ(Stack().HostToIP(host), "127.0.0.1");
  EXPECT_EQ(Stack().HostToIP("127.1"), "127.1");  // an address text stays as written
  EXPECT_EQ(Stack().HostToIP("3232235521"), "3232235521");
}

TEST_F(StackTest, ResolvesAHostNameOfTheHostsFile) {
  EXPECT_EQ(Stack().SockResolveName("localhost"), "127.0.0.1");
}

struct ErrorTextCase {
  int Code;
  const char* Message;
};

class SocketErrorTextTest : public StackTest, public ::testing::WithParamInterface<ErrorTextCase> {};

TEST_P(SocketErrorTextTest, NumberLineThenText) {
  EXPECT_EQ(Stack().SocketErrorText(GetParam().Code), GetParam().Message);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SocketErrorTextTest,
    ::testing::Values(ErrorTextCase{10061, "Socket Error # 10061\r\nConnection refused."},
                      ErrorTextCase{10004, "Socket Error # 10004\r\nInterrupted system call."},
                      ErrorTextCase{10035, "Socket Error # 10035\r\nOperation would block. "},
                      ErrorTextCase{10047, "Socket Error # 10047\r\nAddress family not supported by protocol family."},
                      ErrorTextCase{10058, "Socket Error # 10058\r\nCannot send or receive after socket is closed."},
                      ErrorTextCase{10066, "Socket Error # 10066\r\nDirectory not empty"},
                      ErrorTextCase{11001, "Socket Error # 11001\r\nHost not found."},
                      ErrorTextCase{10093, "Socket Error # 10093\r\n"},
                      ErrorTextCase{0, "Socket Error # 0\r\n"}));

TEST_F(StackTest, CheckSocketResultPassesGoodResultsAndKeepsTheLastError) {
  Stack().LastSocketError = 4242;
  EXPECT_FALSE(Stack().CheckSocketResult(0));
  EXPECT_FALSE(Stack().CheckSocketResult(5, {10048}));
  EXPECT_EQ(Stack().LastSocketError, 4242);
}

TEST_F(StackTest, CheckSocketResultToleratesListedCodesAndRaisesOthers) {
  auto listener = OpenListener();
  const TIdStackSocketHandle second = Stack().NewSocket(Id_SOCK_STREAM, 0);
  const int result = Stack().SockBind(second, Id_PF_INET, "127.0.0.1", listener->Port);
  ASSERT_EQ(result, Id_SOCKET_ERROR);
  EXPECT_TRUE(Stack().CheckSocketResult(result, {10048}));
  EXPECT_EQ(Stack().LastSocketError, 10048);

  ASSERT_EQ(Stack().SockBind(second, Id_PF_INET, "127.0.0.1", listener->Port), Id_SOCKET_ERROR);
  try {
    Stack().CheckSocketResult(Id_SOCKET_ERROR, {10061});
    ADD_FAILURE() << "no error";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.SocketErrorCode, 10048);
    EXPECT_EQ(e.Message(), "Socket Error # 10048\r\nAddress already in use.");
  }
  Stack().SockClose(second);
}

TEST_F(StackTest, SelectRefusesMoreThan64SocketsBeforeWaiting) {
  auto listener = OpenListener();
  TIdSocketList tooMany(65, listener->SysSocket);
  Stopwatch watch;
  EXPECT_THROW(
      {
        try {
          Stack().SockSelect(&tooMany, nullptr, nullptr, 5000);
        } catch (const EIdStackSetSizeExceeded& e) {
          EXPECT_STREQ(e.what(), "Set Size Exceeded.");
          throw;
        }
      },
      EIdStackSetSizeExceeded);
  EXPECT_LT(watch.Ms(), 5000);

  std::vector<std::unique_ptr<TIdSocketHandle>> listeners;
  TIdSocketList full;
  for (int i = 0; i < 64; ++i) {
    listeners.push_back(OpenListener());
    full.push_back(listeners.back()->SysSocket);
  }
  EXPECT_EQ(Stack().SockSelect(&full, nullptr, nullptr, 0), 0);  // nothing to read: waits, then none
  EXPECT_TRUE(full.empty());
}

TEST_F(StackTest, SelectLeavesOnlyTheReadySocketsInEachList) {
  auto listener = OpenListener();
  auto idle = OpenListener();
  auto client = test::ConnectTransport(listener->Port);

  TIdSocketList readList{idle->SysSocket, listener->SysSocket};
  TIdSocketList writeList{client->SocketBinding()->SysSocket};
  EXPECT_EQ(Stack().SockSelect(&readList, &writeList, nullptr, 2000), 2);
  EXPECT_EQ(readList, TIdSocketList{listener->SysSocket});  // a pending connection reads as ready
  EXPECT_EQ(writeList, TIdSocketList{client->SocketBinding()->SysSocket});
}

TEST_F(StackTest, NewSocketOpensAStreamSocket) {
  const TIdStackSocketHandle socket = Stack().NewSocket(Id_SOCK_STREAM, 0);
  EXPECT_NE(socket, Id_INVALID_SOCKET);
  EXPECT_EQ(Stack().SockClose(socket), 0);
}

TEST_F(StackTest, ServiceByNameTakesKnownNamesAndNumbers) {
  EXPECT_EQ(Stack().SockServiceByName("1234"), 1234);
  try {
    Stack().SockServiceByName("no-such-service");
    ADD_FAILURE() << "no error";
  } catch (const EIdInvalidServiceName& e) {
    EXPECT_EQ(e.Message(), "no-such-service is not a valid service.");
  }
}

TEST_F(StackTest, ByteOrderFollowsTheNetwork) {
  EXPECT_EQ(Stack().SockHostToNet16(0x1234), Stack().SockNetToHost16(0x1234));
  const std::uint32_t net = Stack().SockHostToNet32(0x0A000001);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&net);
  EXPECT_EQ(bytes[0], 10);
  EXPECT_EQ(bytes[3], 1);
  EXPECT_EQ(Stack().SockNetToHost32(net), 0x0A000001u);
}

}  // namespace
}  // namespace pravik
