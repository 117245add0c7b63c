#pragma once
// The system's message texts, as code page 949 text like every other text of the program.

#include <windows.h>

#include <string>
#include <string_view>

namespace pravik {

// Code page 949 text to the system's wide text and back.
std::wstring WideFromCP949(std::string_view text);
std::string CP949FromWide(std::wstring_view text);

// The system's message for an error number, without its trailing line break.
std::string SystemErrorMessage(DWORD code);

}  // namespace pravik
