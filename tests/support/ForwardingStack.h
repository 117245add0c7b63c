#pragma once
// A stack that hands every call to the platform's real stack. Tests derive from it to
// change one operation (an injected failure, a recorded call) and keep the rest real.

#include <memory>

#include "net/IdStack.h"

namespace pravik::test {

class ForwardingStack : public TIdStack {
 public:
  ForwardingStack() : Inner(CreatePlatformStack()) {}

  void FillLocalAddresses() override { Inner->FillLocalAddresses(); }
  std::string FirstLocalAddress() override { return Inner->FirstLocalAddress(); }
  const TIdStringList& ListLocalAddresses() override { return Inner->ListLocalAddresses(); }
  TIdStackSocketHandle SockAccept(TIdStackSocketHandle s, std::string& ip, int& port) override;
  int SockBind(TIdStackSocketHandle s, int family, const std::string& ip, int port) override;
  int SockClose(TIdStackSocketHandle s) override { return Inner->SockClose(s); }
  int SockConnect(TIdStackSocketHandle s, int family, const std::string& ip, int port) override;
  std::string SockResolveName(const std::string& host) override;
  std::string SockLocalHostName() override { return Inner->SockLocalHostName(); }
  std::string SockResolveAddress(const std::string& ip) override;
  int SockServiceByName(const std::string& name) override;
  TIdStringList SockServiceByPort(int port) override { return Inner->SockServiceByPort(port); }
  std::uint16_t SockHostToNet16(std::uint16_t v) override { return Inner->SockHostToNet16(v); }
  int SockListen(TIdStackSocketHandle s, int backlog) override { return Inner->SockListen(s, backlog); }
  std::uint16_t SockNetToHost16(std::uint16_t v) override { return Inner->SockNetToHost16(v); }
  std::uint32_t SockHostToNet32(std::uint32_t v) override { return Inner->SockHostToNet32(v); }
  std::uint32_t SockNetToHost32(std::uint32_t v) override { return Inner->SockNetToHost32(v); }
  int SockRecv(TIdStackSocketHandle s, void* buffer, int length, int flags) override;
  int SockRecvFrom(TIdStackSocketHandle s, void* buffer, int length, int flags, std::string& ip,
                   int& port) override;
  int SockSelect(TIdSocketList* r, TIdSocketList* w, TIdSocketList* e, int timeout) override;
  int SockSend(TIdStackSocketHandle s, const void* buffer, int length, int flags) override;
  int SockSendTo(TIdStackSocketHandle s, const void* buffer, int length, int flags,
                 const std::string& ip, int port) override;
  int SockSetOption(TIdStackSocketHandle s, int level, int option, const void* value,
                    int length) override;
  TIdStackSocketHandle SockOpen(int family, int type, int protocol) override;
  int SockShutdown(TIdStackSocketHandle s, int how) override { return Inner->SockShutdown(s, how); }
  std::string SocketErrorText(int code) override { return Inner->SocketErrorText(code); }
  int SockLastError() override;
  void SockRemoteName(TIdStackSocketHandle s, int& family, std::string& ip, int& port) override;
  void SockLocalName(TIdStackSocketHandle s, int& family, std::string& ip, int& port) override;
  int SockGetOption(TIdStackSocketHandle s, int level, int option, void* value, int& length) override;
  std::string InAddrToText(const std::uint8_t (&bytes)[4]) override { return Inner->InAddrToText(bytes); }
  void FillInAddr(const std::string& text, std::uint8_t (&bytes)[4]) override {
    Inner->FillInAddr(text, bytes);
  }

  // A failure to report from the next SockLastError instead of the system's (0: none).
  int InjectedError = 0;

 protected:
  TIdStringList ResolveAllAddresses(const std::string& name) override {
    return {Inner->SockResolveName(name)};
  }
  std::unique_ptr<TIdStack> Inner;
};

// Installs a stack class for the life of the guard; no component may exist meanwhile
// other than those the test makes after the guard.
class ScopedStackClass {
 public:
  explicit ScopedStackClass(TIdStackClass stackClass);
  ~ScopedStackClass();
  ScopedStackClass(const ScopedStackClass&) = delete;
  ScopedStackClass& operator=(const ScopedStackClass&) = delete;

 private:
  TIdStackClass Saved;
};

}  // namespace pravik::test
