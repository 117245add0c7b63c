#include "tests/support/TestPlatform.h"

#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>

namespace pravik::test {

bool RunningUnderWine() { return false; }

bool OpenFilesAreLocked() { return false; }

TFileHeldForReading::TFileHeldForReading(const std::string& path, bool)
    : Handle(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
  if (Handle < 0) throw std::runtime_error("cannot open " + path);
}

TFileHeldForReading::~TFileHeldForReading() { ::close(static_cast<int>(Handle)); }

}  // namespace pravik::test
