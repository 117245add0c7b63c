#include "tests/db/TestWorkplace.h"

#include <stdlib.h>

#include <cerrno>
#include <system_error>

namespace pravik::test {

TestWorkplace::TestWorkplace(const std::string& odbcSysIniDir) {
  // Before the first ODBC call: the driver manager reads the variable when it looks up a driver.
  if (::setenv("ODBCSYSINI", odbcSysIniDir.c_str(), 1) != 0)
    throw std::system_error(errno, std::generic_category(), "setenv ODBCSYSINI");
  // A folder per process: ctest runs the cases of one program side by side.
  std::string pattern = (std::filesystem::temp_directory_path() / "pravik-db-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::system_error(errno, std::generic_category(), "mkdtemp");
  folder_ = pattern;
  previous_ = std::filesystem::current_path();
  std::filesystem::current_path(folder_);
}

TestWorkplace::~TestWorkplace() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
  std::filesystem::remove_all(folder_, ignored);
}

}  // namespace pravik::test
