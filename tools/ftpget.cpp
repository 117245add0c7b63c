// Retrieves one file the way the update download does: connect with automatic login,
// change directory, retrieve, close. For interoperability checks and benchmarks.
//
//   ftpget [--passive] [--resume] [--no-overwrite] [--timeout SECONDS]
//          HOST PORT USER PASSWORD DIRECTORY REMOTE-NAME LOCAL-PATH
//
// Each status event goes to standard error; the exit code is 0 on success, else 1 with
// the error's message on standard error.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "ftp/IdFTP.h"
#include "net/IdGlobal.h"

namespace {

constexpr char kUsage[] =
    "usage: ftpget [--passive] [--resume] [--no-overwrite] [--timeout SECONDS] "
    "HOST PORT USER PASSWORD DIRECTORY REMOTE-NAME LOCAL-PATH\n";

struct Options {
  bool Passive = false;
  bool Resume = false;
  bool MayOverwrite = true;
  std::int32_t TimeoutMs = 60000;
  std::vector<std::string> Positional;
};

bool ParseNumber(const std::string& text, std::int64_t min, std::int64_t max, std::int64_t& value) {
  return pravik::TryTextToInt64(text, value) && value >= min && value <= max;
}

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
