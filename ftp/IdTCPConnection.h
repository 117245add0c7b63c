#pragma once
// A blocking, buffered byte connection over a transport: exact reads, text lines with a
// length limit, reads until the peer closes, writes of text and lines, and the numeric
// command and reply exchange of FTP on top of the line operations.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "ftp/IdRFCReply.h"
#include "ftp/IdStream.h"
#include "net/IdComponent.h"
#include "net/IdGlobal.h"

namespace pravik {

class TIdIOHandler;

enum class TIdMaxLineAction { maException = 0, maSplit = 1 };

using TNotifyEvent = std::function<void(TIdComponent* Sender)>;
using TIdReplyCodes = std::vector<std::int16_t>;

class TIdTCPConnection : public TIdComponent {
 public:
  TIdTCPConnection();
  // Shuts the transport, then destroys an owned one.
  ~TIdTCPConnection() override;

  // Attaches `transport` (or none); an owned transport attached before is destroyed.
  void SetIOHandler(TIdIOHandler* transport);
  TIdIOHandler* IOHandler() const { return FIOHandler; }
  // Attaches `transport` as one this connection owns and destroys when it is replaced,
  // closed by CloseConnection, or when the connection goes.
  void AttachOwnedTransport(std::unique_ptr<TIdIOHandler> transport);

  // Handles a pending peer close; true while a transport is attached and connected.
  virtual bool IsConnected();
  // After a peer close: shuts the transport and reports statusDisconnected and
  // OnDisconnected, once. Raises EIdConnClosedGracefully when closed and `raiseIfClosed`,
  // and nothing is queued (or `ignoreBuffered`).
  virtual void CheckPeerClosed(bool raiseIfClosed = true, bool ignoreBuffered = false);
  // One wait and one receive into the input queue; returns the bytes appended, 0, or -1
  // after a timeout that did not raise. Raises EIdNotConnected, EIdReadTimeout,
  // EIdConnClosedGracefully or EIdSocketError.
  virtual std::int32_t FillInputQueue(bool raiseIfClosed = true, std::int32_t timeout = TimeLimitDefault,
                                      bool raiseOnTimeout = true);
  // Reads exactly `count` bytes.
  void ReadExact(void* buffer, std::int32_t count);
  // One line up to LF, without LF and a CR before it; raises
  // EIdReadLnMaxLineLengthExceeded past MaxLineLength with maException.
  virtual std::string ReadTextLine();
  // The next line that is not blank, trimmed at both ends.
  std::string ReadNonBlankLine(std::int32_t attempts = 2147483647);
  // Copies every byte until the peer closes into `stream` at its position, then cuts the
  // stream there; other errors pass on after the bytes so far are written.
  void ReadUntilClosed(TIdStream& stream);
  virtual void WriteText(const std::string& text);
  // The line and CR LF in one send.
  virtual void WriteTextLine(const std::string& text);
  // Sends all `count` bytes; raises EIdNotConnected, EIdConnClosedGracefully or EIdSocketError.
  void SendBytes(const void* bytes, std::int32_t count);
  // Empties the input queue and forgets a peer close.
  virtual void ResetInput();
  virtual void CloseTransport();
  // Closes without a command to the peer; destroys an owned transport.
  virtual void CloseConnection();
  virtual void FireDisconnected();

  // Sends `line` and reads the reply; raises EIdProtocolReplyError for a code not in
  // `allowed` (an empty list accepts any), EIdCommandTextError, before sending anything,
  // for a line that holds CR, LF or NUL.
  virtual std::int16_t SendCommand(const std::string& line, const TIdReplyCodes& allowed);
  std::int16_t SendCommand(const std::string& line, std::int16_t code = ReplyAcceptAny);
  virtual std::int16_t ReadReply(const TIdReplyCodes& allowed);
  virtual std::int16_t CheckReplyCode(std::int16_t code, const TIdReplyCodes& allowed);
  // Raises EIdProtocolReplyError from LastReply.
  [[noreturn]] virtual void RaiseReplyError();
  // The lines of one reply, as read from the connection.
  std::vector<std::string> ReadReplyLines();

  bool PeerClosed = false;
  TIdRFCReply WelcomeReply;
  bool OwnsTransport = false;
  TIdManagedBuffer InputQueue;
  TIdRFCReply LastReply;
  TIdMaxLineAction MaxLineAction = TIdMaxLineAction::maException;
  std::int32_t MaxLineLength = 16384;
  TNotifyEvent OnDisconnected;
  bool LineWasSplit = false;
  std::int32_t ReadTimeout = 0;
  // The most bytes one receive asks for. The input queue keeps the room one receive
  // fills and reuses it, so received bytes are written once, straight into the queue.
  std::int32_t RecvBufferSize = 32768;
  std::int32_t SendBufferSize = 32768;

 protected:
  void Notification(TIdComponent* removed) override;
  // Destroys an owned transport and detaches it.
  void ReleaseOwnedTransport();
  // Receives until the input queue holds at least `count` bytes.
  void WaitForQueued(std::int32_t count);

 private:
  TIdIOHandler* FIOHandler = nullptr;
  std::unique_ptr<TIdIOHandler> FOwnedTransport;
};

// Raises EIdCommandTextError when `command` holds CR, LF or NUL: sent, it would carry
// further commands that nobody meant to send.
void CheckCommandText(const std::string& command);

}  // namespace pravik
