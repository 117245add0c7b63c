#include "app/FileLog.h"

#include <cstdio>

#include "app/LogFile.h"
#include "ftp/IdFileSystem.h"

namespace pravik::app {

std::string OneLine(const std::string& text) {
  std::string line;
  line.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      line += "\\r";
    } else if (c == '\n') {
      line += "\\n";
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      line += escaped;
    } else {
      line += c;
    }
  }
  return line;
}

TFileLog::TFileLog(const std::string& path) {
  // Only at the start of a run: a log never moves away under a run that writes to it. A
  // rename that fails (another run holds the old copy) just lets this file grow once more.
  if (FileSizeOf(path) > kRotateSize) ReplaceFileWith(path + ".1", path);
  File = std::make_unique<TLogFile>(path);
}

TFileLog::~TFileLog() = default;

void TFileLog::Write(const std::string& text) {
  if (!File->IsOpen()) return;
  File->Append(LocalTimeStamp() + " [" + std::to_string(CurrentProcessId()) + "] " + OneLine(text) + "\r\n");
}

}  // namespace pravik::app
