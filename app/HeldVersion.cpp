#include "app/HeldVersion.h"

#include <algorithm>
#include <cstdint>
#include <exception>

#include "app/FileRewrite.h"
#include "ftp/IdFileSystem.h"
#include "ftp/IdStream.h"

namespace pravik::app {

namespace {

constexpr char kVersionKey[] = "version=";
constexpr char kSha256Key[] = "sha256=";
constexpr char kDateKey[] = "date=";

bool StartsWith(const std::string& text, const std::string& lead) { return text.compare(0, lead.size(), lead) == 0; }

}  // namespace

std::string HeldVersionText(const THeldVersion& held) {
  return std::string(kVersionKey) + held.Version + "\r\n" + kSha256Key + held.Sha256 + "\r\n" + kDateKey +
         held.Date + "\r\n";
}

std::optional<THeldVersion> ParseHeldVersion(const std::string& text) {
  THeldVersion held;
  bool versionSeen = false;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    begin = end + 1;
    if (StartsWith(line, kVersionKey)) {
      held.Version = line.substr(sizeof kVersionKey - 1);
      versionSeen = true;
    } else if (StartsWith(line, kSha256Key)) {
      held.Sha256 = line.substr(sizeof kSha256Key - 1);
    } else if (StartsWith(line, kDateKey)) {
      held.Date = line.substr(sizeof kDateKey - 1);
    }
  }
  if (!versionSeen) return std::nullopt;
  return held;
}

std::optional<THeldVersion> ReadHeldVersion(const std::string& path) {
  if (!FileExists(path)) return std::nullopt;
  try {
    TIdFileStream file(path, TIdFileStream::TOpenMode::fmOpenRead);
    // The file is a few lines; anything much longer is not ours.
    std::string text(static_cast<std::size_t>(std::min<std::int64_t>(file.Size(), 4096)), '\0');
    text.resize(static_cast<std::size_t>(file.Read(text.data(), static_cast<std::int32_t>(text.size()))));
    return ParseHeldVersion(text);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

void WriteHeldVersion(const std::string& path, const THeldVersion& held) { RewriteFile(path, HeldVersionText(held)); }

}  // namespace pravik::app
