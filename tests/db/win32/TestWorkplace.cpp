#include "tests/db/TestWorkplace.h"

#include <cstdlib>
#include <stdexcept>

namespace pravik::test {

// Under Wine the driver manager is the machine's unixODBC, on the Unix side of the process:
// neither an environment variable set here nor a change of the Windows working folder reaches
// it. ctest therefore starts the program with ODBCSYSINI set and in a folder of its own.
TestWorkplace::TestWorkplace(const std::string&) {
  const char* selected = std::getenv("ODBCSYSINI");
  if (!selected || !*selected)
    throw std::runtime_error("ODBCSYSINI must name the folder of the test odbcinst.ini");
}

TestWorkplace::~TestWorkplace() = default;

}  // namespace pravik::test
