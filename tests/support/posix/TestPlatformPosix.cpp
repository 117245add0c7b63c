#include "tests/support/TestPlatform.h"

namespace pravik::test {

bool RunningUnderWine() { return false; }

}  // namespace pravik::test
