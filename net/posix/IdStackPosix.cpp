#include "net/posix/IdStackPosix.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "net/IdException.h"
#include "net/IdGlobal.h"
#include "net/IdResourceStrings.h"
#include "net/posix/IdPosixErrors.h"

namespace pravik {

namespace {

// Each thread's last socket error, as Windows keeps it per thread.
thread_local int tLastError = 0;

int Fail(int code) {
  tLastError = code;
  return Id_SOCKET_ERROR;
}

int FailFromErrno() { return Fail(WinsockCodeFromErrno(errno)); }

int Checked(long result) {
  if (result < 0) return FailFromErrno();
  return static_cast<int>(result);
}

int Fd(TIdStackSocketHandle socket) { return static_cast<int>(socket); }

// Winsock's level and option numbers where they differ from the POSIX ones.
void TranslateOption(int& level, int& option) {
  constexpr int kWinSolSocket = 0xFFFF;
  if (level == kWinSolSocket) {
    level = SOL_SOCKET;
    switch (option) {
      case 0x0004: option = SO_REUSEADDR; break;
      case 0x0008: option = SO_KEEPALIVE; break;
      case 0x0020: option = SO_BROADCAST; break;
      case 0x0080: option = SO_LINGER; break;
      case 0x1001: option = SO_SNDBUF; break;
      case 0x1002: option = SO_RCVBUF; break;
      case 0x1005: option = SO_SNDTIMEO; break;
      case 0x1006: option = SO_RCVTIMEO; break;
      case 0x1007: option = SO_ERROR; break;
      default: break;
    }
  }
}

sockaddr_in MakeAddress(const std::uint8_t (&bytes)[4], int family, int port) {
  sockaddr_in address{};
  address.sin_family = static_cast<sa_family_t>(family);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  std::memcpy(&address.sin_addr, bytes, 4);
  return address;
}

std::string AddressText(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return text;
}

}  // namespace

std::unique_ptr<TIdStack> CreatePlatformStack() { return std::make_unique<TIdStackPosix>(); }

TIdStackSocketHandle TIdStackPosix::SockOpen(int family, int type, int protocol) {
  const int fd = ::socket(family, type | SOCK_CLOEXEC, protocol);
  if (fd < 0) {
    FailFromErrno();
    return Id_INVALID_SOCKET;
  }
  return static_cast<TIdStackSocketHandle>(fd);
}

int TIdStackPosix::SockBind(TIdStackSocketHandle socket, int family, const std::string& ip,
                            int port) {
  std::uint8_t bytes[4] = {0, 0, 0, 0};
  if (!ip.empty()) TextToInAddr(ip, bytes);
  const sockaddr_in address = MakeAddress(bytes, family, port);
  return Checked(::bind(Fd(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address));
}

int TIdStackPosix::SockConnect(TIdStackSocketHandle socket, int family, const std::string& ip,
                               int port) {
  std::uint8_t bytes[4];
  TextToInAddr(ip, bytes);
  const sockaddr_in address = MakeAddress(bytes, family, port);
  int result;
  do {
    result = ::connect(Fd(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (result < 0 && errno == EINTR);
  return Checked(result);
}

int TIdStackPosix::SockListen(TIdStackSocketHandle socket, int backlog) {
  return Checked(::listen(Fd(socket), backlog));
}

TIdStackSocketHandle TIdStackPosix::SockAccept(TIdStackSocketHandle socket, std::string& ip,
                                               int& port) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  const int fd = ::accept4(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
  ip = AddressText(address);
  port = ntohs(address.sin_port);
  if (fd < 0) {
    FailFromErrno();
    return Id_INVALID_SOCKET;
  }
  return static_cast<TIdStackSocketHandle>(fd);
}

int TIdStackPosix::SockClose(TIdStackSocketHandle socket) {
  // Closing alone does not wake a thread blocked on the socket; shutting the receiving
  // side does (connect and accept return), and sends nothing to a connected peer.
  ::shutdown(Fd(socket), SHUT_RD);
  return Checked(::close(Fd(socket)));
}

int TIdStackPosix::SockShutdown(TIdStackSocketHandle socket, int how) {
  return Checked(::shutdown(Fd(socket), how));  // SD_RECEIVE/SD_SEND/SD_BOTH equal SHUT_*
}

int TIdStackPosix::SockRecv(TIdStackSocketHandle socket, void* buffer, int length, int flags) {
  ssize_t n;
  do {
    n = ::recv(Fd(socket), buffer, static_cast<std::size_t>(length), flags);
  } while (n < 0 && errno == EINTR);
  return Checked(n);
}

int TIdStackPosix::SockSend(TIdStackSocketHandle socket, const void* buffer, int length,
                            int flags) {
  ssize_t n;
  do {
    n = ::send(Fd(socket), buffer, static_cast<std::size_t>(length), flags | MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return Checked(n);
}

int TIdStackPosix::SockRecvFrom(TIdStackSocketHandle socket, void* buffer, int length, int flags,
                                std::string& ip, int& port) {
  sockaddr_in address{};
  socklen_t addressLength = sizeof address;
  const ssize_t n = ::recvfrom(Fd(socket), buffer, static_cast<std::size_t>(length), flags,
                               reinterpret_cast<sockaddr*>(&address), &addressLength);
  ip = AddressText(address);
  port = ntohs(address.sin_port);
  return Checked(n);
}

int TIdStackPosix::SockSendTo(TIdStackSocketHandle socket, const void* buffer, int length,
                              int flags, const std::string& ip, int port) {
  std::uint8_t bytes[4];
  TextToInAddr(ip, bytes);
  const sockaddr_in address = MakeAddress(bytes, AF_INET, port);
  return Checked(::sendto(Fd(socket), buffer, static_cast<std::size_t>(length),
                          flags | MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address),
                          sizeof address));
}

int TIdStackPosix::SockSelect(TIdSocketList* readList, TIdSocketList* writeList,
                              TIdSocketList* errorList, int timeout) {
  TIdSocketList* lists[3] = {readList, writeList, errorList};
  // What Windows' select() reports in each set: readable (data, a peer's close or reset,
  // a pending connection), writable, and exceptional (urgent data). A hang-up alone is
  // left out: Linux reports it for a socket that never connected, Windows does not.
  constexpr short kEvents[3] = {POLLIN, POLLOUT, POLLPRI};
  constexpr short kReadyWhen[3] = {POLLIN | POLLERR, POLLOUT | POLLERR, POLLPRI};

  std::vector<pollfd> fds;
  for (TIdSocketList* list : lists) {
    if (list && list->size() > static_cast<std::size_t>(Id_SelectSetSize))
      throw EIdStackSetSizeExceeded(rs::SetSizeExceeded);
  }
  for (int i = 0; i < 3; ++i) {
    if (!lists[i]) continue;
    for (TIdStackSocketHandle socket : *lists[i]) fds.push_back({Fd(socket), kEvents[i], 0});
  }
  // Windows refuses a wait on no socket at all and a negative limit; do the same here.
  if (fds.empty() || (timeout < 0 && timeout != TimeLimitInfinite)) return Fail(Id_WSAEINVAL);

  int result;
  do {
    result = ::poll(fds.data(), fds.size(), timeout == TimeLimitInfinite ? -1 : timeout);
  } while (result < 0 && errno == EINTR);
  if (result < 0) return FailFromErrno();

  int ready = 0;
  std::size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    if (!lists[i]) continue;
    TIdSocketList left;
    for (TIdStackSocketHandle socket : *lists[i]) {
      if (fds[at++].revents & kReadyWhen[i]) left.push_back(socket);
    }
    ready += static_cast<int>(left.size());
    *lists[i] = std::move(left);
  }
  return ready;
}

int TIdStackPosix::SockSetOption(TIdStackSocketHandle socket, int level, int option,
                                 const void* value, int length) {
  TranslateOption(level, option);
  if (level == SOL_SOCKET && option == SO_LINGER && length == 4) {
    // Windows' linger record is two 16-bit fields.
    std::uint16_t fields[2];
    std::memcpy(fields, value, sizeof fields);
    const linger posixLinger{fields[0], fields[1]};
    return Checked(::setsockopt(Fd(socket), level, option, &posixLinger, sizeof posixLinger));
  }
  return Checked(::setsockopt(Fd(socket), level, option, value, static_cast<socklen_t>(length)));
}

int TIdStackPosix::SockGetOption(TIdStackSocketHandle socket, int level, int option, void* value,
                                 int& length) {
  TranslateOption(level, option);
  socklen_t size = static_cast<socklen_t>(length);
  const int result = Checked(::getsockopt(Fd(socket), level, option, value, &size));
  length = static_cast<int>(size);
  return result;
}

int TIdStackPosix::SockLastError() { return tLastError; }

void TIdStackPosix::SockLocalName(TIdStackSocketHandle socket, int& family, std::string& ip,
                                  int& port) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  CheckSocketResult(Checked(::getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length)));
  family = address.sin_family;
  ip = AddressText(address);
  port = ntohs(address.sin_port);
}

void TIdStackPosix::SockRemoteName(TIdStackSocketHandle socket, int& family, std::string& ip,
                                   int& port) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  CheckSocketResult(Checked(::getpeername(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length)));
  family = address.sin_family;
  ip = AddressText(address);
  port = ntohs(address.sin_port);
}

TIdStringList TIdStackPosix::ResolveAllAddresses(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int eai = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
  if (eai != 0) {
    Fail(WinsockCodeFromResolver(eai, errno));
    CheckSocketResult(Id_SOCKET_ERROR);
  }
  TIdStringList addresses;
  for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
    const std::string text = AddressText(*reinterpret_cast<const sockaddr_in*>(entry->ai_addr));
    bool seen = false;
    for (const std::string& known : addresses) seen = seen || known == text;
    if (!seen) addresses.push_back(text);
  }
  ::freeaddrinfo(found);
  return addresses;
}

std::string TIdStackPosix::SockResolveName(const std::string& host) {
  return ResolveAllAddresses(host).front();
}

std::string TIdStackPosix::SockResolveAddress(const std::string& ip) {
  std::uint8_t bytes[4];
  TextToInAddr(ip, bytes);
  const sockaddr_in address = MakeAddress(bytes, AF_INET, 0);
  char host[NI_MAXHOST] = {};
  const int eai = ::getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, host,
                                sizeof host, nullptr, 0, NI_NAMEREQD);
  if (eai != 0) {
    Fail(WinsockCodeFromResolver(eai, errno));
    CheckSocketResult(Id_SOCKET_ERROR);
  }
  return host;
}

std::string TIdStackPosix::SockLocalHostName() {
  char name[250] = {};
  ::gethostname(name, sizeof name - 1);
  return name;
}

int TIdStackPosix::SockServiceByName(const std::string& name) {
  if (const servent* service = ::getservbyname(name.c_str(), nullptr))
    return ntohs(static_cast<std::uint16_t>(service->s_port));
  std::int64_t port;
  if (!TryTextToInt64(name, port) || port < INT32_MIN || port > INT32_MAX)
    throw EIdInvalidServiceName(FormatText(rs::InvalidServiceName, {name}));
  return static_cast<int>(port);
}

TIdStringList TIdStackPosix::SockServiceByPort(int port) {
  TIdStringList names;
  if (const servent* service = ::getservbyport(htons(static_cast<std::uint16_t>(port)), nullptr)) {
    names.emplace_back(service->s_name);
    for (char** alias = service->s_aliases; alias && *alias; ++alias) names.emplace_back(*alias);
  }
  return names;
}

std::uint16_t TIdStackPosix::SockHostToNet16(std::uint16_t value) { return htons(value); }
std::uint16_t TIdStackPosix::SockNetToHost16(std::uint16_t value) { return ntohs(value); }
std::uint32_t TIdStackPosix::SockHostToNet32(std::uint32_t value) { return htonl(value); }
std::uint32_t TIdStackPosix::SockNetToHost32(std::uint32_t value) { return ntohl(value); }

std::string TIdStackPosix::ErrorCodeText(int code) {
  if (code == Id_WSAHOST_NOT_FOUND) return rs::HostNotFound;
  return TIdStack::ErrorCodeText(code);
}

}  // namespace pravik
