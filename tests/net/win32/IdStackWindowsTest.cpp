// The stack's lifetime over the real sockets library, from the start of a process:
// these cases run in the order written.
#include "net/win32/IdStackWindows.h"

#include <gtest/gtest.h>

#include <memory>

#include "net/IdComponent.h"
#include "net/IdException.h"
#include "net/win32/IdWinSock2.h"

namespace pravik {
namespace {

using namespace ws2;

TEST(StackWindowsLifetimeTest, TheFirstComponentStartsTheLibrary) {
  ASSERT_EQ(GlobalStack, nullptr);
  ASSERT_FALSE(SocketsStarted());
  ASSERT_EQ(SocketLibrary.load(), nullptr);

  auto first = std::make_unique<TIdComponent>();
  ASSERT_NE(GlobalStack, nullptr);
  EXPECT_NE(dynamic_cast<TIdStackWindows*>(GlobalStack), nullptr);
  EXPECT_TRUE(SocketsStarted());
  EXPECT_NE(SocketLibrary.load(), nullptr);
}

TEST(StackWindowsLifetimeTest, TheLibraryOutlivesTheLastStackAndIsNotStartedAgain) {
  const HMODULE library = SocketLibrary.load();
  ASSERT_NE(library, nullptr);
  ASSERT_EQ(GlobalStack, nullptr);  // the first case's component is gone

  // With the stack gone, table functions still reach the loaded library.
  EXPECT_EQ(Call<Fn_htons>(static_cast<u_short>(0x0102)), 0x0201);
  {
    TIdComponent a;
    TIdComponent b;
    EXPECT_NE(GlobalStack, nullptr);
    const TIdStackSocketHandle socket = GlobalStack->NewSocket(Id_SOCK_STREAM, 0);
    EXPECT_EQ(GlobalStack->SockClose(socket), 0);
  }
  EXPECT_EQ(SocketLibrary.load(), library);

  // The system's start-up ran once: a single clean-up leaves the library uninitialised.
  ASSERT_EQ(Call<Fn_WSACleanup>(), 0);
  EXPECT_EQ(Call<Fn_socket>(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
  EXPECT_EQ(Call<Fn_WSAGetLastError>(), WSANOTINITIALISED);

  // Start it again behind the binding's back so that the exit clean-up balances.
  using StartupFunction = int(WSAAPI*)(WORD, LPWSADATA);
  const auto startup = reinterpret_cast<StartupFunction>(
      reinterpret_cast<SocketFunctionAddress>(::GetProcAddress(library, "WSAStartup")));
  WSADATA data;
  ASSERT_EQ(startup(0x0202, &data), 0);
}

}  // namespace
}  // namespace pravik
