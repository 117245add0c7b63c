#include "net/IdIOHandlerSocket.h"

#include <chrono>
#include <cstdint>
#include <thread>

#include "net/IdConnectThread.h"
#include "net/IdException.h"
#include "net/IdGlobal.h"
#include "net/IdResourceStrings.h"
#include "net/IdSocketHandle.h"
#include "net/IdSocks.h"
#include "net/IdStack.h"

namespace pravik {

namespace {

constexpr int kConnectPollStep = 125;  // ms between looks at the connect thread

void SleepMs(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

TIdIOHandlerSocket::TIdIOHandlerSocket() = default;

TIdIOHandlerSocket::~TIdIOHandlerSocket() {
  FSocksInfo.reset();
  FSocketBinding.reset();
}

void TIdIOHandlerSocket::OpenTransport() {
  TIdIOHandler::OpenTransport();
  if (!FSocketBinding)
    FSocketBinding = std::make_unique<TIdSocketHandle>();
  else
    FSocketBinding->ClearBinding(true);
}

bool TIdIOHandlerSocket::TransportConnected() { return FSocketBinding && FSocketBinding->HasSocket; }

void TIdIOHandlerSocket::ShutTransport() {
  TIdIOHandler::ShutTransport();
  if (FSocketBinding) FSocketBinding->ReleaseSocket();
}

bool TIdIOHandlerSocket::WaitReadable(int timeout) { return FSocketBinding->WaitReadable(timeout); }

int TIdIOHandlerSocket::ReceiveBuf(void* buffer, int length) {
  if (!TransportConnected()) throw EIdClosedSocket(rs::NotConnectedTransport);
  return FSocketBinding->ReceiveBuf(buffer, length, 0);
}

int TIdIOHandlerSocket::SendBuf(const void* buffer, int length) {
  if (!TransportConnected()) throw EIdClosedSocket(rs::NotConnectedTransport);
  return FSocketBinding->SendBuf(buffer, length, 0);
}

void TIdIOHandlerSocket::ApplyNagle(bool useNagle) {
  if (!TransportConnected()) return;
  const std::int32_t noDelay = useNagle ? 0 : 1;
  FSocketBinding->SetOption(Id_IPPROTO_TCP, Id_TCP_NODELAY, &noDelay, sizeof noDelay);
}

void TIdIOHandlerSocket::SetUseNagle(bool value) {
  if (value == FUseNagle) return;
  FUseNagle = value;
  ApplyNagle(value);
}

TIdSocksInfo& TIdIOHandlerSocket::SocksInfo() {
  if (!FSocksInfo) FSocksInfo = std::make_unique<TIdSocksInfo>();
  return *FSocksInfo;
}

void TIdIOHandlerSocket::SetSocksInfo(const TIdSocksInfo& settings) { SocksInfo().Assign(settings); }

void TIdIOHandlerSocket::ConnectEndpoint(const std::string& host, int port, const std::string& boundIP,
                                         int boundPort, int boundPortMin, int boundPortMax,
                                         int timeout) {
  SocksInfo();  // direct connection: svNoSocks is the only version in use
  TIdSocketHandle& binding = *FSocketBinding;
  binding.OpenSocket(Id_SOCK_STREAM, 0);
  binding.IP = boundIP;
  binding.Port = boundPort;
  binding.ClientPortMin = boundPortMin;
  binding.ClientPortMax = boundPortMax;
  binding.BindLocal();

  if (!GlobalStack->IsIPText(host)) ReportStatus(TIdStatus::statusResolving, {host});
  binding.SetRemote(GlobalStack->HostToIP(host), port);
  ApplyNagle(FUseNagle);
  ReportStatus(TIdStatus::statusConnecting, {binding.RemoteIP});

  if (timeout == TimeLimitDefault || timeout == 0)
    GlobalStack->CheckSocketResult(binding.ConnectRemote(Id_PF_INET));
  else
    ConnectWithTimeLimit(timeout);
}

void TIdIOHandlerSocket::ConnectWithTimeLimit(int timeout) {
  TIdConnectThread thread(*FSocketBinding);
  thread.Start();

  const bool infinite = timeout == TimeLimitInfinite;
  int remaining = infinite ? kConnectPollStep + 1 : timeout;
  while (kConnectPollStep < remaining) {
    SleepMs(kConnectPollStep);
    remaining = infinite ? kConnectPollStep + 1 : remaining - kConnectPollStep;
    if (thread.Finished()) {
      remaining = 0;
      break;
    }
  }
  SleepMs(remaining);

  if (thread.Finished()) {
    thread.WaitFor();
    if (thread.FailureText.empty()) return;
    if (thread.FailureCode != 0) throw EIdSocketError(thread.FailureCode, thread.FailureText);
    throw EIdConnectException(thread.FailureText);
  }
  // Releasing the socket makes the blocked connect return in the thread.
  thread.Terminate();
  ShutTransport();
  thread.WaitFor();
  throw EIdConnectTimeout(rs::ConnectTimeout);
}

}  // namespace pravik
