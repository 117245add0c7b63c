#pragma once
// The error of the database driver: its message is the driver's own description text,
// as code page 949 text. SqlState and NativeError are the driver's codes for the cause
// ("08001" and the like; empty and 0 when it gave none).

#include <stdexcept>
#include <string>
#include <utility>

namespace pravik {

class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(const std::string& message, std::string sqlState = {}, long nativeError = 0)
      : std::runtime_error(message), SqlState(std::move(sqlState)), NativeError(nativeError) {}
  std::string Message() const { return what(); }
  std::string SqlState;
  long NativeError;
};

}  // namespace pravik
