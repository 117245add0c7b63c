#include "ftp/IdFTP.h"

#include "ftp/IdConnectionErrors.h"
#include "ftp/IdFtpResourceStrings.h"
#include "net/IdException.h"

namespace pravik {

namespace {

constexpr std::int32_t kFtpPort = 21;
constexpr std::int32_t kServerSilenceLimitMs = 60000;

}  // namespace

TIdFTP::TIdFTP() {
  Port = kFtpPort;
  // A server that stops answering must not hold the program for ever.
  ReadTimeout = kServerSilenceLimitMs;
}

TIdFTP::~TIdFTP() = default;

void TIdFTP::ConnectToServer(bool autoLogin, std::int32_t timeout) {
  const std::string savedHost = Host;
  const std::int32_t savedPort = Port;
  try {
    if (FProxySettings.ProxyType != TIdFtpProxyType::fpcmNone && !FProxySettings.Host.empty()) {
      Host = FProxySettings.Host;
      Port = FProxySettings.Port;
    }
    try {
      ConnectToHost(timeout);
    } catch (...) {
      Host = savedHost;
      Port = savedPort;
      throw;
    }
    // The login sees the real server's name, not the proxy's.
    Host = savedHost;
    Port = savedPort;
    ReadReply({220});
    WelcomeReply.CopyReplyFrom(LastReply);
    if (!autoLogin) return;
    PerformLogin();
    if (OnAfterClientLogin) OnAfterClientLogin(this);
    const std::int16_t code = SendCommand("SYST", TIdReplyCodes{200, 215, 500});
    SystemDescription = code == 500 || LastReply.Text.empty() ? rs::UnknownSystem : LastReply.Text.front();
    ReportStatus(TIdStatus::statusFtpReady, {rs::ConnectionEstablished});
  } catch (...) {
    CloseConnection();
    throw;
  }
}

void TIdFTP::LoginAs(const std::string& user, const std::string& password) {
  if (SendCommand("USER " + user, TIdReplyCodes{230, 331}) == 331) SendCommand("PASS " + password, 230);
}

void TIdFTP::PerformLogin() {
  const TIdFtpProxySettings& proxy = FProxySettings;
  auto proxyLogin = [&] {
    if (!proxy.UserName.empty()) LoginAs(proxy.UserName, proxy.Password);
  };
  switch (proxy.ProxyType) {
    case TIdFtpProxyType::fpcmNone:
      LoginAs(Username, Password);
      break;
    case TIdFtpProxyType::fpcmUserSite:
      proxyLogin();
      LoginAs(Username + "@" + Host, Password);
      break;
    case TIdFtpProxyType::fpcmSite:
      proxyLogin();
      SendCommand("SITE " + Host);
      LoginAs(Username, Password);
      break;
    case TIdFtpProxyType::fpcmOpen:
      proxyLogin();
      SendCommand("OPEN " + Host);
      LoginAs(Username, Password);
      break;
    case TIdFtpProxyType::fpcmUserPass:
      LoginAs(Username + "@" + proxy.UserName + "@" + Host,
              proxy.Password.empty() ? Password : Password + "@" + proxy.Password);
      break;
    case TIdFtpProxyType::fpcmTransparent:
      proxyLogin();
      LoginAs(Username, Password);
      break;
    case TIdFtpProxyType::fpcmHttpProxyWithFtp:
      throw EIdException(rs::CommandNotSupported);
  }
  LoginReply.CopyReplyFrom(LastReply);
  ApplyTransferType();
}

void TIdFTP::ApplyTransferType() {
  SendCommand(FTransferType == TIdFTPTransferType::ftASCII ? "TYPE A" : "TYPE I", 200);
}

void TIdFTP::SetTransferType(TIdFTPTransferType value) {
  if (value == FTransferType || DataConnection) return;
  FTransferType = value;
  if (IsConnected()) ApplyTransferType();
}

void TIdFTP::ChangeDirectory(const std::string& path) { SendCommand("CWD " + path, TIdReplyCodes{200, 250}); }

std::int16_t TIdFTP::SendRawCommand(const std::string& command) { return SendCommand(command, ReplyAcceptAny); }

}  // namespace pravik
