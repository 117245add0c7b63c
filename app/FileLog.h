#pragma once
// The administrator's log in a file: each event one line of local date and time with
// milliseconds, the process id and the text, ended by CR LF. Bounded whatever the texts
// and whatever other runs do: a line holds at most kLineLimit bytes of text, a log found
// over kRotateSize before a line is written becomes "<name>.1" and a new one is begun.

#include <string>

#include "app/UpdateServices.h"

namespace pravik::app {

class TFileLog : public IUpdateLog {
 public:
  // The log at `path`; a log that cannot be opened or written records nothing.
  explicit TFileLog(std::string path);

  // Line breaks and other control characters of the text are written as "\r", "\n" and
  // "\xNN", so each event stays one line; a longer text is cut (see CappedLine). A write
  // that fails, or that does not get its turn within kTurnWaitMs, is dropped silently.
  void Write(const std::string& text) override;

  static constexpr long long kRotateSize = 1 << 20;
  static constexpr std::size_t kLineLimit = 2000;
  static constexpr int kTurnWaitMs = 2000;

 private:
  const std::string Path;
};

// `text` with its control characters written out as above.
std::string OneLine(const std::string& text);

// OneLine(text), cut after at most kLineLimit bytes at a whole character (code page 949)
// and followed by "… (N bytes)" with the text's own length, when it does not fit.
std::string CappedLine(const std::string& text);

}  // namespace pravik::app
