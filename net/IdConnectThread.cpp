#include "net/IdConnectThread.h"

#include <exception>

#include "net/IdException.h"
#include "net/IdSocketHandle.h"
#include "net/IdStack.h"

namespace pravik {

TIdConnectThread::~TIdConnectThread() { WaitFor(); }

void TIdConnectThread::Start() { FThread = std::thread([this] { Execute(); }); }

void TIdConnectThread::WaitFor() {
  if (FThread.joinable()) FThread.join();
}

void TIdConnectThread::Execute() {
  try {
    // A socket released under the connect ends it with one of these: no failure then.
    GlobalStack->CheckSocketResult(TargetBinding.ConnectRemote(Id_PF_INET),
                                   {Id_WSAEBADF, Id_WSAENOTSOCK});
  } catch (const EIdSocketError& e) {
    FailureText = e.what();
    FailureCode = e.SocketErrorCode;
  } catch (const std::exception& e) {
    FailureText = e.what();
  }
  FFinished.store(true, std::memory_order_release);
}

}  // namespace pravik
