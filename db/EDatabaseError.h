#pragma once
// The error of the database driver: its message is the driver's own description text,
// as code page 949 text.

#include <stdexcept>
#include <string>

namespace pravik {

class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

}  // namespace pravik
