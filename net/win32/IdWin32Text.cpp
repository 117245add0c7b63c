#include "net/win32/IdWin32Text.h"

namespace pravik {

namespace {
constexpr UINT kKoreanCodePage = 949;
}

std::string SystemErrorMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide(text ? text : L"", length);
  if (text) ::LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' '))
    wide.pop_back();
  if (wide.empty()) return {};
  const int size = ::WideCharToMultiByte(kKoreanCodePage, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(kKoreanCodePage, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(),
                        size, nullptr, nullptr);
  return bytes;
}

}  // namespace pravik
