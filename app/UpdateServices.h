#pragma once
// What the update logic needs from the platform: the window's screen side (closing, the
// delay timer, message boxes), control of the notifier process, standard output and the
// administrator's log.
// The Windows program implements them over Win32; the tests use doubles.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace pravik::app {

class IUpdateWindow {
 public:
  virtual ~IUpdateWindow() = default;
  // Asks the window to close; the program ends once control is back in the message
  // loop. Asking again is harmless.
  virtual void RequestClose() = 0;
  // Switches the delay timer on or off; while on, it ticks every 2000 ms.
  virtual void SetTimerEnabled(bool enabled) = 0;
  // A message box owned by the program and modal to all its windows; returns once the
  // user pressed OK. Text and caption are code page 949.
  virtual void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
  // The path of the running program file.
  virtual std::string ProgramFile() const = 0;
};

// A notifier process this program holds on to, so that its end is seen as it happens and
// it can be ended without looking for its window.
class INotifierProcess {
 public:
  virtual ~INotifierProcess() = default;
  // The exit code once the process has ended; nullopt while it runs.
  virtual std::optional<std::uint32_t> ExitCode() = 0;
  // Ends the process with exit code 1; does not wait for the end.
  virtual void Terminate() = 0;
};

// A start that keeps the process: the process, or nullptr and the system's error number.
struct TNotifierStart {
  std::unique_ptr<INotifierProcess> Process;
  std::uint32_t SystemError = 0;
};

class INotifierControl {
 public:
  virtual ~INotifierControl() = default;
  // Whether a mutex of that name exists and opens with all access; never creates one.
  virtual bool MutexExists(const std::string& name) = 0;
  // Ends, with exit code 0, the process of the first top-level window with that title;
  // nothing when there is none. Does not wait for the end. True when the window was there.
  virtual bool TerminateWindowOwner(const std::string& title) = 0;
  // Starts the program file without waiting for it and returns the system's result
  // (WinExec's: above 31 when it started, else its error); a failure raises nothing.
  virtual std::uint32_t StartProgram(const std::string& path, int showCommand) = 0;
  // Starts the program file as StartProgram does (the same command line and show command)
  // and keeps its process; a failure raises nothing.
  virtual TNotifierStart StartProcess(const std::string& path, int showCommand) = 0;
  // The process of the first top-level window with that title, held to see it end; nullptr
  // when there is none or it cannot be opened.
  virtual std::unique_ptr<INotifierProcess> WindowOwner(const std::string& title) = 0;
};

// Time passing while the window goes on handling its messages (painting, moving, the
// user's input), for waits on other processes.
class IResponsiveWait {
 public:
  virtual ~IResponsiveWait() = default;
  // Handles the window's messages for about `duration`, then returns. A close asked for
  // meanwhile happens once the handler that waits has returned.
  virtual void Wait(std::chrono::milliseconds duration) = 0;
};

// The clock of the waits and of the held version's date.
class IClock {
 public:
  virtual ~IClock() = default;
  // A monotonic time, for measuring waits.
  virtual std::chrono::milliseconds Now() = 0;
  // The local date and time as "YYYY-MM-DD hh:mm:ss".
  virtual std::string LocalTime() = 0;
};

// The administrator's log: one line per event, for finding out afterwards what a run did
// and why. Writing never fails visibly and never changes what the program does.
class IUpdateLog {
 public:
  virtual ~IUpdateLog() = default;
  // Records one event; the text is code page 949 and may hold line breaks.
  virtual void Write(const std::string& text) = 0;
};

// What the system said when asked to verify a program file's Authenticode signature: its
// results as they came and the signer's certificate where one could be read. What they mean
// for an update is decided by the publisher rule (TrustResults.h), not by the reader.
struct TSignature {
  // WinVerifyTrust's result, and the thread's last error right after it.
  std::uint32_t Result = 0;
  std::uint32_t LastError = 0;
  // The signer's certificate, empty when none could be read: its SHA-1 thumbprint in
  // upper-case hexadecimal, its subject as text (code page 949, for the log) and as the
  // certificate encodes it (for comparing names).
  std::string Thumbprint;
  std::string Subject;
  std::string EncodedSubject;
  // The signer's certificate is outside its validity period now, and no timestamp shows
  // that it was signed within it (a fact the system's result does not always carry).
  bool OutOfDate = false;
};

class ISignatureReader {
 public:
  virtual ~ISignatureReader() = default;
  // Checks the file's signature without asking anybody and without revocation lookups
  // (workstations may be offline).
  virtual TSignature SignatureOf(const std::string& path) = 0;
  // Whether two encoded subject names are the same name; never for an empty one.
  virtual bool SameName(const std::string& encoded, const std::string& otherEncoded) = 0;
};

// "I/O error %d": a write to an output that the process does not have.
class EInOutError : public std::runtime_error {
 public:
  EInOutError(const std::string& message, int code) : std::runtime_error(message), ErrorCode(code) {}
  int ErrorCode;
};

class IStandardOutput {
 public:
  virtual ~IStandardOutput() = default;
  // Writes the line and CR LF; EInOutError when there is no usable standard output.
  virtual void WriteLine(const std::string& line) = 0;
};

}  // namespace pravik::app
