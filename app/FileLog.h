#pragma once
// The administrator's log in a file: each event one line of local date and time with
// milliseconds, the process id and the text, ended by CR LF. Kept to about 2 MiB: a file
// over 1 MiB at the start of a run becomes "<name>.1" and a new one is begun.

#include <memory>
#include <string>

#include "app/UpdateServices.h"

namespace pravik::app {

class TLogFile;

class TFileLog : public IUpdateLog {
 public:
  // Opens the log at `path` for this run; a log that cannot be opened records nothing.
  explicit TFileLog(const std::string& path);
  ~TFileLog() override;
  TFileLog(const TFileLog&) = delete;
  TFileLog& operator=(const TFileLog&) = delete;

  // Line breaks and other control characters of the text are written as "\r", "\n" and
  // "\xNN", so each event stays one line. A failed write is dropped silently.
  void Write(const std::string& text) override;

  static constexpr long long kRotateSize = 1 << 20;

 private:
  std::unique_ptr<TLogFile> File;
};

// `text` with its control characters written out as above.
std::string OneLine(const std::string& text);

}  // namespace pravik::app
