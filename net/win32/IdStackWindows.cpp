#include "net/win32/IdStackWindows.h"

#include <cstdlib>
#include <cstring>

#include "net/IdException.h"
#include "net/IdGlobal.h"
#include "net/IdResourceStrings.h"
#include "net/win32/IdWinSock2.h"

namespace pravik {

using namespace ws2;

namespace {

constexpr WORD kWinsockVersion = 0x0202;

std::atomic<bool> gSocketsStarted{false};

SOCKET Sock(TIdStackSocketHandle socket) { return static_cast<SOCKET>(socket); }

// Module clean-up at exit, after every component and so the last stack is gone:
// the library is cleaned up once and released.
struct WinsockModuleCleanup {
  ~WinsockModuleCleanup() {
    if (gSocketsStarted.load()) {
      try {
        Call<Fn_WSACleanup>();
      } catch (...) {  // nothing may escape the program's exit
      }
    }
    UnloadSocketLibrary();
  }
} gWinsockModuleCleanup;

sockaddr_in MakeAddress(const std::uint8_t (&bytes)[4], int family, int port) {
  sockaddr_in address{};
  address.sin_family = static_cast<ADDRESS_FAMILY>(family);
  address.sin_port = Call<Fn_htons>(static_cast<u_short>(port));
  std::memcpy(&address.sin_addr, bytes, 4);
  return address;
}

}  // namespace

bool SocketsStarted() { return gSocketsStarted.load(); }

std::unique_ptr<TIdStack> CreatePlatformStack() { return std::make_unique<TIdStackWindows>(); }

TIdStackWindows::TIdStackWindows() {
  if (gSocketsStarted.load()) return;
  WSADATA data;  // not kept
  if (ws2::WSAStartup(kWinsockVersion, &data) != 0)
    throw EIdStackInitializationFailed(rs::WinsockInitializationError);
  gSocketsStarted.store(true);
}

TIdStackSocketHandle TIdStackWindows::SockOpen(int family, int type, int protocol) {
  return static_cast<TIdStackSocketHandle>(Call<Fn_socket>(family, type, protocol));
}

int TIdStackWindows::SockBind(TIdStackSocketHandle socket, int family, const std::string& ip,
                              int port) {
  std::uint8_t bytes[4] = {0, 0, 0, 0};
  if (!ip.empty()) TextToInAddr(ip, bytes);
  const sockaddr_in address = MakeAddress(bytes, family, port);
  return Call<Fn_bind>(Sock(socket), reinterpret_cast<const sockaddr*>(&address),
                       static_cast<int>(sizeof address));
}

int TIdStackWindows::SockConnect(TIdStackSocketHandle socket, int family, const std::string& ip,
                                 int port) {
  std::uint8_t bytes[4];
  TextToInAddr(ip, bytes);
  const sockaddr_in address = MakeAddress(bytes, family, port);
  return Call<Fn_connect>(Sock(socket), reinterpret_cast<const sockaddr*>(&address),
                          static_cast<int>(sizeof address));
}

int TIdStackWindows::SockListen(TIdStackSocketHandle socket, int backlog) {
  return Call<Fn_listen>(Sock(socket), backlog);
}

TIdStackSocketHandle TIdStackWindows::SockAccept(TIdStackSocketHandle socket, std::string& ip,
                                                 int& port) {
  sockaddr_in address{};
  int length = sizeof address;
  const SOCKET accepted = Call<Fn_accept>(Sock(socket), reinterpret_cast<sockaddr*>(&address), &length);
  std::uint8_t bytes[4];
  std::memcpy(bytes, &address.sin_addr, 4);
  ip = InAddrToText(bytes);
  port = Call<Fn_ntohs>(address.sin_port);
  return static_cast<TIdStackSocketHandle>(accepted);
}

int TIdStackWindows::SockClose(TIdStackSocketHandle socket) { return Call<Fn_closesocket>(Sock(socket)); }

int TIdStackWindows::SockShutdown(TIdStackSocketHandle socket, int how) {
  return Call<Fn_shutdown>(Sock(socket), how);
}

int TIdStackWindows::SockRecv(TIdStackSocketHandle socket, void* buffer, int length, int flags) {
  return Call<Fn_recv>(Sock(socket), static_cast<char*>(buffer), length, flags);
}

int TIdStackWindows::SockSend(TIdStackSocketHandle socket, const void* buffer, int length, int flags) {
  return Call<Fn_send>(Sock(socket), static_cast<const char*>(buffer), length, flags);
}

int TIdStackWindows::SockRecvFrom(TIdStackSocketHandle socket, void* buffer, int length, int flags,
                                  std::string& ip, int& port) {
  sockaddr_in address{};
  int addressLength = sizeof address;
  const int n = Call<Fn_recvfrom>(Sock(socket), static_cast<char*>(buffer), length, flags,
                                  reinterpret_cast<sockaddr*>(&address), &addressLength);
  std::uint8_t bytes[4];
  std::memcpy(bytes, &address.sin_addr, 4);
  ip = InAddrToText(bytes);
  port = Call<Fn_ntohs>(address.sin_port);
  return n;
}

int TIdStackWindows::SockSendTo(TIdStackSocketHandle socket, const void* buffer, int length,
                                int flags, const std::string& ip, int port) {
  std::uint8_t bytes[4];
  TextToInAddr(ip, bytes);
  const sockaddr_in address = MakeAddress(bytes, AF_INET, port);
  return Call<Fn_sendto>(Sock(socket), static_cast<const char*>(buffer), length, flags,
                         reinterpret_cast<const sockaddr*>(&address), static_cast<int>(sizeof address));
}

int TIdStackWindows::SockSelect(TIdSocketList* readList, TIdSocketList* writeList,
                                TIdSocketList* errorList, int timeout) {
  TIdSocketList* lists[3] = {readList, writeList, errorList};
  fd_set sets[3];
  for (int i = 0; i < 3; ++i) {
    sets[i].fd_count = 0;
    if (!lists[i]) continue;
    if (lists[i]->size() > static_cast<std::size_t>(Id_SelectSetSize))
      throw EIdStackSetSizeExceeded(rs::SetSizeExceeded);
    for (TIdStackSocketHandle socket : *lists[i]) sets[i].fd_array[sets[i].fd_count++] = Sock(socket);
  }
  timeval limit{timeout / 1000, (timeout % 1000) * 1000};
  const int result = Call<Fn_select>(0, lists[0] ? &sets[0] : nullptr, lists[1] ? &sets[1] : nullptr,
                                     lists[2] ? &sets[2] : nullptr,
                                     timeout == TimeLimitInfinite ? nullptr : &limit);
  for (int i = 0; i < 3; ++i) {
    if (!lists[i]) continue;
    lists[i]->assign(sets[i].fd_array, sets[i].fd_array + sets[i].fd_count);
  }
  return result;
}

int TIdStackWindows::SockSetOption(TIdStackSocketHandle socket, int level, int option,
                                   const void* value, int length) {
  return Call<Fn_setsockopt>(Sock(socket), level, option, static_cast<const char*>(value), length);
}

int TIdStackWindows::SockGetOption(TIdStackSocketHandle socket, int level, int option, void* value,
                                   int& length) {
  return Call<Fn_getsockopt>(Sock(socket), level, option, static_cast<char*>(value), &length);
}

int TIdStackWindows::SockLastError() { return Call<Fn_WSAGetLastError>(); }

void TIdStackWindows::SockLocalName(TIdStackSocketHandle socket, int& family, std::string& ip,
                                    int& port) {
  sockaddr_in address{};
  int length = sizeof address;
  CheckSocketResult(Call<Fn_getsockname>(Sock(socket), reinterpret_cast<sockaddr*>(&address), &length));
  std::uint8_t bytes[4];
  std::memcpy(bytes, &address.sin_addr, 4);
  family = address.sin_family;
  ip = InAddrToText(bytes);
  port = Call<Fn_ntohs>(address.sin_port);
}

void TIdStackWindows::SockRemoteName(TIdStackSocketHandle socket, int& family, std::string& ip,
                                     int& port) {
  sockaddr_in address{};
  int length = sizeof address;
  CheckSocketResult(Call<Fn_getpeername>(Sock(socket), reinterpret_cast<sockaddr*>(&address), &length));
  std::uint8_t bytes[4];
  std::memcpy(bytes, &address.sin_addr, 4);
  family = address.sin_family;
  ip = InAddrToText(bytes);
  port = Call<Fn_ntohs>(address.sin_port);
}

TIdStringList TIdStackWindows::ResolveAllAddresses(const std::string& name) {
  const hostent* host = Call<Fn_gethostbyname>(name.c_str());
  if (!host) CheckSocketResult(Id_SOCKET_ERROR);
  TIdStringList addresses;
  for (char** entry = host->h_addr_list; entry && *entry; ++entry) {
    std::uint8_t bytes[4];
    std::memcpy(bytes, *entry, 4);
    addresses.push_back(InAddrToText(bytes));
  }
  return addresses;
}

std::string TIdStackWindows::SockResolveName(const std::string& host) {
  const TIdStringList addresses = ResolveAllAddresses(host);
  if (addresses.empty()) RaiseSocketFailure(WSANO_DATA);
  return addresses.front();
}

std::string TIdStackWindows::SockResolveAddress(const std::string& ip) {
  const unsigned long address = Call<Fn_inet_addr>(ip.c_str());
  const hostent* host = Call<Fn_gethostbyaddr>(reinterpret_cast<const char*>(&address), 4, AF_INET);
  if (!host) CheckSocketResult(Id_SOCKET_ERROR);
  return host->h_name;
}

std::string TIdStackWindows::SockLocalHostName() {
  char name[250] = {};
  Call<Fn_gethostname>(name, static_cast<int>(sizeof name));
  name[sizeof name - 1] = '\0';
  return name;
}

int TIdStackWindows::SockServiceByName(const std::string& name) {
  if (const servent* service = Call<Fn_getservbyname>(name.c_str(), nullptr))
    return Call<Fn_ntohs>(static_cast<u_short>(service->s_port));
  std::int64_t port;
  if (!TryTextToInt64(name, port) || port < INT32_MIN || port > INT32_MAX)
    throw EIdInvalidServiceName(FormatText(rs::InvalidServiceName, {name}));
  return static_cast<int>(port);
}

TIdStringList TIdStackWindows::SockServiceByPort(int port) {
  TIdStringList names;
  if (const servent* service = Call<Fn_getservbyport>(Call<Fn_htons>(static_cast<u_short>(port)), nullptr)) {
    names.emplace_back(service->s_name);
    for (char** alias = service->s_aliases; alias && *alias; ++alias) names.emplace_back(*alias);
  }
  return names;
}

std::uint16_t TIdStackWindows::SockHostToNet16(std::uint16_t value) { return Call<Fn_htons>(value); }
std::uint16_t TIdStackWindows::SockNetToHost16(std::uint16_t value) { return Call<Fn_ntohs>(value); }
std::uint32_t TIdStackWindows::SockHostToNet32(std::uint32_t value) {
  return static_cast<std::uint32_t>(Call<Fn_htonl>(value));
}
std::uint32_t TIdStackWindows::SockNetToHost32(std::uint32_t value) {
  return static_cast<std::uint32_t>(Call<Fn_ntohl>(value));
}

std::string TIdStackWindows::ErrorCodeText(int code) {
  if (code == Id_WSAHOST_NOT_FOUND) return rs::HostNotFound;
  return TIdStack::ErrorCodeText(code);
}

}  // namespace pravik
