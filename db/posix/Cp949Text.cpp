#include "db/Cp949Text.h"

#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "db/DbResourceStrings.h"
#include "db/EDatabaseError.h"

namespace pravik {

namespace {

constexpr const char* kCodePage949 = "CP949";
// unixODBC's SQLWCHAR text is UTF-16 in the machine's byte order; naming the order keeps
// iconv from writing a byte order mark.
constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw EDatabaseError(rs::Cp949Unavailable);
  }
  ~Converter() { ::iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `input`. iconv stops at a character the target lacks (or a byte sequence the
  // source does not define); such a character is written as `replacement` and skipped,
  // `unitSize` telling how many input bytes it spans, as the Windows conversion does.
  std::string Run(std::string_view input, std::string_view replacement,
                  std::size_t (*unitSize)(std::string_view rest)) {
    std::string output(input.size() * 2 + replacement.size(), '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t used = 0;
    while (inLeft > 0) {
      char* out = output.data() + used;
      std::size_t outLeft = output.size() - used;
      const std::size_t result = ::iconv(cd_, &in, &inLeft, &out, &outLeft);
      const int error = errno;
      used = output.size() - outLeft;
      if (result != static_cast<std::size_t>(-1)) break;
      if (error == E2BIG) {
        output.resize(output.size() * 2 + 8);
        continue;
      }
      const std::size_t skip = std::min(inLeft, unitSize(std::string_view(in, inLeft)));
      if (output.size() - used < replacement.size()) output.resize(used + replacement.size());
      std::memcpy(output.data() + used, replacement.data(), replacement.size());
      used += replacement.size();
      in += skip;
      inLeft -= skip;
    }
    output.resize(used);
    return output;
  }

 private:
  iconv_t cd_;
};

std::size_t Utf16UnitSize(std::string_view rest) {
  char16_t first = 0;
  if (rest.size() >= sizeof first) std::memcpy(&first, rest.data(), sizeof first);
  const bool highSurrogate = first >= 0xD800 && first <= 0xDBFF;
  return highSurrogate && rest.size() >= 4 ? 4 : 2;
}

std::size_t Cp949UnitSize(std::string_view) { return 1; }

}  // namespace

std::u16string Utf16FromCp949(std::string_view text) {
  const char16_t question = u'?';
  const std::string bytes = Converter(kUtf16, kCodePage949)
                                .Run(text, std::string_view(reinterpret_cast<const char*>(&question),
                                                            sizeof question),
                                     Cp949UnitSize);
  std::u16string wide(bytes.size() / sizeof(char16_t), u'\0');
  std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(char16_t));
  return wide;
}

std::string Cp949FromUtf16(std::u16string_view text) {
  const std::string_view bytes(reinterpret_cast<const char*>(text.data()),
                               text.size() * sizeof(char16_t));
  return Converter(kCodePage949, kUtf16).Run(bytes, "?", Utf16UnitSize);
}

}  // namespace pravik
