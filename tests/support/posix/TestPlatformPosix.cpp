#include "tests/support/TestPlatform.h"

namespace pravik::test {

bool RunningUnderWine() { return false; }

bool OpenFilesAreLocked() { return false; }

}  // namespace pravik::test
