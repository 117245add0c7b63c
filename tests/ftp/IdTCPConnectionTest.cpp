#include "ftp/IdTCPConnection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ftp/IdConnectionErrors.h"
#include "ftp/IdStream.h"
#include "net/IdException.h"
#include "net/IdIOHandlerSocket.h"
#include "net/IdSocketHandle.h"
#include "net/IdStack.h"
#include "tests/ftp/ConnectionFixture.h"
#include "tests/support/ForwardingStack.h"

namespace pravik {
namespace {

using test::ConnectionFixture;

class ReadLineTest : public ConnectionFixture {};

TEST_F(ReadLineTest, LinesEndAtLineFeedsWhereverThePiecesBreak) {
  Peer.Send("220 Ser").Send("vice ready\r").Send("\n230 a\nx\r\r\n").Send("last\r\n");
  Connect();
  EXPECT_EQ(Client.ReadTextLine(), "220 Service ready");
  EXPECT_EQ(Client.ReadTextLine(), "230 a");
  EXPECT_EQ(Client.ReadTextLine(), "x\r");  // CR CR LF keeps one CR
  EXPECT_EQ(Client.ReadTextLine(), "last");
}

struct LimitCase {
  const char* Name;
  std::size_t TextBytes;
  const char* Terminator;
  bool Accepted;
};

class LineLimitTest : public ConnectionFixture, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(LineLimitTest, TheLimitCountsTheBytesBeforeTheLineFeed) {
  const LimitCase& c = GetParam();
  const std::string line = std::string(c.TextBytes, 'x') + c.Terminator;
  Peer.Send(line);
  Connect();
  if (c.Accepted) {
    EXPECT_EQ(Client.ReadTextLine(), std::string(c.TextBytes, 'x'));
  } else {
    // Wait until the whole line is queued, so the check sees all of it at once.
    while (Client.InputQueue.Size() < static_cast<std::int64_t>(line.size())) Client.FillInputQueue();
    try {
      Client.ReadTextLine();
      ADD_FAILURE() << "accepted";
    } catch (const EIdReadLnMaxLineLengthExceeded& e) {
      EXPECT_EQ(e.Message(), "Max line length exceeded.");
    }
    EXPECT_EQ(Client.InputQueue.Size(), static_cast<std::int64_t>(line.size()));  // nothing taken
  }
}

INSTANTIATE_TEST_SUITE_P(Boundaries, LineLimitTest,
                         ::testing::Values(LimitCase{"LF16384", 16384, "\n", true},
                                           LimitCase{"LF16385", 16385, "\n", false},
                                           LimitCase{"CRLF16383", 16383, "\r\n", true},
                                           LimitCase{"CRLF16384", 16384, "\r\n", false}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ReadLineTest, MoreQueuedBytesThanTheLimitWithoutLineFeedRaiseAtOnce) {
  Peer.Send(std::string(16385, 'y'));  // and then nothing: a wait would never end
  Connect();
  while (Client.InputQueue.Size() < 16385) Client.FillInputQueue();
  EXPECT_THROW(Client.ReadTextLine(), EIdReadLnMaxLineLengthExceeded);
}

TEST_F(ReadLineTest, QueuedBytesUpToTheLimitWaitForTheLineFeed) {
  Peer.Send(std::string(16384, 'z')).Pause(100).Send("\n");
  Connect();
  while (Client.InputQueue.Size() < 16384) Client.FillInputQueue();
  EXPECT_EQ(Client.ReadTextLine(), std::string(16384, 'z'));
}

TEST_F(ReadLineTest, SplitModeCutsLongLinesAtTheLimit) {
  Peer.Send(std::string(25, 'a') + "\r\nok\r\n");
  Connect();
  Client.MaxLineAction = TIdMaxLineAction::maSplit;
  Client.MaxLineLength = 10;
  while (Client.InputQueue.Size() < 31) Client.FillInputQueue();
  EXPECT_EQ(Client.ReadTextLine(), std::string(10, 'a'));
  EXPECT_TRUE(Client.LineWasSplit);
  EXPECT_EQ(Client.ReadTextLine(), std::string(10, 'a'));
  EXPECT_EQ(Client.ReadTextLine(), std::string(5, 'a'));
  EXPECT_FALSE(Client.LineWasSplit);
  EXPECT_EQ(Client.ReadTextLine(), "ok");
}

TEST_F(ReadLineTest, APeerClosingAfterAPartialLineLeavesItQueued) {
  RecordStatus();
  Peer.Send("220 partial").Close();
  Connect();
  Events.clear();
  try {
    Client.ReadTextLine();
    ADD_FAILURE() << "read a line that never ended";
  } catch (const EIdConnClosedGracefully& e) {
    EXPECT_EQ(e.Message(), "Connection Closed Gracefully.");
  }
  EXPECT_EQ(Client.InputQueue.Bytes(), "220 partial");
  EXPECT_FALSE(Client.IsConnected());
  EXPECT_EQ(Events, (std::vector<std::string>{"statusDisconnected Disconnected.", "OnDisconnected"}));
}

TEST_F(ReadLineTest, NonBlankLineSkipsBlankLinesAndTrims) {
  Peer.Send("   \r\n\t\r\n\r\r\n \t 230 ok  \r\n");
  Connect();
  EXPECT_EQ(Client.ReadNonBlankLine(), "230 ok");
}

TEST_F(ReadLineTest, AReadTimeoutRaisesAndLeavesTheQueue) {
  Peer.Send("22");
  Connect();
  Client.ReadTimeout = 200;
  try {
    Client.ReadTextLine();
    ADD_FAILURE() << "no timeout";
  } catch (const EIdReadTimeout& e) {
    EXPECT_EQ(e.Message(), "Read Timeout");
  }
  EXPECT_EQ(Client.InputQueue.Bytes(), "22");
}

// ReadUntilClosed

class ReadUntilClosedTest : public ConnectionFixture {
 protected:
  std::vector<std::string> Work;
  void RecordWork() {
    Client.OnWorkBegin = [this](TIdComponent*, TWorkMode, std::int32_t max) {
      Work.push_back("begin " + std::to_string(max));
    };
    Client.OnWork = [this](TIdComponent*, TWorkMode, std::int32_t count) {
      Work.push_back(std::to_string(count));
    };
    Client.OnWorkEnd = [this](TIdComponent*, TWorkMode) { Work.push_back("end"); };
  }
};

TEST_F(ReadUntilClosedTest, QueuedBytesGoFirstAndTheStreamIsCutAtItsPosition) {
  const std::string data(40000, 'd');
  // The data waits for the client's line, so "head" alone is queued when the copy starts.
  Peer.Send("150 go\r\nhead").WaitForLines().Send(data).Close();
  Connect();
  EXPECT_EQ(Client.ReadTextLine(), "150 go");
  Client.WriteTextLine("NOOP");
  TIdSimpleBuffer stream;
  stream.Write("0123456789", 10);
  stream.Seek(2);
  std::string old(100000, 'o');
  stream.Write(old.data(), static_cast<std::int32_t>(old.size()));  // longer than what comes
  stream.Seek(2);
  RecordWork();
  Client.ReadUntilClosed(stream);
  EXPECT_EQ(stream.Bytes(), "01head" + data);
  ASSERT_GE(Work.size(), 5u);
  EXPECT_EQ(Work.front(), "begin 0");
  EXPECT_EQ(Work[1], "4");      // the queued bytes
  EXPECT_EQ(Work[2], "32772");  // then one whole chunk
  EXPECT_EQ(Work.back(), "end");
  // Each receive is written as it comes and reported with it, the last one before the
  // close too: the running totals rise to every byte written.
  std::vector<long long> totals;
  for (std::size_t i = 1; i + 1 < Work.size(); ++i) totals.push_back(std::stoll(Work[i]));
  EXPECT_TRUE(std::is_sorted(totals.begin(), totals.end(), std::less_equal<>())) << ::testing::PrintToString(Work);
  EXPECT_EQ(totals.back(), 4 + static_cast<long long>(data.size()));
}

TEST_F(ReadUntilClosedTest, AnEmptyPeerLeavesTheStreamEmptyAndReportsTheCloseOnce) {
  RecordStatus();
  Peer.Close();
  Connect();
  Events.clear();
  TIdSimpleBuffer stream;
  Client.ReadUntilClosed(stream);
  EXPECT_EQ(stream.Size(), 0);
  EXPECT_EQ(Events, (std::vector<std::string>{"statusDisconnected Disconnected.", "OnDisconnected"}));
}

TEST_F(ReadUntilClosedTest, AResetKeepsTheBytesSoFarThenRaises) {
  const std::string data(50000, 'r');
  Peer.Send(data).Pause(300).Reset();
  Connect();
  TIdSimpleBuffer stream;
  RecordWork();
  try {
    Client.ReadUntilClosed(stream);
    ADD_FAILURE() << "a reset ended the data normally";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.SocketErrorCode, 10054);
  }
  EXPECT_EQ(stream.Bytes(), data);
  EXPECT_EQ(Work.back(), "end");
}

TEST_F(ReadUntilClosedTest, ReadsAFileInChunksIntoAFile) {
  std::string data;
  for (int i = 0; i < 300000; ++i) data += static_cast<char>('A' + i % 26);
  Peer.Send(data).Close();
  Connect();
  const std::string path = ::testing::TempDir() + "pravik-read-until-closed.bin";
  {
    TIdFileStream file(path, TIdFileStream::TOpenMode::fmCreate);
    Client.ReadUntilClosed(file);
    EXPECT_EQ(file.Size(), static_cast<std::int64_t>(data.size()));
  }
  TIdFileStream file(path, TIdFileStream::TOpenMode::fmOpenRead);
  std::string back(data.size(), '\0');
  EXPECT_EQ(file.Read(back.data(), static_cast<std::int32_t>(back.size())), static_cast<std::int32_t>(data.size()));
  EXPECT_EQ(back, data);
}

// A stream that keeps no bytes: only its size and position move.
class CountingStream : public TIdStream {
 public:
  std::int64_t Size() override { return FSize; }
  std::int64_t Position() override { return FPosition; }
  void Seek(std::int64_t position) override { FPosition = position; }
  void Write(const void*, std::int32_t count) override {
    FPosition += count;
    if (FPosition > FSize) FSize = FPosition;
  }
  std::int32_t Read(void*, std::int32_t) override { return 0; }
  void Truncate() override { FSize = FPosition; }

 private:
  std::int64_t FSize = 0;
  std::int64_t FPosition = 0;
};

TEST_F(ReadUntilClosedTest, StopsAfterTheLargestSignedSizeWhileThePeerGoesOn) {
  Peer.SendUntilClosed(std::string(65536, 's'));
  Connect();
  CountingStream stream;
  Client.ReadUntilClosed(stream);
  EXPECT_EQ(stream.Size(), 2147483647);
  EXPECT_TRUE(Client.IsConnected());
  Client.CloseConnection();
}

// Writing

class WriteTest : public ConnectionFixture {};

// Counts the sends of one socket; the scripted peer shares the stack.
class SendCountingStack : public test::ForwardingStack {
 public:
  static inline TIdStackSocketHandle Watched = Id_INVALID_SOCKET;
  static inline int Sends = 0;
  int SockSend(TIdStackSocketHandle s, const void* b, int n, int f) override {
    if (s == Watched) ++Sends;
    return ForwardingStack::SockSend(s, b, n, f);
  }
};

TEST(WriteLineTest, ALineAndItsTerminatorGoOutInOneSend) {
  test::ScopedStackClass guard([]() -> std::unique_ptr<TIdStack> { return std::make_unique<SendCountingStack>(); });
  test::ScriptedPeer peer;
  TIdTCPClient client;
  peer.WaitForLines(2);
  peer.Start();
  client.Host = "127.0.0.1";
  client.Port = peer.Port();
  client.ConnectToHost();
  SendCountingStack::Watched = dynamic_cast<TIdIOHandlerSocket&>(*client.IOHandler()).SocketBinding()->SysSocket;
  SendCountingStack::Sends = 0;
  client.WriteTextLine("USER pravik");
  client.WriteTextLine("");
  EXPECT_EQ(SendCountingStack::Sends, 2);
  peer.WaitUntilDone();
  EXPECT_EQ(peer.Received(), "USER pravik\r\n\r\n");
}

TEST_F(WriteTest, AWriteAfterThePeersCloseRaisesEvenWithBytesQueued) {
  Peer.Send("221 bye\r\nextra").Close();
  Connect();
  EXPECT_EQ(Client.ReadTextLine(), "221 bye");
  EXPECT_THROW(Client.ReadTextLine(), EIdConnClosedGracefully);  // sees the close
  EXPECT_EQ(Client.InputQueue.Bytes(), "extra");
  EXPECT_THROW(Client.WriteTextLine("QUIT"), EIdConnClosedGracefully);
}

TEST_F(WriteTest, ASendIntoAResetConnectionClosesTheTransport) {
  Peer.WaitForLines().Reset();  // after the connect is complete on both ends
  Connect();
  Client.WriteTextLine("NOOP");
  Peer.WaitUntilDone();
  try {
    for (int i = 0; i < 1000; ++i) Client.WriteText(std::string(65536, 'w'));
    ADD_FAILURE() << "sent into a reset connection";
  } catch (const EIdSocketError& e) {
    EXPECT_TRUE(e.SocketErrorCode == 10053 || e.SocketErrorCode == 10054 || e.SocketErrorCode == 10058)
        << e.SocketErrorCode;
  } catch (const EIdConnClosedGracefully&) {
  }
  EXPECT_FALSE(Client.IsConnected());
}

TEST(UnconnectedTest, ReadsAndWritesWithoutTransportSayNotConnected) {
  TIdTCPConnection connection;
  try {
    connection.ReadTextLine();
    ADD_FAILURE() << "read without a transport";
  } catch (const EIdNotConnected& e) {
    EXPECT_EQ(e.Message(), "Not Connected");
  }
  EXPECT_THROW(connection.WriteTextLine("NOOP"), EIdNotConnected);
  char byte;
  EXPECT_THROW(connection.ReadExact(&byte, 1), EIdNotConnected);
  EXPECT_FALSE(connection.IsConnected());
}

TEST(TransportOwnershipTest, ATransportDestroyedElsewhereIsForgotten) {
  TIdTCPConnection connection;
  auto transport = std::make_unique<TIdIOHandlerSocket>();
  connection.SetIOHandler(transport.get());
  EXPECT_EQ(connection.IOHandler(), transport.get());
  transport.reset();
  EXPECT_EQ(connection.IOHandler(), nullptr);
  EXPECT_THROW(connection.WriteText("x"), EIdNotConnected);
}

}  // namespace
}  // namespace pravik
