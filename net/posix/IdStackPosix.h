#pragma once
// The socket stack over BSD sockets. It reports Windows Sockets error numbers like the
// Windows stack, waits with poll() so that any descriptor can be waited on, and never
// lets a send to a closed peer raise SIGPIPE.

#include "net/IdStack.h"

namespace pravik {

class TIdStackPosix final : public TIdStack {
 public:
  TIdStackSocketHandle SockAccept(TIdStackSocketHandle socket, std::string& ip, int& port) override;
  int SockBind(TIdStackSocketHandle socket, int family, const std::string& ip, int port) override;
  // Shuts the receiving side before closing, so that a thread blocked in connect() or
  // accept() on the socket returns, as it does on Windows.
  int SockClose(TIdStackSocketHandle socket) override;
  int SockConnect(TIdStackSocketHandle socket, int family, const std::string& ip, int port) override;
  std::string SockResolveName(const std::string& host) override;
  std::string SockLocalHostName() override;
  std::string SockResolveAddress(const std::string& ip) override;
  int SockServiceByName(const std::string& name) override;
  TIdStringList SockServiceByPort(int port) override;
  std::uint16_t SockHostToNet16(std::uint16_t value) override;
  int SockListen(TIdStackSocketHandle socket, int backlog) override;
  std::uint16_t SockNetToHost16(std::uint16_t value) override;
  std::uint32_t SockHostToNet32(std::uint32_t value) override;
  std::uint32_t SockNetToHost32(std::uint32_t value) override;
  int SockRecv(TIdStackSocketHandle socket, void* buffer, int length, int flags) override;
  int SockRecvFrom(TIdStackSocketHandle socket, void* buffer, int length, int flags,
                   std::string& ip, int& port) override;
  int SockSelect(TIdSocketList* readList, TIdSocketList* writeList, TIdSocketList* errorList,
                 int timeout) override;
  int SockSend(TIdStackSocketHandle socket, const void* buffer, int length, int flags) override;
  int SockSendTo(TIdStackSocketHandle socket, const void* buffer, int length, int flags,
                 const std::string& ip, int port) override;
  int SockSetOption(TIdStackSocketHandle socket, int level, int option, const void* value,
                    int length) override;
  TIdStackSocketHandle SockOpen(int family, int type, int protocol) override;
  int SockShutdown(TIdStackSocketHandle socket, int how) override;
  int SockLastError() override;
  void SockRemoteName(TIdStackSocketHandle socket, int& family, std::string& ip, int& port) override;
  void SockLocalName(TIdStackSocketHandle socket, int& family, std::string& ip, int& port) override;
  int SockGetOption(TIdStackSocketHandle socket, int level, int option, void* value,
                    int& length) override;

 protected:
  std::string ErrorCodeText(int code) override;
  TIdStringList ResolveAllAddresses(const std::string& name) override;
};

}  // namespace pravik
