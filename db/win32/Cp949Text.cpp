#include "db/Cp949Text.h"

#include <windows.h>

#include "db/DbResourceStrings.h"
#include "db/EDatabaseError.h"

namespace pravik {

namespace {
constexpr UINT kKoreanCodePage = 949;
static_assert(sizeof(wchar_t) == sizeof(char16_t));
}  // namespace

std::u16string Utf16FromCp949(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = ::MultiByteToWideChar(kKoreanCodePage, 0, text.data(), length, nullptr, 0);
  if (size <= 0) throw EDatabaseError(rs::Cp949Unavailable);
  std::u16string wide(static_cast<std::size_t>(size), u'\0');
  ::MultiByteToWideChar(kKoreanCodePage, 0, text.data(), length,
                        reinterpret_cast<wchar_t*>(wide.data()), size);
  return wide;
}

std::string Cp949FromUtf16(std::u16string_view text) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int size =
      ::WideCharToMultiByte(kKoreanCodePage, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) throw EDatabaseError(rs::Cp949Unavailable);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(kKoreanCodePage, 0, wide, length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

}  // namespace pravik
