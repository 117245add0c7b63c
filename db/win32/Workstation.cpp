#include "db/Workstation.h"

#include <windows.h>

#include <array>

#include "db/Cp949Text.h"

namespace pravik {

std::string WorkstationName() {
  std::array<wchar_t, MAX_COMPUTERNAME_LENGTH + 1> name{};
  DWORD length = static_cast<DWORD>(name.size());
  if (!::GetComputerNameW(name.data(), &length)) return {};
  return Cp949FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(name.data()), length));
}

}  // namespace pravik
