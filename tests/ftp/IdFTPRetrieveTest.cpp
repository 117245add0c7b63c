// Retrieval against a scripted server: the exchange of an active-mode download, the rules
// for an existing local file, resume, the final replies, aborting, the data connection's
// origin and silence, and passive mode. A failed download never touches the old file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "ftp/IdConnectionErrors.h"
#include "ftp/IdFTP.h"
#include "ftp/IdFTPErrors.h"
#include "ftp/IdRFCReply.h"
#include "ftp/IdStream.h"
#include "tests/ftp/FtpFixture.h"
#include "tests/support/ErrorMessage.h"
#include "tests/support/NetTestSupport.h"
#include "tests/support/TestPlatform.h"

namespace pravik::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::StartsWith;

constexpr char kOldProgram[] = "MZ old notifier";
constexpr char kNewProgram[] = "MZ new notifier, the whole of it";

class FtpRetrieveTest : public FtpFixture {
 protected:
  FtpRetrieveTest() {
    Target = PathOf("PravikNW.exe");
    WriteFile(Target, kOldProgram);
  }
  // The server's side up to the data: PORT accepted, RETR answered `retrReply`.
  ScriptedPeer& ScriptUntilData(const char* retrReply = "150 Opening BINARY mode data connection\r\n") {
    return ScriptLogin(Server).WaitForLines().Send("200 PORT command successful\r\n").WaitForLines().Send(retrReply);
  }
  void Retrieve() { Ftp.RetrieveFile("PravikNW.exe", Target, true, false); }
  // The old program is still there, and nothing else is.
  void ExpectOldProgramUntouched() {
    EXPECT_EQ(ReadFile(Target), kOldProgram);
    EXPECT_THAT(FilesInFolder(), ElementsAre("PravikNW.exe"));
  }

  std::string Target;
};

TEST_F(FtpRetrieveTest, ActiveDownloadReplacesTheProgramFile) {
  ScriptUntilData();
  DeliverToAnnouncedPort(Server, kNewProgram);
  Server.Send("226 Transfer complete\r\n");
  RecordStatus();
  int afterGet = 0;
  Ftp.OnAfterGet = [&](TIdComponent*, TIdStream&) { ++afterGet; };
  // A change of type while the data flows is dropped.
  Ftp.OnWorkBegin = [&](TIdComponent*, TWorkMode, std::int64_t) { Ftp.SetTransferType(TIdFTPTransferType::ftASCII); };
  Connect();
  Events.clear();
  Retrieve();

  const std::vector<std::string> commands = CommandsAfterLogin();
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_THAT(commands[0], StartsWith("PORT 127,0,0,1,"));
  EXPECT_EQ(commands[1], "RETR PravikNW.exe");
  EXPECT_THAT(Events, ElementsAre("statusFtpTransfer Starting FTP transfer", "statusFtpReady Transfer complete"));
  EXPECT_EQ(afterGet, 1);
  EXPECT_FALSE(Ftp.TransferAborted());
  EXPECT_EQ(Ftp.TransferType(), TIdFTPTransferType::ftBinary);
  EXPECT_EQ(Ftp.DataConnection, nullptr);
  EXPECT_EQ(ReadFile(Target), kNewProgram);
  EXPECT_THAT(FilesInFolder(), ElementsAre("PravikNW.exe"));
}

TEST_F(FtpRetrieveTest, FixedDataPortIsAnnouncedAsSixNumbers) {
  const int port = FindFreePorts(1);
  ScriptUntilData();
  DeliverToAnnouncedPort(Server, kNewProgram);
  Server.Send("226 Transfer complete\r\n");
  Ftp.DataPort = port;
  Connect();
  Retrieve();
  EXPECT_EQ(CommandsAfterLogin()[0],
            "PORT 127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256));
}

TEST_F(FtpRetrieveTest, EmptyFileAndBlockBoundariesArriveWhole) {
  for (const std::size_t size : {std::size_t{0}, std::size_t{32767}, std::size_t{32768}, std::size_t{32769}}) {
    SCOPED_TRACE(size);
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 7 + i / 251);
    ScriptedPeer server;
    ScriptLogin(server).WaitForLines().Send("200 PORT ok\r\n").WaitForLines().Send("150 Here it comes\r\n");
    DeliverToAnnouncedPort(server, data);
    server.Send("226 Transfer complete\r\n");
    TIdFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = server.Port();
    ftp.ReadTimeout = 5000;
    server.Start();
    ftp.ConnectToServer(true, TimeLimitDefault);
    TIdSimpleBuffer received;
    ftp.RetrieveToStream("PravikNW.exe", received, false);
    EXPECT_EQ(received.Bytes(), data);
  }
}

enum class Outcome { Refused, Replaced, Appended };

struct ExistingFileCase {
  bool MayOverwrite;
  bool Resume;
  bool ServerRestarts;
  Outcome Result;
  friend void PrintTo(const ExistingFileCase& c, std::ostream* os) {
    *os << "overwrite=" << c.MayOverwrite << " resume=" << c.Resume << " restarts=" << c.ServerRestarts;
  }
};

class FtpExistingFileTest : public FtpRetrieveTest, public ::testing::WithParamInterface<ExistingFileCase> {};

TEST_P(FtpExistingFileTest, DecidesBetweenRefusingReplacingAndAppending) {
  const ExistingFileCase& c = GetParam();
  std::vector<std::string> expected;
  ScriptLogin(Server);
  if (c.Resume) {
    // The answer to the second probe command does not count, even an error.
    Server.WaitForLines()
        .Send(c.ServerRestarts ? "350 Restarting at 1\r\n" : "502 REST not implemented\r\n")
        .WaitForLines()
        .Send(c.ServerRestarts ? "350 Restarting at 0\r\n" : "502 REST not implemented\r\n");
    expected = {"REST 1", "REST 0"};
  }
  const std::string oldSize = std::to_string(sizeof kOldProgram - 1);
  if (c.Result != Outcome::Refused) {
    Server.WaitForLines().Send("200 PORT ok\r\n");
    expected.push_back("PORT");
    if (c.Result == Outcome::Appended) {
      Server.WaitForLines().Send("350 Restarting at " + oldSize + "\r\n");
      expected.push_back("REST " + oldSize);
    }
    Server.WaitForLines().Send("150 Opening data connection\r\n");
    expected.push_back("RETR PravikNW.exe");
    DeliverToAnnouncedPort(Server, c.Result == Outcome::Appended ? ", the rest" : kNewProgram);
    Server.Send("226 Transfer complete\r\n");
  }
  Connect();

  if (c.Result == Outcome::Refused) {
    EXPECT_EQ(MessageOf<EIdFTPFileAlreadyExists>(
                  [&] { Ftp.RetrieveFile("PravikNW.exe", Target, c.MayOverwrite, c.Resume); }),
              "Destination file already exists.");
  } else {
    Ftp.RetrieveFile("PravikNW.exe", Target, c.MayOverwrite, c.Resume);
  }
  std::vector<std::string> commands = CommandsAfterLogin();
  for (std::string& command : commands) {
    if (command.rfind("PORT ", 0) == 0) command = "PORT";
  }
  EXPECT_THAT(commands, ElementsAreArray(expected));
  const std::string expectedFile = c.Result == Outcome::Replaced   ? kNewProgram
                                   : c.Result == Outcome::Appended ? std::string(kOldProgram) + ", the rest"
                                                                   : kOldProgram;
  EXPECT_EQ(ReadFile(Target), expectedFile);
  EXPECT_THAT(FilesInFolder(), ElementsAre("PravikNW.exe"));
}

INSTANTIATE_TEST_SUITE_P(Table, FtpExistingFileTest,
                         ::testing::Values(ExistingFileCase{false, false, false, Outcome::Refused},
                                           ExistingFileCase{true, false, false, Outcome::Replaced},
                                           ExistingFileCase{false, true, true, Outcome::Appended},
                                           ExistingFileCase{false, true, false, Outcome::Refused},
                                           ExistingFileCase{true, true, true, Outcome::Refused},
                                           ExistingFileCase{true, true, false, Outcome::Replaced}));

TEST_F(FtpRetrieveTest, ResumeIntoANewFileProbesAndRestartsAtZero) {
  ScriptLogin(Server)
      .WaitForLines()
      .Send("350 Restarting at 1\r\n")
      .WaitForLines()
      .Send("350 Restarting at 0\r\n")
      .WaitForLines()
      .Send("200 PORT ok\r\n")
      .WaitForLines()
      .Send("350 Restarting at 0\r\n")
      .WaitForLines()
      .Send("150 Opening data connection\r\n");
  DeliverToAnnouncedPort(Server, kNewProgram);
  Server.Send("226 Transfer complete\r\n");
  Connect();
  const std::string fresh = PathOf("fresh.exe");
  Ftp.RetrieveFile("PravikNW.exe", fresh, false, true);
  const std::vector<std::string> commands = CommandsAfterLogin();
  ASSERT_EQ(commands.size(), 5u);
  EXPECT_EQ(commands[0], "REST 1");
  EXPECT_EQ(commands[1], "REST 0");
  EXPECT_EQ(commands[3], "REST 0");
  EXPECT_EQ(commands[4], "RETR PravikNW.exe");
  EXPECT_EQ(ReadFile(fresh), kNewProgram);
}

TEST_F(FtpRetrieveTest, ResumeProbeIsAskedOnceForTheLifeOfTheClient) {
  ScriptLogin(Server).WaitForLines().Send("350 Restarting at 1\r\n").WaitForLines().Send("350 Restarting at 0\r\n");
  Connect();
  EXPECT_TRUE(Ftp.ProbeResume());
  Ftp.CloseConnection();

  ScriptedPeer second;
  ScriptLogin(second);
  Ftp.Port = second.Port();
  second.Start();
  Ftp.ConnectToServer(true, TimeLimitDefault);
  EXPECT_TRUE(Ftp.ProbeResume());
  Ftp.CloseConnection();
  second.WaitUntilDone();
  EXPECT_EQ(second.ReceivedLines().size(), static_cast<std::size_t>(kLoginLines));
}

TEST_F(FtpRetrieveTest, OwnAbortReadsBothRepliesAndKeepsTheOldFile) {
  ScriptUntilData();
  FloodAnnouncedPort(Server);
  Server.WaitForLines().Send("426 Connection closed; transfer aborted.\r\n").Send("226 Abort successful\r\n");
  RecordStatus();
  Connect();
  bool aborted = false;
  Ftp.OnWork = [&](TIdComponent*, TWorkMode, std::int64_t) {
    if (!aborted) Ftp.AbortTransfer();
    aborted = true;
  };
  Events.clear();
  Retrieve();
  EXPECT_EQ(CommandsAfterLogin().back(), "ABOR");
  EXPECT_THAT(Events, ElementsAre("statusFtpTransfer Starting FTP transfer", "statusFtpReady Transfer complete",
                                  "statusFtpAborted Transfer aborted"));
  EXPECT_TRUE(Ftp.TransferAborted());
  ExpectOldProgramUntouched();
  EXPECT_TRUE(Ftp.IsConnected());
}

// The server had sent everything before our ABOR reached it and answers 226 alone: what
// arrived before the abort is still not the file.
TEST_F(FtpRetrieveTest, OwnAbortAnsweredByAPlainCompletionKeepsTheOldFile) {
  ScriptUntilData();
  FloodAnnouncedPort(Server);
  Server.WaitForLines().Send("226 Transfer complete\r\n");
  Connect();
  bool aborted = false;
  Ftp.OnWork = [&](TIdComponent*, TWorkMode, std::int64_t) {
    if (!aborted) Ftp.AbortTransfer();
    aborted = true;
  };
  Retrieve();
  EXPECT_EQ(CommandsAfterLogin().back(), "ABOR");
  EXPECT_TRUE(Ftp.TransferAborted());
  ExpectOldProgramUntouched();
}

TEST_F(FtpRetrieveTest, OwnAbortLeavesWhatArrivedInAStream) {
  ScriptUntilData();
  FloodAnnouncedPort(Server);
  Server.WaitForLines().Send("426 Transfer aborted\r\n").Send("225 Data connection open; no transfer in progress\r\n");
  Connect();
  bool aborted = false;
  Ftp.OnWork = [&](TIdComponent*, TWorkMode, std::int64_t) {
    if (!aborted) Ftp.AbortTransfer();
    aborted = true;
  };
  TIdSimpleBuffer received;
  Ftp.RetrieveToStream("PravikNW.exe", received, false);
  EXPECT_GT(received.Size(), 0);
  EXPECT_EQ(received.Bytes().find_first_not_of('F'), std::string::npos);
}

class FtpServerEndedTransferTest : public FtpRetrieveTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(FtpServerEndedTransferTest, FailsAtOnceWithoutWaitingForASecondReply) {
  ScriptUntilData();
  DeliverToAnnouncedPort(Server, "MZ half of");
  Server.Send(GetParam());
  Connect();
  try {
    Retrieve();
    FAIL() << "the transfer counted as done";
  } catch (const EIdProtocolReplyError& error) {
    EXPECT_EQ(std::to_string(error.ReplyCode), std::string(GetParam()).substr(0, 3));
    EXPECT_EQ(std::string(error.what()), std::string(GetParam()).substr(4));
  }
  ExpectOldProgramUntouched();
}

INSTANTIATE_TEST_SUITE_P(Replies, FtpServerEndedTransferTest,
                         ::testing::Values("426 Connection closed; transfer aborted.\r\n",
                                           "450 Requested file action not taken.\r\n"));

TEST_F(FtpRetrieveTest, RefusedFileIsAnErrorAfterTransferComplete) {
  ScriptUntilData("550 PravikNW.exe: No such file or directory\r\n");
  RecordStatus();
  Connect();
  Events.clear();
  try {
    Retrieve();
    FAIL() << "retrieved";
  } catch (const EIdProtocolReplyError& error) {
    EXPECT_EQ(error.ReplyCode, 550);
    EXPECT_STREQ(error.what(), "PravikNW.exe: No such file or directory\r\n");
  }
  EXPECT_THAT(Events, ElementsAre("statusFtpTransfer Starting FTP transfer", "statusFtpReady Transfer complete"));
  EXPECT_EQ(Ftp.DataConnection, nullptr);
  ExpectOldProgramUntouched();
  EXPECT_TRUE(Ftp.IsConnected());
}

TEST_F(FtpRetrieveTest, DataConnectionFromAnotherHostIsRefused) {
  ScriptUntilData();
  DeliverToAnnouncedPort(Server, "MZ forged program", "127.0.0.2");
  DeliverToAnnouncedPort(Server, kNewProgram);
  Server.Send("226 Transfer complete\r\n");
  Connect();
  Retrieve();
  EXPECT_EQ(ReadFile(Target), kNewProgram);
}

TEST_F(FtpRetrieveTest, ServerThatNeverConnectsBackIsGivenUp) {
  ScriptUntilData().Pause(2000);
  RecordStatus();
  Connect();
  Ftp.ReadTimeout = 300;
  Events.clear();
  EXPECT_EQ(MessageOf<EIdAcceptTimeout>([&] { Retrieve(); }), "Timed out waiting for the server's data connection.");
  EXPECT_EQ(Events.back(), "statusFtpReady Transfer complete");
  ExpectOldProgramUntouched();
}

// The server closes the control connection where the data connection should come: the
// wait ends with the close, not with the accept limit (a minute here) running out.
TEST_F(FtpRetrieveTest, ControlConnectionClosedWhileWaitingForDataEndsTheWait) {
  ScriptUntilData().Close();
  Connect();
  Ftp.ReadTimeout = 60000;
  EXPECT_EQ(MessageOf<EIdConnClosedGracefully>([&] { Retrieve(); }), "Connection Closed Gracefully.");
  ExpectOldProgramUntouched();
}

// A reply that arrives while the client waits for the data connection is kept for its turn.
TEST_F(FtpRetrieveTest, AReplyWhileWaitingForDataIsReadInItsTurn) {
  ScriptUntilData().Send("226 Transfer complete\r\n").Pause(300);
  DeliverToAnnouncedPort(Server, kNewProgram);
  Connect();
  Retrieve();
  EXPECT_EQ(ReadFile(Target), kNewProgram);
}

TEST_F(FtpRetrieveTest, DataConnectionThatFallsSilentIsGivenUp) {
  ScriptUntilData();
  ServeAnnouncedPort(Server, "127.0.0.1", [](TIdIOHandlerSocket& connection) {
    connection.SendBuf("MZ half", 7);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  });
  Connect();
  Ftp.ReadTimeout = 300;
  EXPECT_EQ(MessageOf<EIdReadTimeout>([&] { Retrieve(); }), "Read Timeout");
  ExpectOldProgramUntouched();
}

TEST_F(FtpRetrieveTest, DestinationThatCannotBeWrittenFailsBeforeAnyCommand) {
  ScriptLogin(Server);
  Connect();
  const std::string noFolder = PathOf("missing") + "/PravikNW.exe";
  EXPECT_EQ(MessageOf<EFCreateError>([&] { Ftp.RetrieveFile("PravikNW.exe", noFolder, true, false); }),
            "Cannot create file " + noFolder);
  const std::string folder = PathOf("PravikNW.d");
  std::filesystem::create_directory(folder);
  EXPECT_EQ(MessageOf<EFCreateError>([&] { Ftp.RetrieveFile("PravikNW.exe", folder, true, false); }),
            "Cannot create file " + folder);
  std::filesystem::remove(folder);
  if (OpenFilesAreLocked()) {
    // As a running program file is held by the system.
    TIdFileStream inUse(Target, TIdFileStream::TOpenMode::fmOpenReadWrite);
    EXPECT_EQ(MessageOf<EFCreateError>([&] { Retrieve(); }), "Cannot create file " + Target);
  }
  EXPECT_TRUE(CommandsAfterLogin().empty());
  ExpectOldProgramUntouched();
}

// A remote name from the code table must not smuggle in a second command.
TEST_F(FtpRetrieveTest, RemoteNameWithALineBreakIsRefusedBeforeAnyCommand) {
  ScriptLogin(Server);
  Connect();
  EXPECT_EQ(MessageOf<EIdCommandTextError>([&] { Ftp.RetrieveFile("PravikNW.exe\r\nDELE x", Target, true, false); }),
            "Command contains CR, LF or NUL.");
  EXPECT_TRUE(CommandsAfterLogin().empty());
  ExpectOldProgramUntouched();
}

// The size check: the server's word on the file's size, by SIZE or in its reply to RETR,
// against the bytes that came. A server that knows no SIZE leaves the size unknown.
struct SizeCase {
  const char* Name;
  const char* SizeReply;
  const char* RetrReply;
  std::string Delivered;
  const char* Refusal;  // the size error's message, or empty when the file is taken
  friend void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.Name; }
};

class FtpSizeCheckTest : public FtpRetrieveTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(FtpSizeCheckTest, ComparesTheBytesWithTheGivenSize) {
  const SizeCase& c = GetParam();
  ScriptLogin(Server)
      .WaitForLines()
      .Send(c.SizeReply)
      .WaitForLines()
      .Send("200 PORT command successful\r\n")
      .WaitForLines()
      .Send(c.RetrReply);
  DeliverToAnnouncedPort(Server, c.Delivered);
  Server.Send("226 Transfer complete\r\n");
  Ftp.VerifySize = true;
  Connect();
  if (*c.Refusal) {
    EXPECT_EQ(MessageOf<EIdFTPSizeMismatch>([&] { Retrieve(); }), c.Refusal);
    ExpectOldProgramUntouched();
  } else {
    Retrieve();
    EXPECT_EQ(ReadFile(Target), c.Delivered);
  }
  EXPECT_EQ(CommandsAfterLogin().front(), "SIZE PravikNW.exe");
}

const std::string kWhole = kNewProgram;
const std::string kHalf = kWhole.substr(0, kWhole.size() / 2);
const std::string kWholeSize = std::to_string(kWhole.size());

INSTANTIATE_TEST_SUITE_P(
    Sizes, FtpSizeCheckTest,
    ::testing::Values(
        SizeCase{"SizeMatches", "213 32\r\n", "150 Opening\r\n", kWhole, ""},
        SizeCase{"HalfThenCompletion", "213 32\r\n", "150 Opening\r\n", kHalf,
                 "Size check: the server gave 32 bytes, 16 arrived."},
        SizeCase{"MoreThanGiven", "213 20\r\n", "150 Opening\r\n", kWhole,
                 "Size check: the server gave 20 bytes, 32 arrived."},
        SizeCase{"SizeRefused", "500 Unknown command\r\n", "150 Opening\r\n", kHalf, ""},
        SizeCase{"SizeNotANumber", "213 $20\r\n", "150 Opening\r\n", kHalf, ""},
        SizeCase{"AnnouncedInTheReply", "550 Could not get file size.\r\n",
                 "150 Opening BINARY mode data connection for PravikNW.exe (32 bytes).\r\n", kHalf,
                 "Size check: the server gave 32 bytes, 16 arrived."},
        SizeCase{"SizeBeforeAnnounced", "213 16\r\n", "150 Opening data connection (32 bytes).\r\n", kHalf, ""},
        SizeCase{"EmptyFile", "213 0\r\n", "150 Opening\r\n", "", ""}),
    [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.Name); });

TEST(AnnouncedByteCountTest, ReadsTheNumberBeforeBytes) {
  EXPECT_EQ(AnnouncedByteCount("Opening BINARY mode data connection for PravikNW.exe (45056 bytes)."), 45056);
  EXPECT_EQ(AnnouncedByteCount("Opening data connection for a (1).exe (0 bytes)"), 0);
  EXPECT_EQ(AnnouncedByteCount("File status okay; about to open data connection."), -1);
  EXPECT_EQ(AnnouncedByteCount("Opening (0x10 bytes)"), -1);
  EXPECT_EQ(AnnouncedByteCount("Opening (-1 bytes)"), -1);
}

// A check of the caller's sees every byte in order and can refuse the whole.
class RecordingCheck : public TIdRetrievalCheck {
 public:
  void Consume(const void* bytes, std::int32_t count) override { Seen.append(static_cast<const char*>(bytes), count); }
  void Verify(const std::string& receivedPath, std::int64_t byteCount) override {
    {
      std::ifstream file(receivedPath, std::ios::binary);
      VerifiedContent.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    VerifiedCount = byteCount;
    if (Refuse) throw EIdException("refused by the check");
    if (TakeAway) std::filesystem::remove(receivedPath);
  }
  std::string Seen, VerifiedContent;
  std::int64_t VerifiedCount = -1;
  bool Refuse = false;
  // Removes the received file, so that putting it in place fails.
  bool TakeAway = false;
};

class FtpRetrievalCheckTest : public FtpRetrieveTest {
 protected:
  void RetrieveChecked() {
    ScriptUntilData();
    DeliverToAnnouncedPort(Server, kNewProgram);
    Server.Send("226 Transfer complete\r\n");
    Ftp.RetrievalCheck = &Check;
    Connect();
    Retrieve();
  }
  RecordingCheck Check;
};

TEST_F(FtpRetrievalCheckTest, SeesEveryByteAndTheWholeBeforeTheReplace) {
  RetrieveChecked();
  EXPECT_EQ(Check.Seen, kNewProgram);
  EXPECT_EQ(Check.VerifiedContent, kNewProgram);
  EXPECT_EQ(Check.VerifiedCount, static_cast<std::int64_t>(std::string(kNewProgram).size()));
  EXPECT_EQ(ReadFile(Target), kNewProgram);
}

TEST_F(FtpRetrievalCheckTest, ARefusalLeavesTheOldFile) {
  Check.Refuse = true;
  EXPECT_EQ(MessageOf<EIdException>([&] { RetrieveChecked(); }), "refused by the check");
  ExpectOldProgramUntouched();
}

// A replace that fails says why in the system's own number: 2 is "not found" on both systems.
TEST_F(FtpRetrievalCheckTest, AFailedReplaceCarriesTheSystemsErrorNumber) {
  Check.TakeAway = true;
  try {
    RetrieveChecked();
    FAIL() << "the replace did not fail";
  } catch (const EFCreateError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot create file " + Target);
    EXPECT_EQ(error.SystemErrorCode, 2);
  }
  ExpectOldProgramUntouched();
}

struct PassiveCase {
  const char* Name;
  std::string Reply;  // %d: where the data port's two numbers go
  friend void PrintTo(const PassiveCase& c, std::ostream* os) { *os << c.Name; }
};

std::string WithPort(std::string reply, int port) {
  return reply.replace(reply.find("%d"), 2, std::to_string(port / 256) + "," + std::to_string(port % 256));
}

class FtpPassiveTest : public FtpRetrieveTest, public ::testing::WithParamInterface<PassiveCase> {};

TEST_P(FtpPassiveTest, ConnectsToTheControlPeerAtTheAnnouncedPort) {
  ScriptedPeer data;
  data.Send(kNewProgram).Close();
  data.Start();
  ScriptLogin(Server)
      .WaitForLines()
      .Send(WithPort(GetParam().Reply, data.Port()))
      .WaitForLines()
      .Send("150 Opening data connection\r\n")
      .Pause(100)
      .Send("226 Transfer complete\r\n");
  Ftp.Passive = true;
  Connect();
  Retrieve();
  EXPECT_THAT(CommandsAfterLogin(), ElementsAre("PASV", "RETR PravikNW.exe"));
  EXPECT_EQ(ReadFile(Target), kNewProgram);
}

// The address in the reply is read but never used: a server cannot send the client to a
// third host, here one that does not exist.
INSTANTIATE_TEST_SUITE_P(
    Replies, FtpPassiveTest,
    ::testing::Values(PassiveCase{"Parenthesised", "227 Entering Passive Mode (192,0,2,1,%d)\r\n"},
                      PassiveCase{"AfterTheLastBlank", "227 Entering Passive Mode 192,0,2,1,%d\r\n"},
                      PassiveCase{"BlanksAround", "227 Entering Passive Mode ( 192,0,2,1,%d )  \r\n"}),
    [](const ::testing::TestParamInfo<PassiveCase>& info) { return std::string(info.param.Name); });

TEST_F(FtpRetrieveTest, PassiveReplyWithoutNumbersIsAConversionError) {
  ScriptLogin(Server).WaitForLines().Send("227 Entering Passive Mode (127,0,0,1,x9,2)\r\n");
  Ftp.Passive = true;
  Connect();
  EXPECT_EQ(MessageOf<EConvertError>([&] { Retrieve(); }), "'x9' is not a valid integer value");
  ExpectOldProgramUntouched();
}

// Found by fuzzing: 2147483647 * 256 overflowed, and numbers past a byte gave ports no
// connection can use. The largest port still goes through.
TEST(PassiveReplyTest, NumbersBeyondAPortAreAConversionError) {
  auto messageFor = [](const std::string& numbers) {
    std::string ip;
    std::int32_t port = 0;
    return MessageOf<EConvertError>(
        [&] { ParsePassiveReply("227 Entering Passive Mode (127,0,0,1," + numbers + ")", ip, port); });
  };
  EXPECT_EQ(messageFor("2147483647,2"), "'2147483647' is not a valid integer value");
  EXPECT_EQ(messageFor("256,0"), "'256' is not a valid integer value");
  EXPECT_EQ(messageFor("255, 256 "), "'256' is not a valid integer value");
  EXPECT_EQ(messageFor("-1,255"), "'-1' is not a valid integer value");
  EXPECT_EQ(messageFor("0,-1"), "'-1' is not a valid integer value");
  // Decimal digits only: no hexadecimal, no sign.
  EXPECT_EQ(messageFor("0x13,1"), "'0x13' is not a valid integer value");
  EXPECT_EQ(messageFor("$13,1"), "'$13' is not a valid integer value");
  EXPECT_EQ(messageFor("19,+137"), "'+137' is not a valid integer value");

  std::string ip;
  std::int32_t port = 0;
  ParsePassiveReply("227 Entering Passive Mode (127,0,0,1,255,255)", ip, port);
  EXPECT_EQ(ip, "127.0.0.1");
  EXPECT_EQ(port, 65535);
}

}  // namespace
}  // namespace pravik::test
