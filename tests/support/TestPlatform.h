#pragma once
// Facts about the platform the tests run on.

#include <cstdint>
#include <string>

namespace pravik::test {

// True when a Windows test program runs under Wine rather than Windows.
bool RunningUnderWine();

// True where a file opened without sharing cannot be opened by anybody else meanwhile,
// as a running program file cannot be written on Windows.
bool OpenFilesAreLocked();

// A file held open for reading by another program while it lives, one that lets others
// write the file meanwhile (`allowWrites`) or one that does not. Where files have no
// sharing rules, both are a plain open for reading.
class TFileHeldForReading {
 public:
  TFileHeldForReading(const std::string& path, bool allowWrites);
  ~TFileHeldForReading();
  TFileHeldForReading(const TFileHeldForReading&) = delete;
  TFileHeldForReading& operator=(const TFileHeldForReading&) = delete;

 private:
  std::intptr_t Handle;
};

}  // namespace pravik::test
