// Retrieval: the existing-file rules, the data connection in active and passive mode,
// the final reply and aborting.
#include "ftp/IdFTP.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "ftp/IdConnectionErrors.h"
#include "ftp/IdFTPErrors.h"
#include "ftp/IdFileSystem.h"
#include "ftp/IdFtpResourceStrings.h"
#include "ftp/IdRFCReply.h"
#include "ftp/IdSimpleServer.h"
#include "ftp/IdStream.h"
#include "net/IdGlobal.h"
#include "net/IdIOHandlerSocket.h"
#include "net/IdSocketHandle.h"
#include "net/IdSocks.h"

namespace pravik {

namespace {

// A retrieval command is answered by one of these before the data flows.
const TIdReplyCodes kTransferStarting = {125, 150, 154};
const TIdReplyCodes kTransferEnded = {225, 226, 250, 426, 450};
const TIdReplyCodes kAbortConfirmed = {226, 225};
constexpr std::int16_t kTransferAbortedByServer = 426;
constexpr std::int16_t kActionNotTaken = 450;
constexpr std::int16_t kRestartAccepted = 350;

// Where a replacing download collects the file until the server has accepted it.
std::string TemporaryPathFor(const std::string& path) { return path + ".download"; }

constexpr std::int16_t kFileStatus = 213;

// The temporary file of a replacing retrieval, showing each piece to the retrieval's check
// on its way and counting the bytes.
class TCheckedStream : public TIdStream {
 public:
  TCheckedStream(TIdStream& file, TIdRetrievalCheck* check) : File(file), Check(check) {}
  std::int64_t Size() override { return File.Size(); }
  std::int64_t Position() override { return File.Position(); }
  void Seek(std::int64_t position) override { File.Seek(position); }
  void Write(const void* bytes, std::int32_t count) override {
    File.Write(bytes, count);
    if (Check) Check->Consume(bytes, count);
    Written += count;
  }
  std::int32_t Read(void* bytes, std::int32_t count) override { return File.Read(bytes, count); }
  void Truncate() override { File.Truncate(); }
  std::int64_t Written = 0;

 private:
  TIdStream& File;
  TIdRetrievalCheck* Check;
};

std::int32_t ParseInteger(const std::string& text) {
  std::int64_t value = 0;
  if (!TryDecimalToInt64(text, value) || value < INT32_MIN || value > INT32_MAX)
    throw EConvertError(FormatText(rs::InvalidInteger, {text}));
  return static_cast<std::int32_t>(value);
}

}  // namespace

void TIdFTP::RetrieveFile(const std::string& remoteName, const std::string& localPath, bool mayOverwrite,
                          bool resume) {
  bool effectiveResume = resume;
  bool append = false;
  if (FileExists(localPath)) {
    effectiveResume = resume && ProbeResume();
    if (mayOverwrite == effectiveResume) throw EIdFTPFileAlreadyExists(rs::FileAlreadyExists);
    append = effectiveResume;
  }

  if (append) {
    TIdFileStream file(localPath, TIdFileStream::TOpenMode::fmOpenReadWrite);
    file.Seek(file.Size());
    RetrieveToStream(remoteName, file, effectiveResume);
    return;
  }

  // The old file must be replaceable before anything is asked of the server: a program
  // file in use is refused here and stays untouched, and so is a folder of that name.
  if (FolderExists(localPath)) throw EFCreateError(FormatText(rs::CannotCreateFile, {localPath}));
  if (FileExists(localPath)) {
    try {
      TIdFileStream check(localPath, TIdFileStream::TOpenMode::fmOpenReadWrite);
    } catch (const EStreamError& error) {
      throw EFCreateError(FormatText(rs::CannotCreateFile, {localPath}), error.SystemErrorCode);
    }
  }
  const std::string temporary = TemporaryPathFor(localPath);
  std::unique_ptr<TIdFileStream> file;
  try {
    file = std::make_unique<TIdFileStream>(temporary, TIdFileStream::TOpenMode::fmCreate);
  } catch (const EStreamError& error) {
    throw EFCreateError(FormatText(rs::CannotCreateFile, {localPath}), error.SystemErrorCode);
  }
  try {
    const std::int64_t givenSize = VerifySize ? Size(remoteName) : -1;
    TCheckedStream checked(*file, RetrievalCheck);
    RetrieveToStream(remoteName, checked, effectiveResume);
    file.reset();
    // An aborted transfer ends without error, but what arrived is not the file.
    if (TransferAborted()) {
      DeleteFileIfExists(temporary);
      return;
    }
    // A server may end a broken transfer with a plain 226: the count tells.
    const std::int64_t knownSize = givenSize >= 0 ? givenSize : AnnouncedSize;
    if (VerifySize && knownSize >= 0 && knownSize != checked.Written)
      throw EIdFTPSizeMismatch(
          FormatText(rs::SizeMismatch, {std::to_string(knownSize), std::to_string(checked.Written)}));
    if (RetrievalCheck) RetrievalCheck->Verify(temporary, checked.Written);
    if (int systemError = 0; !ReplaceFileWith(localPath, temporary, &systemError))
      throw EFCreateError(FormatText(rs::CannotCreateFile, {localPath}), systemError);
  } catch (...) {
    file.reset();
    DeleteFileIfExists(temporary);
    throw;
  }
}

void TIdFTP::RetrieveToStream(const std::string& remoteName, TIdStream& destination, bool resume) {
  const bool effectiveResume = resume && ProbeResume();
  RunDataTransfer("RETR " + remoteName, destination, effectiveResume);
  AfterRetrieve(destination);
}

std::int64_t TIdFTP::Size(const std::string& fileName) {
  std::int64_t size = -1;
  if (SendCommand("SIZE " + fileName) != kFileStatus || LastReply.Text.empty()) return -1;
  return TryDecimalToInt64(TrimControlAndBlanks(LastReply.Text.front()), size) ? size : -1;
}

std::int64_t AnnouncedByteCount(const std::string& replyLine) {
  // "150 Opening BINARY mode data connection for PravikNW.exe (45056 bytes)."
  const std::size_t end = replyLine.rfind(" bytes)");
  if (end == std::string::npos) return -1;
  const std::size_t open = replyLine.rfind('(', end);
  std::int64_t count = -1;
  if (open == std::string::npos) return -1;
  return TryDecimalToInt64(std::string_view(replyLine).substr(open + 1, end - open - 1), count) ? count : -1;
}

bool TIdFTP::ProbeResume() {
  if (ResumeProbed) return ResumeAvailable;
  ResumeProbed = true;
  ResumeAvailable = SendRawCommand("REST 1") == kRestartAccepted;
  SendRawCommand("REST 0");
  return ResumeAvailable;
}

void TIdFTP::AfterRetrieve(TIdStream& stream) {
  if (OnAfterGet) OnAfterGet(this, stream);
}

void TIdFTP::AbortTransfer() {
  if (IsConnected()) {
    WriteTextLine("ABOR");
    AbortSent = true;
  }
  DropDataConnection();
}

void TIdFTP::DropDataConnection() {
  if (DataConnection) DataConnection->CloseTransport();
}

TIdSocketHandle& TIdFTP::ControlBinding() {
  auto* transport = dynamic_cast<TIdIOHandlerSocket*>(IOHandler());
  if (!transport || !transport->SocketBinding() || !transport->TransportConnected())
    throw EIdNotConnected(rs::NotConnected);
  return *transport->SocketBinding();
}

void TIdFTP::PrepareDataConnection() {
  DataConnection->SendBufferSize = SendBufferSize;
  DataConnection->RecvBufferSize = RecvBufferSize;
  DataConnection->ReadTimeout = ReadTimeout;
  DataConnection->OnWork = OnWork;
  DataConnection->OnWorkBegin = OnWorkBegin;
  DataConnection->OnWorkEnd = OnWorkEnd;
}

void TIdFTP::SendRestart(TIdStream& stream) {
  SendCommand("REST " + std::to_string(stream.Position()), kRestartAccepted);
}

void TIdFTP::RunDataTransfer(const std::string& command, TIdStream& stream, bool resume) {
  // Before the data port is announced: a refused name must leave nothing half begun.
  CheckCommandText(command);
  AnnouncedSize = -1;
  ReportStatus(TIdStatus::statusFtpTransfer, {rs::StartingTransfer});
  AbortSent = false;
  FTransferAborted = false;
  try {
    if (Passive)
      RunPassiveTransfer(command, stream, resume);
    else
      RunActiveTransfer(command, stream, resume);
  } catch (...) {
    ReportStatus(TIdStatus::statusFtpReady, {rs::TransferComplete});
    throw;
  }
  ReportStatus(TIdStatus::statusFtpReady, {rs::TransferComplete});
  ReadFinalReply();
}

void TIdFTP::RunActiveTransfer(const std::string& command, TIdStream& stream, bool resume) {
  TIdSocketHandle& control = ControlBinding();
  auto listener = std::make_unique<TIdSimpleServer>();
  DataConnection = listener.get();
  struct Release {
    TIdFTP& Client;
    ~Release() { Client.DataConnection = nullptr; }
  } release{*this};

  PrepareDataConnection();
  listener->BoundIP = control.IP;
  listener->BoundPort = DataPort;
  listener->BoundPortMin = DataPortMin;
  listener->BoundPortMax = DataPortMax;
  // Only the server may deliver the file: a connection from elsewhere is turned away.
  listener->PeerIP = control.RemoteIP;
  listener->AcceptTimeout = ReadTimeout;
  // A server that closes the control connection instead of connecting ends the wait at
  // once; a reply that comes meanwhile waits in the input queue for its turn.
  listener->WatchedSocket = control.SysSocket;
  listener->OnWatchedReadable = [this] { FillInputQueue(true, 0, false); };
  listener->StartListening();
  AnnounceDataPort(*listener->Binding());
  if (resume) SendRestart(stream);
  SendCommand(command, kTransferStarting);
  AnnouncedSize = LastReply.Text.empty() ? -1 : AnnouncedByteCount(LastReply.Text.front());
  if (listener->AcceptPeer()) listener->ReadUntilClosed(stream);
}

void TIdFTP::RunPassiveTransfer(const std::string& command, TIdStream& stream, bool resume) {
  std::string announcedIP;
  std::int32_t port = 0;
  RequestPassive(announcedIP, port);
  // The data connection goes to the server the client already talks to, whatever
  // address the reply names: a server must not send the client to a third host.
  const std::string serverIP = ControlBinding().RemoteIP;

  auto client = std::make_unique<TIdTCPClient>();
  DataConnection = client.get();
  struct Release {
    TIdFTP& Client;
    ~Release() { Client.DataConnection = nullptr; }
  } release{*this};

  auto transport = std::make_unique<TIdIOHandlerSocket>();
  if (auto* control = dynamic_cast<TIdIOHandlerSocket*>(IOHandler())) transport->SetSocksInfo(control->SocksInfo());
  client->AttachOwnedTransport(std::move(transport));
  PrepareDataConnection();
  client->Host = serverIP;
  client->Port = port;
  client->ConnectToHost(TimeLimitDefault);
  try {
    if (resume) SendRestart(stream);
    WriteTextLine(command);
    ReadReply(kTransferStarting);
    AnnouncedSize = LastReply.Text.empty() ? -1 : AnnouncedByteCount(LastReply.Text.front());
    client->ReadUntilClosed(stream);
  } catch (...) {
    client->CloseConnection();
    throw;
  }
  client->CloseConnection();
}

void TIdFTP::ReadFinalReply() {
  const std::int16_t code = ReadReply(kTransferEnded);
  const bool brokenOff = code == kTransferAbortedByServer || code == kActionNotTaken;
  if (!brokenOff && !AbortSent) return;
  // Without our ABOR the server broke the transfer off: a second reply will not come.
  if (!AbortSent) RaiseReplyError();
  // After our ABOR the data stopped where we dropped it, even when the server had already
  // finished and answers with a plain completion.
  if (brokenOff) ReadReply(kAbortConfirmed);
  FTransferAborted = true;
  ReportStatus(TIdStatus::statusFtpAborted, {rs::TransferAborted});
}

void TIdFTP::AnnounceDataPort(TIdSocketHandle& binding) {
  std::string address = binding.IP;
  for (char& c : address) {
    if (c == '.') c = ',';
  }
  SendCommand("PORT " + address + "," + std::to_string(binding.Port / 256) + "," +
                  std::to_string(binding.Port % 256),
              200);
}

void TIdFTP::RequestPassive(std::string& ip, std::int32_t& port) {
  SendCommand("PASV", 227);
  ParsePassiveReply(LastReply.Text.empty() ? std::string() : LastReply.Text.front(), ip, port);
}

void ParsePassiveReply(const std::string& firstLine, std::string& ip, std::int32_t& port) {
  std::string s = TrimControlAndBlanks(firstLine);
  const std::size_t open = s.find('(');
  const std::size_t close = s.find(')');
  if (open != std::string::npos && close != std::string::npos) {
    s = close > open ? s.substr(open + 1, close - open - 1) : std::string();
  } else {
    const std::size_t blank = s.rfind(' ');
    if (blank != std::string::npos) s = s.substr(blank + 1);
  }
  ip = CutToken(s, ",");
  for (int i = 0; i < 3; ++i) ip += "." + CutToken(s, ",");
  const std::string highText = CutToken(s, ",");
  const std::int32_t high = ParseInteger(highText);
  const std::string lowText = TrimControlAndBlanks(CutToken(s, ","));
  const std::int32_t low = ParseInteger(lowText);
  // In 64 bits: the server may write any 32-bit numbers, and high * 256 need not fit.
  const std::int64_t announced = std::int64_t{high} * 256 + low;
  if (announced < 0 || announced > 65535)
    throw EConvertError(FormatText(rs::InvalidInteger, {high < 0 || high > 255 ? highText : lowText}));
  port = static_cast<std::int32_t>(announced);
}

}  // namespace pravik
