#pragma once
// Where a database test program runs: the driver manager reads the test driver registrations,
// and the SQLite driver keeps the database file PravikALL in the working folder.

#include <filesystem>
#include <string>

namespace pravik::test {

class TestWorkplace {
 public:
  // Selects the odbcinst.ini in `odbcSysIniDir` and a new, empty working folder; raises
  // std::runtime_error when that cannot be done from inside the program.
  explicit TestWorkplace(const std::string& odbcSysIniDir);
  // Goes back to the previous working folder and removes the new one.
  ~TestWorkplace();
  TestWorkplace(const TestWorkplace&) = delete;
  TestWorkplace& operator=(const TestWorkplace&) = delete;

 private:
  std::filesystem::path previous_;
  std::filesystem::path folder_;
};

}  // namespace pravik::test
