#pragma once
// What the update logic needs from the platform: the window's screen side (closing, the
// delay timer, message boxes), control of the notifier process, standard output and the
// administrator's log.
// The Windows program implements them over Win32; the tests use doubles.

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

class INotifierControl {
 public:
  virtual ~INotifierControl() = default;
  // Whether a mutex of that name exists and opens with all access; never creates one.
  virtual bool MutexExists(const std::string& name) = 0;
  // Ends, with exit code 0, the process of the first top-level window with that title;
  // nothing when there is none. Does not wait for the end.
  virtual void TerminateWindowOwner(const std::string& title) = 0;
  // Starts the program file without waiting for it; failures pass silently.
  virtual void StartProgram(const std::string& path, int showCommand) = 0;
};

// The administrator's log: one line per event, for finding out afterwards what a run did
// and why. Writing never fails visibly and never changes what the program does.
class IUpdateLog {
 public:
  virtual ~IUpdateLog() = default;
  // Records one event; the text is code page 949 and may hold line breaks.
  virtual void Write(const std::string& text) = 0;
};

// What the system says of a program file's Authenticode signature.
struct TSignature {
  enum class TState {
    Unsigned,  // no signature at all
    Broken,    // signed, but the signature does not match the file or cannot be read
    Valid,     // signed, and the signature matches the file
  };
  TState State = TState::Unsigned;
  // Whether the system trusts the signer's certificate chain (a valid signature only).
  bool ChainTrusted = false;
  // The signer's certificate: its SHA-1 thumbprint in upper-case hexadecimal and its
  // subject name, code page 949.
  std::string Thumbprint;
  std::string Subject;
  // The system's own word on it, for the log ("TRUST_E_NOSIGNATURE", "0x800B0109").
  std::string Detail;
};

class ISignatureReader {
 public:
  virtual ~ISignatureReader() = default;
  // Checks the file's signature without asking anybody and without revocation lookups
  // (workstations may be offline).
  virtual TSignature SignatureOf(const std::string& path) = 0;
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
