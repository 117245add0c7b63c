#pragma once
// The platform side of the administrator's log: a file that takes whole lines at its end
// while other programs read it or write to it too, the writers' turn on it, the local time
// and the process id.

#include <cstdint>
#include <memory>
#include <string>

namespace pravik::app {

class TLogFile {
 public:
  // Opens or creates `path` for appending, sharing it with other programs for reading,
  // writing and renaming. IsOpen() tells whether that worked; nothing is raised.
  explicit TLogFile(const std::string& path);
  // Gives up the turn, if held, and closes.
  ~TLogFile();
  TLogFile(const TLogFile&) = delete;
  TLogFile& operator=(const TLogFile&) = delete;

  bool IsOpen() const;
  // Takes the writers' turn on the file, waiting at most `milliseconds` for another
  // writer (of this process or another) to give it up; false when it did not.
  bool TakeTurn(int milliseconds);
  // Writes the bytes at the file's end in one write, so lines of two programs never mix;
  // false when they did not all go.
  bool Append(const std::string& bytes);
  // Empties the file.
  bool Truncate();

 private:
  struct Handle;
  std::unique_ptr<Handle> File;
};

// The size of the file at `path` in bytes, or -1 when there is none.
std::int64_t FileSizeOf(const std::string& path);
// The local date and time as "YYYY-MM-DD hh:mm:ss.mmm".
std::string LocalTimeStamp();
unsigned long CurrentProcessId();

}  // namespace pravik::app
