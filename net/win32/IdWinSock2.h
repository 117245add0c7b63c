#pragma once
// The run-time binding of the Windows Sockets 2 library. Nothing of "WS2_32.DLL" is
// linked at build time: the binding's own WSAStartup loads the library, and each of the
// 112 table functions is looked up by name on its first call, through its slot.

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>

#include <atomic>
#include <cstddef>
#include <utility>

namespace pravik::ws2 {

enum SocketFunction : std::size_t {
#define PRAVIK_WS2_FUNCTION(slot, exportName) Fn_##slot,
#include "net/win32/IdWinSock2Functions.inc"
#undef PRAVIK_WS2_FUNCTION
  SocketFunctionCount
};
static_assert(SocketFunctionCount == 112);

// A function address of any type; calls cast it back to the slot's own type.
using SocketFunctionAddress = void (*)();

struct SocketFunctionEntry {
  const char* Name;              // the export looked up
  SocketFunctionAddress Resolver;              // the entry that resolves this slot on its first call
  std::atomic<SocketFunctionAddress> Slot;     // where every call goes: the resolver, then the export
};

extern SocketFunctionEntry SocketFunctionTable[SocketFunctionCount];
extern std::atomic<HMODULE> SocketLibrary;
inline constexpr char SocketLibraryName[] = "WS2_32.DLL";

// The type of a slot: that of the export it is filled with.
template <std::size_t I> struct SocketFunctionType;
#define PRAVIK_WS2_FUNCTION(slot, exportName) \
  template <> struct SocketFunctionType<Fn_##slot> { using type = decltype(&::exportName); };
#include "net/win32/IdWinSock2Functions.inc"
#undef PRAVIK_WS2_FUNCTION

// Calls table function I through its slot. Raises EIdWS2StubError when no library is
// loaded, or when the loaded library does not export the function.
template <std::size_t I, typename... Args>
auto Call(Args&&... args) {
  auto fn = reinterpret_cast<typename SocketFunctionType<I>::type>(
      SocketFunctionTable[I].Slot.load(std::memory_order_relaxed));
  return fn(std::forward<Args>(args)...);
}

// No library; every slot back on its resolver.
void ResetSocketFunctions();
// Loads the library on the first call (EIdWS2StubError when it cannot be loaded) and
// returns the library's WSAStartup result; with the library loaded returns 0 at once.
int WSAStartup(WORD version, WSADATA* data);
// Loads `libraryName` in place of the sockets library; the start-up above uses it with
// "WS2_32.DLL". Kept separate so that a failed load can be shown with a missing library.
int StartupLibrary(const char* libraryName, WORD version, WSADATA* data);
// Releases the library once, even when called from two threads, and resets the table.
void UnloadSocketLibrary();
// Looks up the export of entry `index`, stores it in the slot and returns it.
SocketFunctionAddress ResolveSocketFunction(std::size_t index);

}  // namespace pravik::ws2
