#include "net/win32/IdWinSock2.h"

#include <string>

#include "net/IdException.h"
#include "net/IdGlobal.h"
#include "net/IdResourceStrings.h"
#include "net/win32/IdWin32Text.h"

namespace pravik::ws2 {

namespace {

// A resolver entry with the exact signature of its slot: it resolves the slot, then
// continues into the export with the caller's arguments, as if called directly.
template <std::size_t I, typename F>
struct ResolverEntry;

template <std::size_t I, typename R, typename... A>
struct ResolverEntry<I, R(WSAAPI*)(A...)> {
  static R WSAAPI Resolve(A... args) {
    return reinterpret_cast<R(WSAAPI*)(A...)>(ResolveSocketFunction(I))(args...);
  }
};

template <std::size_t I>
SocketFunctionAddress ResolverOf() {
  return reinterpret_cast<SocketFunctionAddress>(&ResolverEntry<I, typename SocketFunctionType<I>::type>::Resolve);
}

[[noreturn]] void RaiseStubError(const std::string& title, DWORD code) {
  throw EIdWS2StubError(title, static_cast<std::int32_t>(code), SystemErrorMessage(code));
}

}  // namespace

SocketFunctionEntry SocketFunctionTable[SocketFunctionCount] = {
#define PRAVIK_WS2_FUNCTION(slot, exportName) \
  {#exportName, ResolverOf<Fn_##slot>(), {ResolverOf<Fn_##slot>()}},
#include "net/win32/IdWinSock2Functions.inc"
#undef PRAVIK_WS2_FUNCTION
};

std::atomic<HMODULE> SocketLibrary{nullptr};

void ResetSocketFunctions() {
  SocketLibrary.store(nullptr);
  for (SocketFunctionEntry& entry : SocketFunctionTable) entry.Slot.store(entry.Resolver);
}

SocketFunctionAddress ResolveSocketFunction(std::size_t index) {
  SocketFunctionEntry& entry = SocketFunctionTable[index];
  const std::string title = FormatText(rs::WS2CallError, {entry.Name});
  const HMODULE library = SocketLibrary.load();
  if (!library) RaiseStubError(title, WSANOTINITIALISED);
  const auto address = reinterpret_cast<SocketFunctionAddress>(::GetProcAddress(library, entry.Name));
  // A missing export must never become a call through a null address.
  if (!address) RaiseStubError(title, ::GetLastError());
  // Two threads resolving the same slot store the same address.
  entry.Slot.store(address, std::memory_order_relaxed);
  return address;
}

int StartupLibrary(const char* libraryName, WORD version, WSADATA* data) {
  if (SocketLibrary.load()) return 0;
  const HMODULE library = ::LoadLibraryA(libraryName);
  if (!library) RaiseStubError(FormatText(rs::WS2LoadError, {libraryName}), ::GetLastError());
  HMODULE expected = nullptr;
  if (!SocketLibrary.compare_exchange_strong(expected, library)) {
    ::FreeLibrary(library);  // another thread loaded it first
    return 0;
  }
  using StartupFunction = int(WSAAPI*)(WORD, LPWSADATA);
  const auto startup = reinterpret_cast<StartupFunction>(
      reinterpret_cast<SocketFunctionAddress>(::GetProcAddress(library, "WSAStartup")));
  if (!startup) RaiseStubError(FormatText(rs::WS2CallError, {"WSAStartup"}), ::GetLastError());
  return startup(version, data);
}

int WSAStartup(WORD version, WSADATA* data) { return StartupLibrary(SocketLibraryName, version, data); }

void UnloadSocketLibrary() {
  if (const HMODULE library = SocketLibrary.exchange(nullptr)) {
    ::FreeLibrary(library);
    for (SocketFunctionEntry& entry : SocketFunctionTable) entry.Slot.store(entry.Resolver);
  }
}

}  // namespace pravik::ws2
