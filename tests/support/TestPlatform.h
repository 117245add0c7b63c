#pragma once
// Facts about the platform the tests run on.

namespace pravik::test {

// True when a Windows test program runs under Wine rather than Windows.
bool RunningUnderWine();

}  // namespace pravik::test
