#pragma once
// An FTP client talking to a scripted server: each test writes the server's part of the
// dialogue (control replies, and the data connections it opens or accepts), then plays
// the client's and compares the command lines the server received.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ftp/IdFTP.h"
#include "net/IdIOHandlerSocket.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/StatusName.h"

namespace pravik::test {

// The replies to a login as the updater makes it: greeting, USER, PASS, TYPE, then SYST
// answered `systReply`.
ScriptedPeer& ScriptLogin(ScriptedPeer& server, const std::string& systReply = "215 UNIX Type: L8\r\n");
inline constexpr int kLoginLines = 4;

// A script step of the server's side of an active-mode data connection: connect from
// `fromIP` to the address of the client's last PORT command and hand the connection to
// `serve`, then close it.
void ServeAnnouncedPort(ScriptedPeer& server, const std::string& fromIP,
                        std::function<void(TIdIOHandlerSocket& connection)> serve);
// Sends `data` on it; a client that closes early ends the sending, the test judges.
void DeliverToAnnouncedPort(ScriptedPeer& server, const std::string& data,
                            const std::string& fromIP = "127.0.0.1");
// Keeps sending until the client stops taking data.
void FloodAnnouncedPort(ScriptedPeer& server);

class FtpFixture : public ::testing::Test {
 protected:
  FtpFixture();
  ~FtpFixture() override;

  // Starts the server's script and connects with automatic login.
  void Connect();
  // Records status events as "<name> <text>" in Events.
  void RecordStatus();
  // The command lines the server received after the login.
  std::vector<std::string> CommandsAfterLogin();

  std::string PathOf(const std::string& name) const { return (Folder / name).string(); }
  std::vector<std::string> FilesInFolder() const;
  static std::string ReadFile(const std::string& path);
  static void WriteFile(const std::string& path, const std::string& bytes);

  ScriptedPeer Server;
  TIdFTP Ftp;
  std::vector<std::string> Events;
  std::filesystem::path Folder;
};

}  // namespace pravik::test
