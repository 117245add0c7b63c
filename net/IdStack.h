#pragma once
// The process-wide socket stack: one object of the platform's stack class wraps the
// system's socket calls one to one, converts address texts, and turns failed results
// into EIdSocketError with the Windows Sockets error number and its text.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace pravik {

// A socket value: SOCKET on Windows (pointer-sized there), a descriptor on POSIX.
using TIdStackSocketHandle = std::uintptr_t;
inline constexpr TIdStackSocketHandle Id_INVALID_SOCKET = ~TIdStackSocketHandle{0};
inline constexpr int Id_SOCKET_ERROR = -1;

inline constexpr int Id_PF_INET = 2;
inline constexpr int Id_SOCK_STREAM = 1;
inline constexpr int Id_IPPROTO_TCP = 6;
inline constexpr int Id_TCP_NODELAY = 1;
inline constexpr int Id_SD_SEND = 1;
inline constexpr int Id_SOL_SOCKET = 0xFFFF;  // Windows numbers; the POSIX stack translates
inline constexpr int Id_SO_LINGER = 0x0080;
inline constexpr int Id_SelectSetSize = 64;

// Windows Sockets error numbers the components name.
inline constexpr int Id_WSAEINTR = 10004;
inline constexpr int Id_WSAEBADF = 10009;
inline constexpr int Id_WSAEACCES = 10013;
inline constexpr int Id_WSAEINVAL = 10022;
inline constexpr int Id_WSAENOTSOCK = 10038;
inline constexpr int Id_WSAEADDRINUSE = 10048;
inline constexpr int Id_WSAECONNABORTED = 10053;
inline constexpr int Id_WSAECONNRESET = 10054;
inline constexpr int Id_WSAESHUTDOWN = 10058;
inline constexpr int Id_WSAETIMEDOUT = 10060;
inline constexpr int Id_WSAECONNREFUSED = 10061;
inline constexpr int Id_WSANOTINITIALISED = 10093;
inline constexpr int Id_WSAHOST_NOT_FOUND = 11001;

using TIdSocketList = std::vector<TIdStackSocketHandle>;
using TIdStringList = std::vector<std::string>;

class TIdStack {
 public:
  TIdStack() = default;
  virtual ~TIdStack() = default;
  TIdStack(const TIdStack&) = delete;
  TIdStack& operator=(const TIdStack&) = delete;

  // Result not -1: false. Result -1: records SockLastError in LastSocketError, then
  // true when that code is in `ignored`, else raises EIdSocketError.
  bool CheckSocketResult(int result, std::initializer_list<int> ignored = {});
  // Raises EIdSocketError with `code` and SocketErrorText(code).
  [[noreturn]] void RaiseSocketFailure(int code);
  // Opens an IPv4 socket; raises EIdInvalidSocket "Cannot allocate socket.".
  TIdStackSocketHandle NewSocket(int socketType, int protocol);
  // "LOCALHOST" in any case gives "127.0.0.1", an address text is returned unchanged,
  // anything else is looked up (EIdSocketError on failure, 11001 for an unknown name).
  std::string HostToIP(const std::string& host);
  bool IsIPText(const std::string& text);
  // Parses the dotted forms a.b.c.d, a.b.c (c 16 bits), a.b (b 24 bits) and a (32 bits).
  static bool ParseIPText(const std::string& text, std::uint8_t (&bytes)[4]);
  // Raises EIdInvalidIPAddress for a text that does not parse.
  void TextToInAddr(const std::string& text, std::uint8_t (&bytes)[4]);

  // Local addresses of this host, owned by the stack.
  virtual void FillLocalAddresses();
  virtual std::string FirstLocalAddress();
  virtual const TIdStringList& ListLocalAddresses();

  // The raw system calls: their results come back as the system gives them, nothing raised.
  virtual TIdStackSocketHandle SockAccept(TIdStackSocketHandle socket, std::string& ip,
                                          int& port) = 0;
  virtual int SockBind(TIdStackSocketHandle socket, int family, const std::string& ip, int port) = 0;
  virtual int SockClose(TIdStackSocketHandle socket) = 0;
  virtual int SockConnect(TIdStackSocketHandle socket, int family, const std::string& ip,
                          int port) = 0;
  virtual std::string SockResolveName(const std::string& host) = 0;
  virtual std::string SockLocalHostName() = 0;
  virtual std::string SockResolveAddress(const std::string& ip) = 0;
  virtual int SockServiceByName(const std::string& name) = 0;
  virtual TIdStringList SockServiceByPort(int port) = 0;
  virtual std::uint16_t SockHostToNet16(std::uint16_t value) = 0;
  virtual int SockListen(TIdStackSocketHandle socket, int backlog) = 0;
  virtual std::uint16_t SockNetToHost16(std::uint16_t value) = 0;
  virtual std::uint32_t SockHostToNet32(std::uint32_t value) = 0;
  virtual std::uint32_t SockNetToHost32(std::uint32_t value) = 0;
  virtual int SockRecv(TIdStackSocketHandle socket, void* buffer, int length, int flags) = 0;
  virtual int SockRecvFrom(TIdStackSocketHandle socket, void* buffer, int length, int flags,
                           std::string& ip, int& port) = 0;
  // Waits for readiness of the given lists (null: not given; at most 64 sockets each,
  // else EIdStackSetSizeExceeded) up to `timeout` ms or without limit for
  // TimeLimitInfinite, then leaves in each list just its ready sockets. Returns the
  // number of ready sockets, 0 at the end of the limit, -1 on failure.
  virtual int SockSelect(TIdSocketList* readList, TIdSocketList* writeList,
                         TIdSocketList* errorList, int timeout) = 0;
  virtual int SockSend(TIdStackSocketHandle socket, const void* buffer, int length, int flags) = 0;
  virtual int SockSendTo(TIdStackSocketHandle socket, const void* buffer, int length, int flags,
                         const std::string& ip, int port) = 0;
  virtual int SockSetOption(TIdStackSocketHandle socket, int level, int option, const void* value,
                            int length) = 0;
  virtual TIdStackSocketHandle SockOpen(int family, int type, int protocol) = 0;
  virtual int SockShutdown(TIdStackSocketHandle socket, int how) = 0;
  // "Socket Error # <code>" CR LF and the table's text (empty for an unknown code).
  virtual std::string SocketErrorText(int code);
  virtual int SockLastError() = 0;
  // getpeername / getsockname; a failure raises EIdSocketError.
  virtual void SockRemoteName(TIdStackSocketHandle socket, int& family, std::string& ip,
                              int& port) = 0;
  virtual void SockLocalName(TIdStackSocketHandle socket, int& family, std::string& ip,
                             int& port) = 0;
  virtual int SockGetOption(TIdStackSocketHandle socket, int level, int option, void* value,
                            int& length) = 0;
  virtual std::string InAddrToText(const std::uint8_t (&bytes)[4]);
  virtual void FillInAddr(const std::string& text, std::uint8_t (&bytes)[4]);

  // Code of the most recent failed result examined by CheckSocketResult.
  int LastSocketError = 0;

 protected:
  // The text of a Windows Sockets error number; empty when the table has none.
  virtual std::string ErrorCodeText(int code);
  // Resolves `name` to all its IPv4 addresses as dotted text; raises like SockResolveName.
  virtual TIdStringList ResolveAllAddresses(const std::string& name) = 0;

 private:
  std::unique_ptr<TIdStringList> LocalAddressCache;
};

// The stack's lifetime follows its users: the first TIdComponent creates GlobalStack
// through StackClass, the last one frees it.
using TIdStackClass = std::unique_ptr<TIdStack> (*)();
std::unique_ptr<TIdStack> CreatePlatformStack();  // the platform's stack class

extern TIdStackClass StackClass;
extern TIdStack* GlobalStack;
extern std::mutex StackLock;
std::int32_t StackUserCount();

// Called by every TIdComponent on construction and destruction.
void AddStackUser();
void RemoveStackUser() noexcept;

}  // namespace pravik
