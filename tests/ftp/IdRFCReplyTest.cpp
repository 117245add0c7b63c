#include "ftp/IdRFCReply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ftp/ConnectionFixture.h"

namespace pravik {
namespace {

using Lines = std::vector<std::string>;

struct ParseCase {
  const char* Name;
  Lines Input;
  std::int32_t Code;
  std::string TextCode;
  Lines Text;
};

class ParseReplyTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseReplyTest, SplitsCodeAndText) {
  const ParseCase& c = GetParam();
  TIdRFCReply reply;
  reply.ParseReply(c.Input);
  EXPECT_EQ(reply.NumericCode, c.Code);
  EXPECT_EQ(reply.TextCode(), c.TextCode);
  EXPECT_EQ(reply.Text, c.Text);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ParseReplyTest,
    ::testing::Values(
        ParseCase{"SingleLine", {"230 User logged in"}, 230, "230", {"User logged in"}},
        ParseCase{"MultiLine",
                  {"230-first", "230-second", "230-third", "   uncoded line", "230 last"},
                  230, "230", {"first", "second", "third", "uncoded line", "last"}},
        ParseCase{"CodeAloneCloses", {"211-Features", "211"}, 211, "211", {"Features", ""}},
        ParseCase{"NoSeparator", {"230User logged in"}, 0, "230U", {"ser logged in"}},
        ParseCase{"BlanksAfterCode", {"200  extra"}, 200, "200", {" extra"}},
        ParseCase{"CodeOnly", {"200"}, 200, "200", {""}},
        ParseCase{"NotANumber", {"abc def"}, 0, "abc", {"def"}},
        // Decimal digits only: none of these is 230.
        ParseCase{"HexadecimalDollar", {"$E6 ok"}, 0, "$E6", {"ok"}},
        ParseCase{"HexadecimalPrefix", {"0xE6 ok"}, 0, "0xE6", {" ok"}},
        ParseCase{"Signed", {"+230 ok"}, 0, "+230", {" ok"}},
        ParseCase{"Empty", {}, 0, "", {}}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.Name); });

TEST(RFCReplyTest, CopyTakesEveryField) {
  TIdRFCReply source, copy;
  source.ParseReply({"220-Welcome", "220 ready"});
  copy.ParseReply({"500 old"});
  copy.CopyReplyFrom(source);
  EXPECT_EQ(copy.NumericCode, 220);
  EXPECT_EQ(copy.TextCode(), "220");
  EXPECT_EQ(copy.Text, (Lines{"Welcome", "ready"}));
  copy.ClearReply();
  EXPECT_EQ(copy.NumericCode, 0);
  EXPECT_TRUE(copy.Text.empty());
  EXPECT_EQ(copy.TextCode(), "");
}

// Replies read from the wire.

struct WireCase {
  const char* Name;
  std::vector<std::string> Pieces;  // what the server sends, piece by piece
  std::vector<Lines> Replies;       // the Text of each reply read in turn
  std::vector<std::int32_t> Codes;
};

class ReadReplyTest : public test::ConnectionFixture, public ::testing::WithParamInterface<WireCase> {};

TEST_P(ReadReplyTest, ReadsOneWholeReplyAtATime) {
  const WireCase& c = GetParam();
  for (const std::string& piece : c.Pieces) Peer.Send(piece);
  Connect();
  for (std::size_t i = 0; i < c.Replies.size(); ++i) {
    EXPECT_EQ(Client.ReadReply({}), c.Codes[i]) << i;
    EXPECT_EQ(Client.LastReply.Text, c.Replies[i]) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Dialogues, ReadReplyTest,
    ::testing::Values(
        WireCase{"SingleLine", {"230 User logged in\r\n"}, {{"User logged in"}}, {230}},
        WireCase{"MultiLineInPieces",
                 {"230-first\r\n230-sec", "ond\r\n230-third\r\n   uncoded\r\n", "230 last\r\n"},
                 {{"first", "second", "third", "uncoded", "last"}},
                 {230}},
        WireCase{"CodeAloneCloses", {"211-Features\r\n MDTM\r\n211\r\n220 next\r\n"},
                 {{"Features", "MDTM", ""}, {"next"}}, {211, 220}},
        WireCase{"ShortLineEndsEarly", {"220-Welcome\r\nab\r\n220 rest\r\n"},
                 {{"Welcome", "ab"}, {"rest"}}, {220, 220}},
        WireCase{"BlankLinesDropped", {"\r\n  \r\n220-a\r\n\r\n\t\r\n220 b\r\n"}, {{"a", "b"}}, {220}},
        WireCase{"TrailingBlanksAfterCode", {"230   \r\n"}, {{""}}, {230}},
        WireCase{"BareLineFeeds", {"150-x\n150 y\n"}, {{"x", "y"}}, {150}}),
    [](const ::testing::TestParamInfo<WireCase>& info) { return std::string(info.param.Name); });

class ReplyCodeTest : public test::ConnectionFixture {};

TEST_F(ReplyCodeTest, ACodeOutsideTheAllowedListRaisesWithTheTextLines) {
  Peer.Send("550-No such file\r\n550 Try again\r\n").WaitForLines().Send("250 ok\r\n");
  Connect();
  try {
    Client.SendCommand("CWD /missing", TIdReplyCodes{200, 250});
    ADD_FAILURE() << "550 accepted";
  } catch (const EIdProtocolReplyError& e) {
    EXPECT_EQ(e.ReplyCode, 550);
    EXPECT_EQ(e.Message(), "No such file\r\nTry again\r\n");
  }
  EXPECT_EQ(Client.LastReply.NumericCode, 550);  // the refused reply stays readable
  EXPECT_EQ(Client.ReadReply({250}), 250);       // and the connection goes on
}

TEST_F(ReplyCodeTest, MinusOneAcceptsEveryCodeAndOneCodeOnlyItself) {
  Peer.WaitForLines().Send("500 unknown\r\n").WaitForLines().Send("331 password\r\n");
  Connect();
  EXPECT_EQ(Client.SendCommand("XYZZY"), 500);
  try {
    Client.SendCommand("USER pravik", 230);
    ADD_FAILURE() << "331 accepted as 230";
  } catch (const EIdProtocolReplyError& e) {
    EXPECT_EQ(e.ReplyCode, 331);
    EXPECT_EQ(e.Message(), "password\r\n");
  }
  Peer.WaitUntilDone();
  EXPECT_EQ(Peer.ReceivedLines(), (std::vector<std::string>{"XYZZY", "USER pravik"}));
}

TEST_F(ReplyCodeTest, AReplyWithoutANumberIsRefusedWithCodeZero) {
  Peer.Send("230User logged in\r\n");
  Connect();
  try {
    Client.ReadReply({230});
    ADD_FAILURE() << "accepted";
  } catch (const EIdProtocolReplyError& e) {
    EXPECT_EQ(e.ReplyCode, 0);
  }
  EXPECT_EQ(Client.LastReply.TextCode(), "230U");
}

TEST_F(ReplyCodeTest, ACloseInsideAReplyPassesOnAndKeepsThePreviousReply) {
  Peer.Send("220 ready\r\n").Send("230-partial\r\n").Close();
  Connect();
  EXPECT_EQ(Client.ReadReply({220}), 220);
  EXPECT_THROW(Client.ReadReply({}), EIdConnClosedGracefully);
  EXPECT_EQ(Client.LastReply.NumericCode, 220);
  EXPECT_EQ(Client.LastReply.Text, Lines{"ready"});
}

}  // namespace
}  // namespace pravik
