#pragma once
// A client connected to a scripted peer: each test writes the peer's part of the
// dialogue, then plays the client's.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ftp/IdTCPClient.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/StatusName.h"

namespace pravik::test {

class ConnectionFixture : public ::testing::Test {
 protected:
  // Starts the peer's script and connects the client to it.
  void Connect() {
    Peer.Start();
    Client.Host = "127.0.0.1";
    Client.Port = Peer.Port();
    Client.ConnectToHost();
  }
  void RecordStatus() {
    Client.OnStatus = [this](TIdComponent*, TIdStatus status, const std::string& text) {
      Events.push_back(StatusName(status) + " " + text);
    };
    Client.OnDisconnected = [this](TIdComponent*) { Events.push_back("OnDisconnected"); };
    Client.OnConnected = [this](TIdComponent*) { Events.push_back("OnConnected"); };
  }

  ScriptedPeer Peer;
  TIdTCPClient Client;
  std::vector<std::string> Events;
};

}  // namespace pravik::test
