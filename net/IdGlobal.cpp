#include "net/IdGlobal.h"

#include <cctype>
#include <limits>

namespace pravik {

std::string UpperCaseAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string CutToken(std::string& input, std::string_view delimiter, bool deleteToken,
                     bool caseSensitive) {
  const std::size_t at = caseSensitive ? input.find(delimiter)
                                       : UpperCaseAscii(input).find(UpperCaseAscii(delimiter));
  if (at == std::string::npos) {
    std::string all = input;
    if (deleteToken) input.clear();
    return all;
  }
  std::string token = input.substr(0, at);
  if (deleteToken) input.erase(0, at + delimiter.size());
  return token;
}

std::int32_t FindInMemory(std::string_view pattern, const char* bytes, std::int32_t length) {
  if (pattern.empty() || length < 0 || pattern.size() > static_cast<std::size_t>(length)) return 0;
  const std::string_view haystack(bytes, static_cast<std::size_t>(length));
  const std::size_t at = haystack.find(pattern);
  return at == std::string_view::npos ? 0 : static_cast<std::int32_t>(at + 1);
}

std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(format.size() + 32);
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    const bool placeholder = format[i] == '%' && i + 1 < format.size() &&
                             (format[i + 1] == 's' || format[i + 1] == 'd');
    if (placeholder && next != args.end()) {
      out += *next++;
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

bool TryTextToInt64(std::string_view text, std::int64_t& value) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return false;
  // Accumulate as unsigned so that the full signed range, its minimum included, is exact.
  const std::uint64_t limit =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    unsigned digit;
    if (std::isdigit(c)) {
      digit = c - '0';
    } else if (base == 16 && std::isxdigit(c)) {
      digit = static_cast<unsigned>(std::toupper(c) - 'A' + 10);
    } else {
      return false;
    }
    if (magnitude > (limit - digit) / static_cast<std::uint64_t>(base)) return false;
    magnitude = magnitude * static_cast<std::uint64_t>(base) + digit;
  }
  value = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  return true;
}

bool TryDecimalToInt64(std::string_view text, std::int64_t& value) {
  if (text.empty()) return false;
  std::uint64_t magnitude = 0;
  constexpr auto limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (magnitude > (limit - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
  }
  value = static_cast<std::int64_t>(magnitude);
  return true;
}

}  // namespace pravik
