#include "ftp/IdTCPConnection.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string_view>
#include <utility>

#include "ftp/IdConnectionErrors.h"
#include "ftp/IdFtpResourceStrings.h"
#include "net/IdException.h"
#include "net/IdIOHandler.h"
#include "net/IdResourceStrings.h"
#include "net/IdStack.h"

namespace pravik {

namespace {

// Receive failures that mean the connection is gone: shut down, aborted.
constexpr std::initializer_list<int> kReceiveGone = {Id_WSAESHUTDOWN, Id_WSAECONNABORTED};
// Send failures that mean the same, a reset included.
constexpr std::initializer_list<int> kSendGone = {Id_WSAESHUTDOWN, Id_WSAECONNABORTED, Id_WSAECONNRESET};

constexpr std::int32_t kMaxReadUntilClosed = 2147483647;

}  // namespace

TIdTCPConnection::TIdTCPConnection() {
  InputQueue.OnConsumed = [this](TIdSimpleBuffer*, std::int32_t n) { AddWork(TWorkMode::workRead, n); };
}

TIdTCPConnection::~TIdTCPConnection() {
  try {
    CloseTransport();
  } catch (...) {  // a destructor must not throw; the socket is released below anyway
  }
  ReleaseOwnedTransport();
  if (FIOHandler) RemoveFreeNotification(FIOHandler);
}

void TIdTCPConnection::AttachOwnedTransport(std::unique_ptr<TIdIOHandler> transport) {
  SetIOHandler(transport.get());
  FOwnedTransport = std::move(transport);
  OwnsTransport = true;
}

void TIdTCPConnection::ReleaseOwnedTransport() {
  if (!OwnsTransport) return;
  OwnsTransport = false;
  if (FIOHandler == FOwnedTransport.get()) FIOHandler = nullptr;
  FOwnedTransport.reset();
}

void TIdTCPConnection::SetIOHandler(TIdIOHandler* transport) {
  if (FIOHandler && OwnsTransport) ReleaseOwnedTransport();
  if (FIOHandler) RemoveFreeNotification(FIOHandler);
  FIOHandler = transport;
  if (transport) FreeNotification(transport);
}

void TIdTCPConnection::Notification(TIdComponent* removed) {
  if (removed == FIOHandler) FIOHandler = nullptr;
}

void TIdTCPConnection::CheckPeerClosed(bool raiseIfClosed, bool ignoreBuffered) {
  bool closed = false;
  if (FIOHandler) {
    if (PeerClosed) {
      if (FIOHandler->TransportConnected()) {
        CloseTransport();
        ReportStatus(TIdStatus::statusDisconnected);
        FireDisconnected();
      }
      closed = true;
    } else {
      closed = !FIOHandler->TransportConnected();
    }
  }
  if (closed && raiseIfClosed && (InputQueue.Size() == 0 || ignoreBuffered))
    throw EIdConnClosedGracefully(rs::ConnectionClosedGracefully);
}

bool TIdTCPConnection::IsConnected() {
  CheckPeerClosed(false, false);
  return FIOHandler && FIOHandler->TransportConnected();
}

std::int32_t TIdTCPConnection::FillInputQueue(bool raiseIfClosed, std::int32_t timeout,
                                              bool raiseOnTimeout) {
  if (timeout == TimeLimitDefault) timeout = ReadTimeout == 0 ? TimeLimitInfinite : ReadTimeout;
  std::int32_t result = 0;
  CheckPeerClosed(raiseIfClosed, false);
  if (!IsConnected()) {
    if (raiseIfClosed) throw EIdNotConnected(rs::NotConnected);
    return result;
  }
  std::int32_t n;
  do {
    // Without a time limit the blocking receive waits by itself; a readiness wait before
    // it would only cost one more system call per receive.
    if (timeout != TimeLimitInfinite && !FIOHandler->WaitReadable(timeout)) {
      if (raiseOnTimeout) throw EIdReadTimeout(rs::ReadTimeout);
      result = -1;
      break;
    }
    char* room = InputQueue.GrowBack(RecvBufferSize);
    try {
      n = FIOHandler->ReceiveBuf(room, RecvBufferSize);
    } catch (...) {
      InputQueue.DropBack(RecvBufferSize);
      throw;
    }
    InputQueue.DropBack(RecvBufferSize - std::max(n, 0));
    PeerClosed = n == 0;
    if (n != 0) {
      if (GlobalStack->CheckSocketResult(n, kReceiveGone)) {
        n = 0;
        CloseTransport();
        if (InputQueue.Size() == 0) GlobalStack->RaiseSocketFailure(GlobalStack->LastSocketError);
      }
    }
    CheckPeerClosed(raiseIfClosed, false);
    result = n;
  } while (n == 0 && IsConnected());
  return result;
}

void TIdTCPConnection::WaitForQueued(std::int32_t count) {
  while (InputQueue.Size() < count) {
    FillInputQueue(true, TimeLimitDefault, true);
    CheckPeerClosed(true, true);
  }
}

void TIdTCPConnection::ReadExact(void* buffer, std::int32_t count) {
  if (count <= 0 || !buffer) return;
  WaitForQueued(count);
  std::memcpy(buffer, InputQueue.Memory(), static_cast<std::size_t>(count));
  InputQueue.DropFront(count);
}

std::string TIdTCPConnection::ReadTextLine() {
  const std::int32_t limit = MaxLineLength;
  LineWasSplit = false;
  std::int32_t termPos = 0;  // 1-based position of the LF among the queued bytes
  std::int32_t scanned = 0;
  for (;;) {
    const auto size = static_cast<std::int32_t>(InputQueue.Size());
    if (size > 0) {
      // Only the bytes that arrived since the last look are searched.
      const std::int32_t found = FindInMemory("\n", InputQueue.Memory() + scanned, size - scanned);
      if (found != 0) termPos = found + scanned;
      scanned = size;
    }
    if (limit != 0 && (termPos - 1 > limit || (termPos == 0 && scanned > limit))) {
      if (MaxLineAction == TIdMaxLineAction::maException)
        throw EIdReadLnMaxLineLengthExceeded(rs::MaxLineLengthExceeded);
      LineWasSplit = true;
      return InputQueue.TakeFront(limit);
    }
    if (termPos != 0) break;
    CheckPeerClosed(true, true);
    FillInputQueue(true, TimeLimitDefault, true);
  }
  std::string line = InputQueue.TakeFront(termPos);
  const bool cr = termPos > 1 && line[static_cast<std::size_t>(termPos) - 2] == '\r';
  line.resize(static_cast<std::size_t>(termPos - (cr ? 2 : 1)));
  return line;
}

std::string TIdTCPConnection::ReadNonBlankLine(std::int32_t attempts) {
  std::string result;
  for (std::int32_t tries = 0; result.empty() && tries < attempts; ++tries)
    result = TrimControlAndBlanks(ReadTextLine());
  return result;
}

void TIdTCPConnection::ReadUntilClosed(TIdStream& stream) {
  StartWork(TWorkMode::workRead, 0);
  auto finish = [&] {
    FinishWork(TWorkMode::workRead);
    if (stream.Size() > stream.Position()) stream.Truncate();
  };
  try {
    std::int32_t remaining = kMaxReadUntilClosed;
    if (InputQueue.Size() > 0) {
      const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(InputQueue.Size(), remaining));
      stream.Write(InputQueue.Memory(), n);
      InputQueue.DropFront(n);
      remaining -= n;
    }
    // One receive of up to RecvBufferSize, then one write of what it brought, straight
    // from the queue: each byte is copied once on its way, and as the queue never holds
    // more than one receive, nothing is moved within it.
    while (IsConnected() && remaining > 0) {
      if (InputQueue.Size() == 0) {
        try {
          WaitForQueued(1);
        } catch (const EIdConnClosedGracefully&) {  // the normal end of the data
          break;
        }
      }
      const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(InputQueue.Size(), remaining));
      stream.Write(InputQueue.Memory(), n);
      InputQueue.DropFront(n);
      remaining -= n;
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

void TIdTCPConnection::WriteText(const std::string& text) {
  if (!text.empty()) SendBytes(text.data(), static_cast<std::int32_t>(text.size()));
}

void TIdTCPConnection::WriteTextLine(const std::string& text) { WriteText(text + "\r\n"); }

void TIdTCPConnection::SendBytes(const void* bytes, std::int32_t count) {
  if (count <= 0 || !bytes) return;
  CheckPeerClosed(true, true);
  if (!IsConnected()) throw EIdNotConnected(rs::NotConnected);
  const char* data = static_cast<const char*>(bytes);
  std::int32_t sent = 0;
  do {
    const std::int32_t n = FIOHandler->SendBuf(data + sent, count - sent);
    PeerClosed = n == 0;
    CheckPeerClosed(true, false);
    if (GlobalStack->CheckSocketResult(n, kSendGone)) {
      CloseTransport();
      GlobalStack->RaiseSocketFailure(GlobalStack->LastSocketError);
    }
    AddWork(TWorkMode::workWrite, n);
    sent += n;
  } while (sent < count);
}

void TIdTCPConnection::ResetInput() {
  InputQueue.Clear();
  PeerClosed = false;
}

void TIdTCPConnection::CloseTransport() {
  if (FIOHandler) FIOHandler->ShutTransport();
}

void TIdTCPConnection::CloseConnection() {
  const bool wasOpen = IsConnected();
  if (wasOpen) {
    ReportStatus(TIdStatus::statusDisconnecting);
    CloseTransport();
  }
  ReleaseOwnedTransport();
  if (wasOpen) {
    FireDisconnected();
    ReportStatus(TIdStatus::statusDisconnected);
  }
}

void TIdTCPConnection::FireDisconnected() {
  if (OnDisconnected) OnDisconnected(this);
}

// Replies

std::vector<std::string> TIdTCPConnection::ReadReplyLines() {
  std::vector<std::string> lines{ReadNonBlankLine()};
  const std::string& first = lines.front();
  if (first.size() > 3 && first[3] == '-') {
    const std::string term = UpperCaseAscii(first.substr(0, 3)) + " ";
    for (;;) {
      lines.push_back(ReadNonBlankLine());
      const std::string& line = lines.back();
      if (line.size() < 4 || UpperCaseAscii(line.substr(0, 4)) == term) break;
    }
  }
  return lines;
}

std::int16_t TIdTCPConnection::CheckReplyCode(std::int16_t code, const TIdReplyCodes& allowed) {
  if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), code) == allowed.end()) RaiseReplyError();
  return code;
}

std::int16_t TIdTCPConnection::ReadReply(const TIdReplyCodes& allowed) {
  const std::vector<std::string> lines = ReadReplyLines();
  LastReply.ParseReply(lines);
  return CheckReplyCode(static_cast<std::int16_t>(LastReply.NumericCode), allowed);
}

void CheckCommandText(const std::string& command) {
  if (command.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
    throw EIdCommandTextError(rs::CommandTextUnsafe);
}

std::int16_t TIdTCPConnection::SendCommand(const std::string& line, const TIdReplyCodes& allowed) {
  CheckCommandText(line);
  WriteTextLine(line);
  return ReadReply(allowed);
}

std::int16_t TIdTCPConnection::SendCommand(const std::string& line, std::int16_t code) {
  return SendCommand(line, code == ReplyAcceptAny ? TIdReplyCodes{} : TIdReplyCodes{code});
}

void TIdTCPConnection::RaiseReplyError() {
  std::string message;
  for (const std::string& text : LastReply.Text) message += text + "\r\n";
  throw EIdProtocolReplyError(LastReply.NumericCode, message);
}

}  // namespace pravik
