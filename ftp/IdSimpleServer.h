#pragma once
// A connection that does not connect out: it listens on a local address and port,
// accepts one peer, and then reads and writes through the inherited operations.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "ftp/IdTCPConnection.h"
#include "net/IdStack.h"

namespace pravik {

class TIdSocketHandle;

class TIdSimpleServer : public TIdTCPConnection {
 public:
  TIdSimpleServer();

  // Empties the input queue, clears AbortFlag and IsListening, destroys the transport.
  void ResetInput() override;
  // Makes a waiting AcceptPeer give up; safe from another thread.
  virtual void RequestAbort();
  // Binds if not bound yet, then listens (backlog 15); a failure destroys the transport.
  virtual void StartListening();
  // Opens the listening socket and binds it to BoundIP:BoundPort or into the port range.
  virtual void BindListener();
  virtual void StopListening();
  // Waits for a peer in AcceptPollTime slices and accepts it; true when one was accepted.
  // The listening socket is closed afterwards either way. A peer from an address other
  // than PeerIP (when set) is closed at once and the wait goes on; with AcceptTimeout
  // set, a wait longer than that raises EIdAcceptTimeout. Raises what OnWatchedReadable
  // raises.
  virtual bool AcceptPeer();
  // Makes, attaches and opens its own socket transport.
  void CreateTransport();
  // The transport's socket handle: the listening socket, then the accepted one.
  TIdSocketHandle* Binding() const;

  std::string BoundIP;
  std::int32_t BoundPort = 0;
  std::int32_t BoundPortMin = 0;
  std::int32_t BoundPortMax = 0;
  std::atomic<bool> AbortFlag{false};
  std::int32_t AcceptPollTime = 1000;
  TIdStackSocketHandle ListenSocket = Id_INVALID_SOCKET;
  bool IsListening = false;
  // The only address a peer may connect from; empty: any.
  std::string PeerIP;
  // The longest wait for a peer in ms; 0: no limit.
  std::int32_t AcceptTimeout = 0;
  // A socket watched while AcceptPeer waits: when it becomes readable, OnWatchedReadable
  // runs at once, and what it raises ends the wait (the FTP client's control connection,
  // which the server may close instead of connecting).
  TIdStackSocketHandle WatchedSocket = Id_INVALID_SOCKET;
  std::function<void()> OnWatchedReadable;
};

}  // namespace pravik
