#include "tests/support/ForwardingStack.h"

#include <stdexcept>
#include <utility>

namespace pravik::test {

TIdStackSocketHandle ForwardingStack::SockAccept(TIdStackSocketHandle s, std::string& ip, int& port) {
  return Inner->SockAccept(s, ip, port);
}
int ForwardingStack::SockBind(TIdStackSocketHandle s, int family, const std::string& ip, int port) {
  return Inner->SockBind(s, family, ip, port);
}
int ForwardingStack::SockConnect(TIdStackSocketHandle s, int family, const std::string& ip, int port) {
  return Inner->SockConnect(s, family, ip, port);
}
std::string ForwardingStack::SockResolveName(const std::string& host) {
  return Inner->SockResolveName(host);
}
std::string ForwardingStack::SockResolveAddress(const std::string& ip) {
  return Inner->SockResolveAddress(ip);
}
int ForwardingStack::SockServiceByName(const std::string& name) { return Inner->SockServiceByName(name); }
int ForwardingStack::SockRecv(TIdStackSocketHandle s, void* buffer, int length, int flags) {
  return Inner->SockRecv(s, buffer, length, flags);
}
int ForwardingStack::SockRecvFrom(TIdStackSocketHandle s, void* buffer, int length, int flags,
                                  std::string& ip, int& port) {
  return Inner->SockRecvFrom(s, buffer, length, flags, ip, port);
}
int ForwardingStack::SockSelect(TIdSocketList* r, TIdSocketList* w, TIdSocketList* e, int timeout) {
  return Inner->SockSelect(r, w, e, timeout);
}
int ForwardingStack::SockSend(TIdStackSocketHandle s, const void* buffer, int length, int flags) {
  return Inner->SockSend(s, buffer, length, flags);
}
int ForwardingStack::SockSendTo(TIdStackSocketHandle s, const void* buffer, int length, int flags,
                                const std::string& ip, int port) {
  return Inner->SockSendTo(s, buffer, length, flags, ip, port);
}
int ForwardingStack::SockSetOption(TIdStackSocketHandle s, int level, int option, const void* value,
                                   int length) {
  return Inner->SockSetOption(s, level, option, value, length);
}
TIdStackSocketHandle ForwardingStack::SockOpen(int family, int type, int protocol) {
  return Inner->SockOpen(family, type, protocol);
}
int ForwardingStack::SockLastError() {
  if (InjectedError != 0) return std::exchange(InjectedError, 0);
  return Inner->SockLastError();
}
void ForwardingStack::SockRemoteName(TIdStackSocketHandle s, int& family, std::string& ip, int& port) {
  Inner->SockRemoteName(s, family, ip, port);
}
void ForwardingStack::SockLocalName(TIdStackSocketHandle s, int& family, std::string& ip, int& port) {
  Inner->SockLocalName(s, family, ip, port);
}
int ForwardingStack::SockGetOption(TIdStackSocketHandle s, int level, int option, void* value,
                                   int& length) {
  return Inner->SockGetOption(s, level, option, value, length);
}

ScopedStackClass::ScopedStackClass(TIdStackClass stackClass) : Saved(StackClass) {
  if (StackUserCount() != 0) throw std::logic_error("a stack user is still alive");
  StackClass = stackClass;
}

ScopedStackClass::~ScopedStackClass() { StackClass = Saved; }

}  // namespace pravik::test
