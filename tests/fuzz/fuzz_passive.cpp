// The first text line of a PASV reply, turned into the data connection's address and port.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/IdFTP.h"
#include "ftp/IdFTPErrors.h"
#include "tests/fuzz/FuzzSupport.h"

namespace pravik::fuzz {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

// The six numbers of a plainly written reply: one pair of parentheses around them, or none
// and the numbers after the last blank; each of one to three decimal digits. Empty when the
// line is not written so.
std::vector<std::string_view> PlainNumbers(std::string_view line) {
  line = Trimmed(line);
  const std::size_t open = line.find('('), close = line.find(')');
  std::string_view inner;
  if (open == std::string_view::npos && close == std::string_view::npos) {
    const std::size_t blank = line.rfind(' ');
    inner = blank == std::string_view::npos ? line : line.substr(blank + 1);
  } else if (open != std::string_view::npos && close != std::string_view::npos && open < close &&
             line.find('(', open + 1) == std::string_view::npos &&
             line.find(')', close + 1) == std::string_view::npos) {
    inner = line.substr(open + 1, close - open - 1);
  } else {
    return {};
  }
  std::vector<std::string_view> numbers;
  for (;;) {
    const std::size_t comma = inner.find(',');
    const std::string_view number = inner.substr(0, comma);
    if (number.empty() || number.size() > 3) return {};
    for (char c : number) {
      if (!IsDigit(c)) return {};
    }
    numbers.push_back(number);
    if (comma == std::string_view::npos) break;
    inner.remove_prefix(comma + 1);
  }
  if (numbers.size() != 6) return {};
  return numbers;
}

int Decimal(std::string_view digits) {
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

}  // namespace
}  // namespace pravik::fuzz

using namespace pravik;
using namespace pravik::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(bytes), size);
  const std::vector<std::string_view> numbers = PlainNumbers(line);
  const int announced = numbers.empty() ? -1 : Decimal(numbers[4]) * 256 + Decimal(numbers[5]);
  std::string ip;
  std::int32_t port = -1;
  try {
    ParsePassiveReply(line, ip, port);
  } catch (const EConvertError& e) {
    const std::string_view message = e.what();
    // what() ends at a NUL byte, which the offending piece itself may hold.
    FUZZ_CHECK(message.starts_with("'"));
    FUZZ_CHECK(message.ends_with("' is not a valid integer value") || line.find('\0') != std::string::npos);
    // Plain numbers are refused only for a port that no TCP connection can have.
    FUZZ_CHECK(numbers.empty() || announced > 65535);
    return 0;
  }
  FUZZ_CHECK(port >= 0 && port <= 65535);
  if (!numbers.empty()) {
    const std::string dotted = std::string(numbers[0]) + "." + std::string(numbers[1]) + "." +
                               std::string(numbers[2]) + "." + std::string(numbers[3]);
    FUZZ_CHECK(ip == dotted);
    FUZZ_CHECK(port == announced);
  }
  return 0;
}
