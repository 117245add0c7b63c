#pragma once
// A connection that connects out to Host:Port.

#include <cstdint>
#include <string>

#include "ftp/IdTCPConnection.h"

namespace pravik {

class TIdTCPClient : public TIdTCPConnection {
 public:
  // Makes an owned socket transport when none is attached, connects it (in this thread
  // for `timeout` -1 or 0), reports statusConnected and fires OnConnected. Raises
  // EIdAlreadyConnected "Already connected." on an open transport; a failed connect
  // closes the transport and passes its error on.
  virtual void ConnectToHost(std::int32_t timeout = TimeLimitDefault);
  virtual void FireConnected();

  virtual void SetHost(const std::string& host) { Host = host; }
  virtual void SetPort(std::int32_t port) { Port = port; }

  std::string BoundIP;
  std::int32_t BoundPort = 0;
  std::int32_t BoundPortMax = 0;
  std::int32_t BoundPortMin = 0;
  std::string Host;
  TNotifyEvent OnConnected;
  std::string Password;
  std::string Username;
  std::int32_t Port = 0;
};

}  // namespace pravik
