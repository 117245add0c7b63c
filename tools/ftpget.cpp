// Retrieves one file the way the update download does: connect with automatic login,
// change directory, retrieve with the size check, close. For interoperability checks,
// checks by hand and benchmarks.
//
//   ftpget [--passive] [--resume] [--no-overwrite] [--timeout SECONDS] [--sha256 HEX]
//          HOST PORT USER PASSWORD DIRECTORY REMOTE-NAME LOCAL-PATH
//
// A replacing retrieval asks the server for the file's SIZE first and refuses a file of
// another size; with --sha256 it also refuses a file whose SHA-256, taken as the data
// arrive, is not HEX. A refused file replaces nothing. Each status event goes to standard
// error; the exit code is 0 on success, else 1 with the error's message on standard error.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <optional>
#include <stdexcept>
#include <utility>
#include <string>
#include <vector>

#include "app/Sha256.h"
#include "ftp/IdFTP.h"
#include "net/IdGlobal.h"

namespace {

constexpr char kUsage[] =
    "usage: ftpget [--passive] [--resume] [--no-overwrite] [--timeout SECONDS] [--sha256 HEX] "
    "HOST PORT USER PASSWORD DIRECTORY REMOTE-NAME LOCAL-PATH\n";

struct Options {
  bool Passive = false;
  bool Resume = false;
  bool MayOverwrite = true;
  std::int32_t TimeoutMs = 60000;
  std::string Sha256;  // 64 lower-case hexadecimal digits, or empty
  std::vector<std::string> Positional;
};

bool ParseNumber(const std::string& text, std::int64_t min, std::int64_t max, std::int64_t& value) {
  return pravik::TryTextToInt64(text, value) && value >= min && value <= max;
}

// 64 hexadecimal digits in lower case, or empty text for anything else.
std::string DigestArgument(std::string text) {
  if (text.size() != 64) return {};
  for (char& c : text) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return {};
  }
  return text;
}

// The SHA-256 of the data as they arrive, compared once the transfer is confirmed.
class THashCheck : public pravik::TIdRetrievalCheck {
 public:
  explicit THashCheck(std::string expected) : Expected(std::move(expected)) {}
  void Consume(const void* bytes, std::int32_t count) override { Hash.Update(bytes, static_cast<std::size_t>(count)); }
  void Verify(const std::string&, std::int64_t) override {
    const std::string received = Hash.HexDigest();
    if (received != Expected) throw std::runtime_error("Hash check: expected " + Expected + ", received " + received);
  }

 private:
  std::string Expected;
  pravik::app::TSha256 Hash;
};

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::int64_t seconds = 0;
    if (arg == "--passive") {
      options.Passive = true;
    } else if (arg == "--resume") {
      options.Resume = true;
    } else if (arg == "--no-overwrite") {
      options.MayOverwrite = false;
    } else if (arg == "--timeout" && i + 1 < argc && ParseNumber(argv[i + 1], 1, 2147483, seconds)) {
      options.TimeoutMs = static_cast<std::int32_t>(seconds * 1000);
      ++i;
    } else if (arg == "--sha256" && i + 1 < argc && !DigestArgument(argv[i + 1]).empty()) {
      options.Sha256 = DigestArgument(argv[++i]);
    } else if (arg.rfind("--", 0) == 0) {
      return false;
    } else {
      options.Positional.push_back(arg);
    }
  }
  return options.Positional.size() == 7;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::int64_t port = 0;
  if (!Parse(argc, argv, options) || !ParseNumber(options.Positional[1], 1, 65535, port)) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  try {
    pravik::TIdFTP ftp;
    ftp.OnStatus = [](pravik::TIdComponent*, pravik::TIdStatus, const std::string& text) {
      std::fprintf(stderr, "%s\n", text.c_str());
    };
    ftp.Host = options.Positional[0];
    ftp.Port = static_cast<std::int32_t>(port);
    ftp.Username = options.Positional[2];
    ftp.Password = options.Positional[3];
    ftp.Passive = options.Passive;
    ftp.ReadTimeout = options.TimeoutMs;
    ftp.VerifySize = true;
    std::optional<THashCheck> hashCheck;
    if (!options.Sha256.empty()) ftp.RetrievalCheck = &hashCheck.emplace(options.Sha256);
    ftp.ConnectToServer(true, pravik::TimeLimitDefault);
    ftp.ChangeDirectory(options.Positional[4]);
    ftp.RetrieveFile(options.Positional[5], options.Positional[6], options.MayOverwrite, options.Resume);
    ftp.CloseConnection();
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
