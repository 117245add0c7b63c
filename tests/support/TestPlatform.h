#pragma once
// Facts about the platform the tests run on.

namespace pravik::test {

// True when a Windows test program runs under Wine rather than Windows.
bool RunningUnderWine();

// True where a file opened without sharing cannot be opened by anybody else meanwhile,
// as a running program file cannot be written on Windows.
bool OpenFilesAreLocked();

}  // namespace pravik::test
