#pragma once
// Status values by name, for tests that record the events they see.

#include <string>

#include "net/IdComponent.h"

namespace pravik::test {

std::string StatusName(TIdStatus status);

}  // namespace pravik::test
