// The binding's life from the very start of a process: these cases run in the order
// written, each on the state the one before left, and no stack is created here.
#include "net/win32/IdWinSock2.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "net/IdException.h"
#include "net/win32/IdWin32Text.h"

namespace pravik::ws2 {
namespace {

bool OnResolver(std::size_t index) {
  return SocketFunctionTable[index].Slot.load() == SocketFunctionTable[index].Resolver;
}

void ExpectCallError(const EIdWS2StubError& e, const std::string& function, DWORD code) {
  const std::string title = "Error on call Winsock2 library function " + function;
  EXPECT_EQ(e.Title, title);
  EXPECT_EQ(e.SystemErrorCode, static_cast<std::int32_t>(code));
  EXPECT_EQ(e.SystemErrorText, SystemErrorMessage(code));
  EXPECT_EQ(e.Message(), title + ": " + SystemErrorMessage(code));
}

TEST(WinSock2BindingTest, TableHoldsTheLibraryFunctionsInOrderEachOnItsResolver) {
  ASSERT_EQ(std::size(SocketFunctionTable), 112u);
  EXPECT_STREQ(SocketFunctionTable[0].Name, "WSACleanup");
  EXPECT_STREQ(SocketFunctionTable[Fn_recv].Name, "recv");
  EXPECT_EQ(Fn_recv, 16u);
  EXPECT_STREQ(SocketFunctionTable[95].Name, "WSAProviderConfigChange");
  EXPECT_STREQ(SocketFunctionTable[96].Name, "WSADuplicateSocketA");  // the neutral name's slot
  EXPECT_STREQ(SocketFunctionTable[107].Name, "WSASetServiceA");
  EXPECT_STREQ(SocketFunctionTable[108].Name, "TransmitFile");
  EXPECT_STREQ(SocketFunctionTable[111].Name, "WSARecvEx");
  std::set<SocketFunctionAddress> resolvers;
  for (std::size_t i = 0; i < SocketFunctionCount; ++i) {
    EXPECT_TRUE(OnResolver(i)) << SocketFunctionTable[i].Name;
    resolvers.insert(SocketFunctionTable[i].Resolver);
  }
  EXPECT_EQ(resolvers.size(), 112u);  // each entry resolves its own slot
}

TEST(WinSock2BindingTest, ACallBeforeStartUpRaisesTheCallErrorWithTheFunctionsName) {
  ASSERT_EQ(SocketLibrary.load(), nullptr);
  try {
    Call<Fn_WSAGetLastError>();
    ADD_FAILURE() << "called without a library";
  } catch (const EIdWS2StubError& e) {
    ExpectCallError(e, "WSAGetLastError", WSANOTINITIALISED);
  }
  EXPECT_TRUE(OnResolver(Fn_WSAGetLastError));
}

TEST(WinSock2BindingTest, ALibraryThatCannotBeLoadedIsNamedInTheError) {
  WSADATA data;
  try {
    StartupLibrary("PRAVIK_NO_SUCH_LIBRARY.DLL", 0x0202, &data);
    ADD_FAILURE() << "loaded a missing library";
  } catch (const EIdWS2StubError& e) {
    EXPECT_EQ(e.Title, "Error on loading Winsock2 library (PRAVIK_NO_SUCH_LIBRARY.DLL)");
    EXPECT_EQ(e.SystemErrorCode, ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(e.Message(), e.Title + ": " + SystemErrorMessage(ERROR_MOD_NOT_FOUND));
  }
  EXPECT_EQ(SocketLibrary.load(), nullptr);
}

TEST(WinSock2BindingTest, StartUpLoadsTheLibraryOnce) {
  WSADATA data{};
  ASSERT_EQ(ws2::WSAStartup(0x0202, &data), 0);
  const HMODULE library = SocketLibrary.load();
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library, ::GetModuleHandleA("ws2_32.dll"));
  EXPECT_EQ(data.wVersion, 0x0202);

  WSADATA untouched{};
  EXPECT_EQ(ws2::WSAStartup(0x0202, &untouched), 0);
  EXPECT_EQ(untouched.wVersion, 0);  // the library was not called again
  EXPECT_EQ(SocketLibrary.load(), library);
}

TEST(WinSock2BindingTest, AFunctionIsLookedUpOnItsFirstCallOnly) {
  ASSERT_TRUE(OnResolver(Fn_htons));
  EXPECT_EQ(Call<Fn_htons>(static_cast<u_short>(0x1234)), 0x3412);
  const auto exported = reinterpret_cast<SocketFunctionAddress>(::GetProcAddress(SocketLibrary.load(), "htons"));
  EXPECT_EQ(SocketFunctionTable[Fn_htons].Slot.load(), exported);
  EXPECT_EQ(Call<Fn_htons>(static_cast<u_short>(0x0015)), 0x1500);
}

TEST(WinSock2BindingTest, AFunctionTheLibraryDoesNotExportRaisesInsteadOfCrashing) {
  // Extension functions live in another library on Windows; find one this library lacks.
  std::size_t missing = SocketFunctionCount;
  for (std::size_t i = 0; i < SocketFunctionCount && missing == SocketFunctionCount; ++i) {
    if (!::GetProcAddress(SocketLibrary.load(), SocketFunctionTable[i].Name)) missing = i;
  }
  ASSERT_NE(missing, SocketFunctionCount) << "the library exports every table function";
  const std::string name = SocketFunctionTable[missing].Name;
  try {
    if (name == "TransmitFile") {
      Call<Fn_TransmitFile>(INVALID_SOCKET, nullptr, 0, 0, nullptr, nullptr, 0);
    } else if (name == "AcceptEx") {
      Call<Fn_AcceptEx>(INVALID_SOCKET, INVALID_SOCKET, nullptr, 0, 0, 0, nullptr, nullptr);
    } else {
      ResolveSocketFunction(missing);
    }
    ADD_FAILURE() << "called " << name << " through a null address";
  } catch (const EIdWS2StubError& e) {
    ExpectCallError(e, name, ERROR_PROC_NOT_FOUND);
  }
  EXPECT_TRUE(OnResolver(missing));
}

TEST(WinSock2BindingTest, UnloadingReleasesTheLibraryAndPutsEverySlotBack) {
  UnloadSocketLibrary();
  EXPECT_EQ(SocketLibrary.load(), nullptr);
  for (std::size_t i = 0; i < SocketFunctionCount; ++i) EXPECT_TRUE(OnResolver(i)) << i;
  try {
    Call<Fn_htons>(static_cast<u_short>(1));
    ADD_FAILURE() << "called after unloading";
  } catch (const EIdWS2StubError& e) {
    ExpectCallError(e, "htons", WSANOTINITIALISED);
  }
  UnloadSocketLibrary();  // a second release does nothing
}

}  // namespace
}  // namespace pravik::ws2
