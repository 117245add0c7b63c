#include "net/win32/IdWin32Text.h"

namespace pravik {

namespace {
constexpr UINT kKoreanCodePage = 949;
}

std::wstring WideFromCP949(std::string_view text) {
  if (text.empty()) return {};
  const int size = ::MultiByteToWideChar(kKoreanCodePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(kKoreanCodePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string CP949FromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(kKoreanCodePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(kKoreanCodePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
  return bytes;
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
  return CP949FromWide(wide);
}

}  // namespace pravik
