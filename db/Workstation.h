#pragma once
// The name this computer gives itself, as code page 949 text; empty when the system has none.

#include <string>

namespace pravik {

std::string WorkstationName();

}  // namespace pravik
