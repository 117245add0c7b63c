#pragma once
// The socket stack over Windows Sockets 2, every call going through the run-time binding.

#include "net/IdStack.h"

namespace pravik {

class TIdStackWindows final : public TIdStack {
 public:
  // Starts the sockets library (version 2.2) unless an earlier stack did;
  // raises EIdStackInitializationFailed "Winsock Initialization Error.".
  TIdStackWindows();

  TIdStackSocketHandle SockAccept(TIdStackSocketHandle socket, std::string& ip, int& port) override;
  int SockBind(TIdStackSocketHandle socket, int family, const std::string& ip, int port) override;
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

// True once a stack has started the sockets library; never cleared.
bool SocketsStarted();

}  // namespace pravik
