// The FTP session against a scripted server: greeting, the login of each proxy scheme,
// the system query, the transfer type, the working directory and bounded waits.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "ftp/IdConnectionErrors.h"
#include "ftp/IdFTP.h"
#include "ftp/IdFTPErrors.h"
#include "ftp/IdRFCReply.h"
#include "net/IdException.h"
#include "net/IdSocketHandle.h"
#include "tests/ftp/FtpFixture.h"
#include "tests/support/ErrorMessage.h"

namespace pravik::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class FtpSessionTest : public FtpFixture {};

TEST_F(FtpSessionTest, DefaultsAreTheUpdatersOnes) {
  TIdFTP ftp;
  EXPECT_EQ(ftp.Port, 21);
  EXPECT_FALSE(ftp.Passive);
  EXPECT_EQ(ftp.TransferType(), TIdFTPTransferType::ftBinary);
  EXPECT_EQ(ftp.DataPort, 0);
  EXPECT_EQ(ftp.ReadTimeout, 60000);
  EXPECT_EQ(ftp.ProxySettings().ProxyType, TIdFtpProxyType::fpcmNone);
  EXPECT_FALSE(ftp.ResumeProbed);
  EXPECT_EQ(ftp.DataConnection, nullptr);
}

TEST_F(FtpSessionTest, LogsInTypesQueriesTheSystemAndChangesDirectory) {
  ScriptLogin(Server).WaitForLines().Send("250 Directory changed\r\n");
  RecordStatus();
  bool loggedInBeforeSyst = false;
  Ftp.OnAfterClientLogin = [&](TIdComponent*) { loggedInBeforeSyst = Server.ReceivedLines().size() == 3; };
  Connect();
  Ftp.ChangeDirectory("/pub/pravik nw");

  EXPECT_THAT(Server.ReceivedLines(),
              ElementsAre("USER pravik", "PASS secret", "TYPE I", "SYST", "CWD /pub/pravik nw"));
  EXPECT_TRUE(loggedInBeforeSyst);
  EXPECT_EQ(Ftp.WelcomeReply.NumericCode, 220);
  EXPECT_EQ(Ftp.LoginReply.NumericCode, 230);
  EXPECT_EQ(Ftp.SystemDescription, "UNIX Type: L8");
  EXPECT_EQ(Events.back(), "statusFtpReady Connection established");
  EXPECT_TRUE(Ftp.IsConnected());
}

// Settings come from the central database: a line break in one of them must never reach
// the server as a command of its own.
TEST_F(FtpSessionTest, ALineBreakInACommandIsRefusedBeforeAnythingIsSent) {
  ScriptLogin(Server).WaitForLines().Send("250 Directory changed\r\n");
  Connect();
  for (const std::string& path : {std::string("/d\r\nDELE /etc/passwd"), std::string("/d\nDELE x"),
                                  std::string("/d\rDELE x"), std::string("/d\0DELE x", 9)}) {
    EXPECT_EQ(MessageOf<EIdCommandTextError>([&] { Ftp.ChangeDirectory(path); }), "Command contains CR, LF or NUL.");
  }
  // The connection is still in step: the next command gets its own reply.
  Ftp.ChangeDirectory("/d");
  EXPECT_THAT(CommandsAfterLogin(), ElementsAre("CWD /d"));
}

TEST_F(FtpSessionTest, ALineBreakInTheLoginIsRefusedBeforeItIsSent) {
  Server.Send("220 ready\r\n").WaitForLines().Send("331 Password required\r\n");
  Ftp.Password = "secret\r\nDELE x";
  EXPECT_EQ(MessageOf<EIdCommandTextError>([&] { Connect(); }), "Command contains CR, LF or NUL.");
  EXPECT_THAT(Server.ReceivedLines(), ElementsAre("USER pravik"));
  EXPECT_FALSE(Ftp.IsConnected());
}

TEST_F(FtpSessionTest, UserAcceptedAtOnceSendsNoPassword) {
  Server.Send("220 ready\r\n")
      .WaitForLines()
      .Send("230 Anonymous welcome\r\n")
      .WaitForLines()
      .Send("200 ok\r\n")
      .WaitForLines()
      .Send("215 UNIX\r\n");
  Ftp.Username = "";
  Connect();
  EXPECT_THAT(Server.ReceivedLines(), ElementsAre("USER ", "TYPE I", "SYST"));
  EXPECT_EQ(Ftp.LoginReply.NumericCode, 230);
  EXPECT_THAT(Ftp.LoginReply.Text, ElementsAre("Anonymous welcome"));
}

struct SystReplyCase {
  const char* Reply;
  bool Connects;
  const char* Outcome;  // SystemDescription, or the error's message
  friend void PrintTo(const SystReplyCase& c, std::ostream* os) { *os << c.Reply; }
};

class FtpSystReplyTest : public FtpFixture, public ::testing::WithParamInterface<SystReplyCase> {};

TEST_P(FtpSystReplyTest, DecidesTheSystemOrFails) {
  const SystReplyCase& c = GetParam();
  ScriptLogin(Server, c.Reply);
  Server.Start();
  if (c.Connects) {
    Ftp.ConnectToServer(true, TimeLimitDefault);
    EXPECT_EQ(Ftp.SystemDescription, c.Outcome);
    EXPECT_TRUE(Ftp.IsConnected());
  } else {
    EXPECT_EQ(MessageOf<EIdProtocolReplyError>([&] { Ftp.ConnectToServer(true, TimeLimitDefault); }),
              c.Outcome);
    EXPECT_FALSE(Ftp.IsConnected());
  }
}

INSTANTIATE_TEST_SUITE_P(Replies, FtpSystReplyTest,
                         ::testing::Values(SystReplyCase{"215 Windows_NT\r\n", true, "Windows_NT"},
                                           SystReplyCase{"200 MACOS Peter's Server\r\n", true,
                                                         "MACOS Peter's Server"},
                                           SystReplyCase{"500 What?\r\n", true, "Unknown"},
                                           SystReplyCase{"502 Not implemented\r\n", false,
                                                         "Not implemented\r\n"}));

TEST_F(FtpSessionTest, GreetingOtherThan220FailsAndCloses) {
  Server.Send("120 Service ready in 5 minutes\r\n");
  Server.Start();
  try {
    Ftp.ConnectToServer(true, TimeLimitDefault);
    FAIL() << "connected";
  } catch (const EIdProtocolReplyError& error) {
    EXPECT_EQ(error.ReplyCode, 120);
    EXPECT_STREQ(error.what(), "Service ready in 5 minutes\r\n");
  }
  EXPECT_FALSE(Ftp.IsConnected());
  EXPECT_TRUE(Server.ReceivedLines().empty());
}

TEST_F(FtpSessionTest, WithoutAutoLoginStopsAfterTheGreeting) {
  Server.Send("220-Welcome\r\n220 to Pravik\r\n");
  Server.Start();
  Ftp.ConnectToServer(false, TimeLimitDefault);
  EXPECT_THAT(Ftp.WelcomeReply.Text, ElementsAre("Welcome", "to Pravik"));
  EXPECT_TRUE(Server.ReceivedLines().empty());
}

// The server's answer to each command of a proxy scheme's login.
std::string ReplyTo(const std::string& command) {
  if (command.rfind("USER ", 0) == 0) return "331 Password required\r\n";
  if (command.rfind("PASS ", 0) == 0) return "230 Logged in\r\n";
  // SITE and OPEN are taken whatever the answer.
  if (command.rfind("SITE ", 0) == 0 || command.rfind("OPEN ", 0) == 0) return "500 Unknown command\r\n";
  if (command.rfind("TYPE ", 0) == 0) return "200 Type set\r\n";
  return "215 UNIX\r\n";
}

struct ProxySchemeCase {
  const char* Name;
  TIdFtpProxyType Type;
  const char* ProxyUser;
  const char* ProxyPassword;
  std::vector<std::string> Commands;
  friend void PrintTo(const ProxySchemeCase& c, std::ostream* os) { *os << c.Name; }
};

class FtpProxySchemeTest : public FtpFixture, public ::testing::WithParamInterface<ProxySchemeCase> {};

TEST_P(FtpProxySchemeTest, SendsTheSchemesLoginSequence) {
  const ProxySchemeCase& c = GetParam();
  Server.Send("220 proxy ready\r\n");
  for (const std::string& command : c.Commands) Server.WaitForLines().Send(ReplyTo(command));
  Ftp.ProxySettings().ProxyType = c.Type;
  Ftp.ProxySettings().UserName = c.ProxyUser;
  Ftp.ProxySettings().Password = c.ProxyPassword;
  // No proxy host: the connection goes straight to the server, the scheme still applies.
  Connect();
  EXPECT_THAT(Server.ReceivedLines(), ElementsAreArray(c.Commands));
  EXPECT_EQ(Ftp.LoginReply.NumericCode, 230);
}

INSTANTIATE_TEST_SUITE_P(
    Schemes, FtpProxySchemeTest,
    ::testing::Values(
        ProxySchemeCase{"UserSite",
                        TIdFtpProxyType::fpcmUserSite,
                        "pu",
                        "pp",
                        {"USER pu", "PASS pp", "USER pravik@127.0.0.1", "PASS secret", "TYPE I", "SYST"}},
        ProxySchemeCase{"UserSiteWithoutProxyUser",
                        TIdFtpProxyType::fpcmUserSite,
                        "",
                        "pp",
                        {"USER pravik@127.0.0.1", "PASS secret", "TYPE I", "SYST"}},
        ProxySchemeCase{"Site",
                        TIdFtpProxyType::fpcmSite,
                        "pu",
                        "pp",
                        {"USER pu", "PASS pp", "SITE 127.0.0.1", "USER pravik", "PASS secret", "TYPE I", "SYST"}},
        ProxySchemeCase{"Open",
                        TIdFtpProxyType::fpcmOpen,
                        "pu",
                        "pp",
                        {"USER pu", "PASS pp", "OPEN 127.0.0.1", "USER pravik", "PASS secret", "TYPE I", "SYST"}},
        ProxySchemeCase{"UserPass",
                        TIdFtpProxyType::fpcmUserPass,
                        "pu",
                        "pp",
                        {"USER pravik@pu@127.0.0.1", "PASS secret@pp", "TYPE I", "SYST"}},
        ProxySchemeCase{"UserPassWithoutProxyPassword",
                        TIdFtpProxyType::fpcmUserPass,
                        "pu",
                        "",
                        {"USER pravik@pu@127.0.0.1", "PASS secret", "TYPE I", "SYST"}},
        ProxySchemeCase{"Transparent",
                        TIdFtpProxyType::fpcmTransparent,
                        "pu",
                        "pp",
                        {"USER pu", "PASS pp", "USER pravik", "PASS secret", "TYPE I", "SYST"}}),
    [](const ::testing::TestParamInfo<ProxySchemeCase>& info) { return std::string(info.param.Name); });

TEST_F(FtpSessionTest, ProxyHostTakesTheConnectionAndTheServerNameOnlyTheLogin) {
  Server.Send("220 proxy ready\r\n");
  for (const char* command : {"USER pravik@ftp.pravik.test", "PASS secret", "TYPE I", "SYST"})
    Server.WaitForLines().Send(ReplyTo(command));
  // The server's name is never looked up: the connection goes to the proxy.
  Ftp.Host = "ftp.pravik.test";
  Ftp.Port = 2121;
  Ftp.ProxySettings().ProxyType = TIdFtpProxyType::fpcmUserSite;
  Ftp.ProxySettings().Host = "127.0.0.1";
  Ftp.ProxySettings().Port = Server.Port();
  Connect();
  EXPECT_THAT(Server.ReceivedLines(), ElementsAre("USER pravik@ftp.pravik.test", "PASS secret", "TYPE I", "SYST"));
  EXPECT_EQ(Ftp.Host, "ftp.pravik.test");
  EXPECT_EQ(Ftp.Port, 2121);
}

TEST_F(FtpSessionTest, HostAndPortComeBackAfterAFailedProxyConnect) {
  // Bound but not listening: a connect to it is refused.
  TIdSocketHandle closed;
  closed.OpenSocket(Id_SOCK_STREAM, 0);
  closed.IP = "127.0.0.1";
  closed.BindLocal();
  Ftp.Host = "ftp.pravik.test";
  Ftp.Port = 2121;
  Ftp.ProxySettings().ProxyType = TIdFtpProxyType::fpcmSite;
  Ftp.ProxySettings().Host = "127.0.0.1";
  Ftp.ProxySettings().Port = closed.Port;
  EXPECT_EQ(MessageOf<EIdSocketError>([&] { Ftp.ConnectToServer(true, TimeLimitDefault); }),
            "Socket Error # 10061\r\nConnection refused.");
  EXPECT_EQ(Ftp.Host, "ftp.pravik.test");
  EXPECT_EQ(Ftp.Port, 2121);
  EXPECT_FALSE(Ftp.IsConnected());
}

TEST_F(FtpSessionTest, HttpProxySchemeIsRefusedAfterTheGreeting) {
  Server.Send("220 ready\r\n");
  Ftp.ProxySettings().ProxyType = TIdFtpProxyType::fpcmHttpProxyWithFtp;
  Server.Start();
  EXPECT_EQ(MessageOf<EIdException>([&] { Ftp.ConnectToServer(true, TimeLimitDefault); }),
            "Command not supported.");
  EXPECT_FALSE(Ftp.IsConnected());
  EXPECT_TRUE(Server.ReceivedLines().empty());
}

TEST_F(FtpSessionTest, TransferTypeIsSentOnlyWhenItChangesOnAConnectedClient) {
  Ftp.SetTransferType(TIdFTPTransferType::ftASCII);  // stored, nothing to send yet
  ScriptLogin(Server).WaitForLines().Send("200 binary\r\n");
  Connect();
  Ftp.SetTransferType(TIdFTPTransferType::ftBinary);
  Ftp.SetTransferType(TIdFTPTransferType::ftBinary);
  EXPECT_THAT(CommandsAfterLogin(), ElementsAre("TYPE I"));
  EXPECT_EQ(Server.ReceivedLines()[2], "TYPE A");
  EXPECT_EQ(Ftp.TransferType(), TIdFTPTransferType::ftBinary);
}

TEST_F(FtpSessionTest, DirectoryErrorLeavesTheSessionOpenAndRawCommandsTakeAnyCode) {
  ScriptLogin(Server)
      .WaitForLines()
      .Send("550 /nowhere: No such file or directory\r\n")
      .WaitForLines()
      .Send("502 NOOP not implemented\r\n");
  Connect();
  try {
    Ftp.ChangeDirectory("/nowhere");
    FAIL() << "changed directory";
  } catch (const EIdProtocolReplyError& error) {
    EXPECT_EQ(error.ReplyCode, 550);
    EXPECT_STREQ(error.what(), "/nowhere: No such file or directory\r\n");
  }
  EXPECT_TRUE(Ftp.IsConnected());
  EXPECT_EQ(Ftp.SendRawCommand("NOOP"), 502);
  EXPECT_THAT(CommandsAfterLogin(), ElementsAre("CWD /nowhere", "NOOP"));
}

TEST_F(FtpSessionTest, ConnectingTwiceFailsAndClosesTheSession) {
  ScriptLogin(Server);
  Connect();
  EXPECT_EQ(MessageOf<EIdAlreadyConnected>([&] { Ftp.ConnectToServer(true, TimeLimitDefault); }),
            "Already connected.");
  EXPECT_FALSE(Ftp.IsConnected());
}

TEST_F(FtpSessionTest, SilentServerEndsTheLoginWithReadTimeout) {
  Server.Send("220 ready\r\n").WaitForLines().Pause(1000);
  Ftp.ReadTimeout = 300;
  Server.Start();
  EXPECT_EQ(MessageOf<EIdReadTimeout>([&] { Ftp.ConnectToServer(true, TimeLimitDefault); }), "Read Timeout");
  EXPECT_FALSE(Ftp.IsConnected());
}

TEST_F(FtpSessionTest, CommandsWithoutConnectionFailNotConnected) {
  EXPECT_EQ(MessageOf<EIdNotConnected>([&] { Ftp.ChangeDirectory("/"); }), "Not Connected");
}

class OtherSettings : public TIdPersistent {
 public:
  std::string ClassName() const override { return "TIdOtherSettings"; }
};

TEST(FtpProxySettingsTest, CopiesItsOwnClassOnly) {
  TIdFtpProxySettings source;
  source.ProxyType = TIdFtpProxyType::fpcmOpen;
  source.Host = "proxy";
  source.UserName = "pu";
  source.Password = "pp";
  source.Port = 2121;
  TIdFTP ftp;
  ftp.SetProxySettings(&source);
  const TIdFtpProxySettings& copy = ftp.ProxySettings();
  EXPECT_EQ(copy.ProxyType, TIdFtpProxyType::fpcmOpen);
  EXPECT_EQ(copy.Host, "proxy");
  EXPECT_EQ(copy.UserName, "pu");
  EXPECT_EQ(copy.Password, "pp");
  EXPECT_EQ(copy.Port, 2121);

  OtherSettings other;
  EXPECT_EQ(MessageOf<EConvertError>([&] { ftp.SetProxySettings(&other); }),
            "Cannot assign a TIdOtherSettings to a TIdFtpProxySettings");
  EXPECT_EQ(MessageOf<EConvertError>([&] { ftp.SetProxySettings(nullptr); }),
            "Cannot assign a nil to a TIdFtpProxySettings");
  EXPECT_EQ(ftp.ProxySettings().Host, "proxy");
}

}  // namespace
}  // namespace pravik::test
