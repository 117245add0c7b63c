#pragma once
// Small shared helpers of the network components: time-limit markers, the token cut
// used by address and reply parsing, and message formatting with the system's texts.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace pravik {

// Time limits are signed 32-bit milliseconds with two markers.
inline constexpr std::int32_t TimeLimitDefault = -1;   // the receiving operation's default
inline constexpr std::int32_t TimeLimitInfinite = -2;  // no limit

// Returns the text before the first `delimiter` in `input` (all of it when there is none);
// with `deleteToken` the returned text and the delimiter are removed from `input`.
// `caseSensitive` false compares upper-cased copies (ASCII letters only: CP949 lead and
// trail bytes stay as they are).
std::string CutToken(std::string& input, std::string_view delimiter, bool deleteToken = true,
                     bool caseSensitive = true);

// The 1-based position of the first `pattern` within the `length` bytes at `bytes`;
// 0 when absent, when the pattern is empty or when it is longer than `length`.
std::int32_t FindInMemory(std::string_view pattern, const char* bytes, std::int32_t length);

// Fills each "%s" or "%d" of `format` with the next argument, left to right.
std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args);

// The standard text-to-integer conversion of the runtime: optional blanks, an optional
// sign and decimal digits (or "$"/"0x" hexadecimal); false when the text is not one.
bool TryTextToInt64(std::string_view text, std::int64_t& value);
// A decimal number and nothing else: one or more digits 0-9, no blank, sign or prefix;
// false when the text is not one or does not fit.
bool TryDecimalToInt64(std::string_view text, std::int64_t& value);

std::string UpperCaseAscii(std::string_view text);

}  // namespace pravik
