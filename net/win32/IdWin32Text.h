#pragma once
// The system's message texts, as code page 949 text like every other text of the program.

#include <windows.h>

#include <string>

namespace pravik {

// The system's message for an error number, without its trailing line break.
std::string SystemErrorMessage(DWORD code);

}  // namespace pravik
