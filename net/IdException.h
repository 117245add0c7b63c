#pragma once
// The error classes of the socket layer. Every network error derives from EIdException;
// messages are code page 949 text.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace pravik {

class EIdException : public std::runtime_error {
 public:
  explicit EIdException(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// Declares `Name : Parent` with the plain message constructor.
#define PRAVIK_DECLARE_EXCEPTION(Name, Parent) \
  class Name : public Parent {                  \
   public:                                      \
    using Parent::Parent;                       \
  }

PRAVIK_DECLARE_EXCEPTION(EIdSilentException, EIdException);
PRAVIK_DECLARE_EXCEPTION(EIdConnClosedGracefully, EIdSilentException);
PRAVIK_DECLARE_EXCEPTION(EIdClosedSocket, EIdException);
PRAVIK_DECLARE_EXCEPTION(EIdConnectTimeout, EIdException);
PRAVIK_DECLARE_EXCEPTION(EIdConnectException, EIdException);
PRAVIK_DECLARE_EXCEPTION(EIdInvalidSocket, EIdException);
PRAVIK_DECLARE_EXCEPTION(EIdInvalidServiceName, EIdException);

PRAVIK_DECLARE_EXCEPTION(EIdStackError, EIdException);
PRAVIK_DECLARE_EXCEPTION(EIdStackInitializationFailed, EIdStackError);
PRAVIK_DECLARE_EXCEPTION(EIdStackSetSizeExceeded, EIdStackError);
PRAVIK_DECLARE_EXCEPTION(EIdInvalidIPAddress, EIdStackError);

PRAVIK_DECLARE_EXCEPTION(EIdSocketHandleError, EIdException);
PRAVIK_DECLARE_EXCEPTION(EIdCouldNotBindSocket, EIdSocketHandleError);
PRAVIK_DECLARE_EXCEPTION(EIdCanNotBindPortInRange, EIdSocketHandleError);
PRAVIK_DECLARE_EXCEPTION(EIdInvalidPortRange, EIdSocketHandleError);

// A failed socket call; SocketErrorCode is the Windows Sockets error number on every platform.
class EIdSocketError : public EIdException {
 public:
  EIdSocketError(std::int32_t code, const std::string& message)
      : EIdException(message), SocketErrorCode(code) {}
  std::int32_t SocketErrorCode;
};

// A failure of the run-time sockets library binding: loading it, or calling a function
// that cannot be resolved. The message is Title, then ": " and the system's text when
// SystemErrorCode is not 0.
class EIdWS2StubError : public EIdException {
 public:
  EIdWS2StubError(const std::string& title, std::int32_t systemErrorCode,
                  const std::string& systemErrorText)
      : EIdException(systemErrorCode == 0 ? title : title + ": " + systemErrorText),
        SystemErrorCode(systemErrorCode),
        SystemErrorText(systemErrorText),
        Title(title) {}
  std::int32_t SystemErrorCode;
  std::string SystemErrorText;
  std::string Title;
};

}  // namespace pravik
