#include "tests/ftp/FtpFixture.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>


namespace pravik::test {

namespace {

constexpr int kDataConnectLimitMs = 5000;
// A silent server is given up on after this in the tests, not after the minute of use.
constexpr std::int32_t kTestReadTimeoutMs = 5000;

// The address and port of the last "PORT h1,h2,h3,h4,p1,p2" line the server received.
void AnnouncedEndpoint(ScriptedPeer& server, std::string& ip, int& port) {
  const std::vector<std::string> lines = server.ReceivedLines();
  const auto found = std::find_if(lines.rbegin(), lines.rend(),
                                  [](const std::string& line) { return line.rfind("PORT ", 0) == 0; });
  if (found == lines.rend()) throw std::runtime_error("no PORT command");
  std::istringstream fields(found->substr(5));
  std::vector<int> numbers;
  for (std::string field; std::getline(fields, field, ',');) numbers.push_back(std::stoi(field));
  if (numbers.size() != 6) throw std::runtime_error("malformed PORT command");
  ip = std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." + std::to_string(numbers[2]) +
       "." + std::to_string(numbers[3]);
  port = numbers[4] * 256 + numbers[5];
}

}  // namespace

ScriptedPeer& ScriptLogin(ScriptedPeer& server, const std::string& systReply) {
  return server.Send("220 Pravik test server ready\r\n")
      .WaitForLines()
      .Send("331 Password required\r\n")
      .WaitForLines()
      .Send("230 Logged in\r\n")
      .WaitForLines()
      .Send("200 Type set to I\r\n")
      .WaitForLines()
      .Send(systReply);
}

void ServeAnnouncedPort(ScriptedPeer& server, const std::string& fromIP,
                        std::function<void(TIdIOHandlerSocket& connection)> serve) {
  server.Call([&server, fromIP, serve = std::move(serve)] {
    std::string ip;
    int port = 0;
    AnnouncedEndpoint(server, ip, port);
    TIdIOHandlerSocket connection;
    connection.OpenTransport();
    connection.ConnectEndpoint(ip, port, fromIP, 0, 0, 0, kDataConnectLimitMs);
    try {
      serve(connection);
    } catch (const std::exception&) {  // the client closed the connection first
    }
    connection.ShutTransport();
  });
}

void DeliverToAnnouncedPort(ScriptedPeer& server, const std::string& data, const std::string& fromIP) {
  ServeAnnouncedPort(server, fromIP, [data](TIdIOHandlerSocket& connection) {
    for (std::size_t sent = 0; sent < data.size();) {
      const int n = connection.SendBuf(data.data() + sent, static_cast<int>(data.size() - sent));
      if (n <= 0) return;
      sent += static_cast<std::size_t>(n);
    }
  });
}

void FloodAnnouncedPort(ScriptedPeer& server) {
  ServeAnnouncedPort(server, "127.0.0.1", [&server](TIdIOHandlerSocket& connection) {
    const std::string block(65536, 'F');
    while (!server.Stopped() && connection.SendBuf(block.data(), static_cast<int>(block.size())) > 0) {
    }
  });
}

FtpFixture::FtpFixture() {
  Folder = std::filesystem::temp_directory_path() /
           ("pravik-ftp-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
  std::filesystem::remove_all(Folder);
  std::filesystem::create_directories(Folder);
  Ftp.Host = "127.0.0.1";
  Ftp.Port = Server.Port();
  Ftp.Username = "pravik";
  Ftp.Password = "secret";
  Ftp.ReadTimeout = kTestReadTimeoutMs;
}

FtpFixture::~FtpFixture() {
  Ftp.CloseConnection();
  std::error_code ignored;
  std::filesystem::remove_all(Folder, ignored);
}

void FtpFixture::Connect() {
  Server.Start();
  Ftp.ConnectToServer(true, TimeLimitDefault);
}

void FtpFixture::RecordStatus() {
  Ftp.OnStatus = [this](TIdComponent*, TIdStatus status, const std::string& text) {
    Events.push_back(StatusName(status) + " " + text);
  };
}

std::vector<std::string> FtpFixture::CommandsAfterLogin() {
  std::vector<std::string> lines = Server.ReceivedLines();
  lines.erase(lines.begin(), lines.begin() + std::min<std::ptrdiff_t>(kLoginLines, std::ssize(lines)));
  return lines;
}

std::vector<std::string> FtpFixture::FilesInFolder() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(Folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string FtpFixture::ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void FtpFixture::WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace pravik::test
