#include "db/Workstation.h"

#include <unistd.h>

#include <array>

namespace pravik {

std::string WorkstationName() {
  std::array<char, 256> name{};
  // gethostname need not terminate a name that fills the buffer; the last byte stays 0.
  if (::gethostname(name.data(), name.size() - 1) != 0) return {};
  return name.data();
}

}  // namespace pravik
