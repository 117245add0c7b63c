#pragma once
// The process's standard output, which a windowed program usually does not have.

#include "app/UpdateServices.h"

namespace pravik::app {

class TWin32StandardOutput : public IStandardOutput {
 public:
  // "I/O error 105" without a standard output handle or with one of no known file type.
  void WriteLine(const std::string& line) override;
};

}  // namespace pravik::app
