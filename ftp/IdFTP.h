#pragma once
// The FTP client: connecting with automatic login through the proxy schemes, the
// transfer type, the working directory, and retrieval of files over active- or
// passive-mode data connections.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ftp/IdFtpProxySettings.h"
#include "ftp/IdTCPClient.h"

namespace pravik {

class TIdSocketHandle;
class TIdStream;

enum class TIdFTPTransferType { ftASCII = 0, ftBinary = 1 };

using TIdFtpAfterGet = std::function<void(TIdComponent* ASender, TIdStream& VStream)>;

// Looks at a file that a retrieval brought before it replaces the old one: each piece as
// it arrives, then the whole once the server has confirmed the transfer.
class TIdRetrievalCheck {
 public:
  virtual ~TIdRetrievalCheck() = default;
  virtual void Consume(const void* bytes, std::int32_t count) = 0;
  // Raises to refuse the file at `receivedPath` (`byteCount` bytes), which then replaces
  // nothing and is removed.
  virtual void Verify(const std::string& receivedPath, std::int64_t byteCount) = 0;
};

class TIdFTP : public TIdTCPClient {
 public:
  // Port 21; the waits for a silent server are bounded by ReadTimeout, 60 s here.
  TIdFTP();
  ~TIdFTP() override;

  // Connects (to the proxy when one is set), reads the 220 greeting and, with
  // `autoLogin`, logs in, fires OnAfterClientLogin, sends SYST and reports
  // statusFtpReady. Any failure closes the connection and passes on.
  void ConnectToServer(bool autoLogin = true, std::int32_t timeout = TimeLimitDefault);
  // The login sequence of the proxy scheme, then the type command.
  void PerformLogin();
  // "CWD <path>", accepting 200 and 250.
  void ChangeDirectory(const std::string& path);
  // "TYPE A" or "TYPE I", accepting 200.
  void ApplyTransferType();
  // Sends one command line and returns whatever code the server answers.
  std::int16_t SendRawCommand(const std::string& command);

  TIdFTPTransferType TransferType() const { return FTransferType; }
  // Ignored while a transfer runs; sent at once on a connected client.
  void SetTransferType(TIdFTPTransferType value);
  TIdFtpProxySettings& ProxySettings() { return FProxySettings; }
  // Copies the settings; EConvertError for an object of another class.
  void SetProxySettings(const TIdPersistent* value) { FProxySettings.Assign(value); }

  // Retrieves `remoteName` into the file at `localPath` by the existing-file rules.
  // A replaced file changes only once the server has accepted the whole transfer;
  // until then, and after any failure or our own abort, the old file stays as it was.
  // "Cannot create file %s" before any command when the file is in use or a folder.
  // With VerifySize, a replacing retrieval first asks the file's SIZE, and a byte count
  // that differs from the size the server gave (by SIZE or in its "(<n> bytes)" reply to
  // the retrieval command) raises EIdFTPSizeMismatch; then RetrievalCheck, when set,
  // verifies the file. Either refuses before the replace.
  void RetrieveFile(const std::string& remoteName, const std::string& localPath, bool mayOverwrite,
                    bool resume);
  // Retrieves into `destination` at its position, then fires OnAfterGet.
  void RetrieveToStream(const std::string& remoteName, TIdStream& destination, bool resume);
  // Whether the server takes restart offsets ("REST 1" answered 350); asked once for the
  // life of the client.
  bool ProbeResume();
  // "SIZE <fileName>": the size from a 213 reply with a decimal number, -1 for any other
  // answer (a server without SIZE, a refusal). Connection errors pass on.
  std::int64_t Size(const std::string& fileName);
  // Sends ABOR and drops the data connection; the running transfer reads the replies.
  virtual void AbortTransfer();
  virtual void DropDataConnection();
  virtual void AfterRetrieve(TIdStream& stream);
  // Whether the last retrieval ended by our own ABOR, which returns without error: the
  // destination then holds only what came before the abort, or, replaced, is unchanged.
  bool TransferAborted() const { return FTransferAborted; }

  bool Passive = false;
  bool VerifySize = false;
  TIdRetrievalCheck* RetrievalCheck = nullptr;
  // The size the reply to the last retrieval command announced as "(<n> bytes)", else -1.
  std::int64_t AnnouncedSize = -1;
  std::int32_t DataPort = 0;
  std::int32_t DataPortMin = 0;
  std::int32_t DataPortMax = 0;
  TNotifyEvent OnAfterClientLogin;
  TIdFtpAfterGet OnAfterGet;

  TIdRFCReply LoginReply;
  std::string SystemDescription;
  bool ResumeProbed = false;
  bool ResumeAvailable = false;
  // The data connection while a transfer runs, else none.
  TIdTCPConnection* DataConnection = nullptr;

 private:
  // "USER <user>" then, on 331, "PASS <password>".
  void LoginAs(const std::string& user, const std::string& password);
  void RunDataTransfer(const std::string& command, TIdStream& stream, bool resume);
  void RunActiveTransfer(const std::string& command, TIdStream& stream, bool resume);
  void RunPassiveTransfer(const std::string& command, TIdStream& stream, bool resume);
  void ReadFinalReply();
  void AnnounceDataPort(TIdSocketHandle& binding);
  void RequestPassive(std::string& ip, std::int32_t& port);
  void PrepareDataConnection();
  void SendRestart(TIdStream& stream);
  // The control connection's socket handle; EIdNotConnected without one.
  TIdSocketHandle& ControlBinding();

  TIdFTPTransferType FTransferType = TIdFTPTransferType::ftBinary;
  TIdFtpProxySettings FProxySettings;
  // Our ABOR went out during the running transfer / the transfer ended aborted.
  bool AbortSent = false;
  bool FTransferAborted = false;
};

// The number of a "(<n> bytes)" in a reply line, as servers announce a transfer's size;
// -1 when there is none.
std::int64_t AnnouncedByteCount(const std::string& replyLine);

// The address and port of a PASV reply's first text line: the six numbers between its
// parentheses, or after its last blank. EConvertError "'%s' is not a valid integer value"
// for a port number that is none, or for two that give no port of 0 to 65535: it names the
// high one when that is outside 0 to 255, else the low one.
void ParsePassiveReply(const std::string& firstLine, std::string& ip, std::int32_t& port);

}  // namespace pravik
