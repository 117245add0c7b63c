#pragma once
// The program's text is code page 949; ODBC's wide calls take UTF-16. These convert at that
// edge and nowhere else. A character the other side lacks becomes '?'. Both raise
// EDatabaseError when the system has no conversion for code page 949.

#include <string>
#include <string_view>

namespace pravik {

std::u16string Utf16FromCp949(std::string_view text);
std::string Cp949FromUtf16(std::u16string_view text);

}  // namespace pravik
