#include "app/FileLog.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "app/LogFile.h"
#include "ftp/IdFileSystem.h"

namespace pravik::app {

namespace {

// "…" in code page 949.
constexpr char kEllipsis[] = "\xA1\xA6";

bool IsLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// One character of the text as the log writes it.
std::string Written(const std::string& text, std::size_t& at) {
  const char c = text[at++];
  const auto byte = static_cast<unsigned char>(c);
  if (c == '\r') return "\\r";
  if (c == '\n') return "\\n";
  if (byte < 0x20 || byte == 0x7F) {
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    return escaped;
  }
  // A double-byte character travels whole; its trail byte is never a control character.
  if (IsLeadByte(byte) && at < text.size() && static_cast<unsigned char>(text[at]) >= 0x20)
    return std::string{c, text[at++]};
  return std::string(1, c);
}

std::string Escaped(const std::string& text, std::size_t limit, bool& cut) {
  std::string line;
  line.reserve(std::min(text.size(), limit));
  cut = false;
  for (std::size_t at = 0; at < text.size();) {
    const std::string character = Written(text, at);
    if (line.size() + character.size() > limit) {
      cut = true;
      break;
    }
    line += character;
  }
  return line;
}

}  // namespace

std::string OneLine(const std::string& text) {
  bool cut = false;
  return Escaped(text, std::string::npos, cut);
}

std::string CappedLine(const std::string& text) {
  bool cut = false;
  std::string line = Escaped(text, TFileLog::kLineLimit, cut);
  if (cut) line += std::string(kEllipsis) + " (" + std::to_string(text.size()) + " bytes)";
  return line;
}

TFileLog::TFileLog(std::string path) : Path(std::move(path)) {}

void TFileLog::Write(const std::string& text) {
  const std::string line =
      LocalTimeStamp() + " [" + std::to_string(CurrentProcessId()) + "] " + CappedLine(text) + "\r\n";
  // Opened for each line: a log that another run moved aside is never written to for long.
  TLogFile file(Path);
  if (!file.IsOpen() || !file.TakeTurn(kTurnWaitMs)) return;
  // Looked at with the turn held: a run that began with the others may have just moved
  // the log aside, and its new log must not replace the history.
  if (FileSizeOf(Path) > kRotateSize) {
    if (ReplaceFileWith(Path + ".1", Path)) {
      TLogFile fresh(Path);
      if (fresh.IsOpen() && fresh.TakeTurn(kTurnWaitMs)) fresh.Append(line);
      return;
    }
    // The older copy cannot be replaced (held open, or a folder of that name): the bound
    // holds all the same.
    file.Truncate();
  }
  file.Append(line);
}

}  // namespace pravik::app
