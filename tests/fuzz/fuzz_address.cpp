// Address texts: the dotted forms the stack parses, and the host-to-address step that
// must take an address text as it is and leave only other names to the resolver.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "net/IdException.h"
#include "net/IdGlobal.h"
#include "net/IdStack.h"
#include "tests/fuzz/FuzzSupport.h"

namespace pravik::fuzz {
namespace {

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::uint64_t Decimal(std::string_view digits) {
  std::uint64_t value = 0;
  for (char c : digits) value = value * 10 + static_cast<std::uint64_t>(c - '0');
  return value;
}

std::string Dotted(const std::uint8_t (&b)[4]) {
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
         std::to_string(b[3]);
}

// The bytes of a text in the common forms: four decimal numbers of at most three digits
// up to 255, or one decimal number of at most ten digits that fits 32 bits.
bool CommonForm(std::string_view text, std::uint8_t (&bytes)[4]) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t dot = text.find('.');
    parts.push_back(text.substr(0, dot));
    if (dot == std::string_view::npos) break;
    text.remove_prefix(dot + 1);
  }
  if (parts.size() == 1 && AllDigits(parts[0]) && parts[0].size() <= 10 &&
      Decimal(parts[0]) <= 0xFFFFFFFFu) {
    const std::uint64_t v = Decimal(parts[0]);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    return true;
  }
  if (parts.size() != 4) return false;
  for (int i = 0; i < 4; ++i) {
    if (!AllDigits(parts[i]) || parts[i].size() > 3 || Decimal(parts[i]) > 255) return false;
    bytes[i] = static_cast<std::uint8_t>(Decimal(parts[i]));
  }
  return true;
}

}  // namespace
}  // namespace pravik::fuzz

using namespace pravik;
using namespace pravik::fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InstallNoLookupStack();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  NoLookupStack& stack = InstallNoLookupStack();
  const std::string text(reinterpret_cast<const char*>(data), size);

  std::uint8_t bytes[4] = {};
  const bool parsed = TIdStack::ParseIPText(text, bytes);
  std::uint8_t common[4];
  if (CommonForm(text, common)) {
    FUZZ_CHECK(parsed);
    FUZZ_CHECK(std::memcmp(bytes, common, 4) == 0);
  }

  const int lookups = stack.Lookups;
  if (parsed) {
    const std::string dotted = Dotted(bytes);
    std::uint8_t again[4] = {};
    FUZZ_CHECK(TIdStack::ParseIPText(dotted, again));
    FUZZ_CHECK(std::memcmp(bytes, again, 4) == 0);
    FUZZ_CHECK(stack.InAddrToText(bytes) == dotted);
    FUZZ_CHECK(stack.HostToIP(dotted) == dotted);
    FUZZ_CHECK(stack.HostToIP(text) == text);
    FUZZ_CHECK(stack.Lookups == lookups);
    return 0;
  }
  if (UpperCaseAscii(text) == "LOCALHOST") {
    FUZZ_CHECK(stack.HostToIP(text) == "127.0.0.1");
    FUZZ_CHECK(stack.Lookups == lookups);
    return 0;
  }
  // Anything else is a name, and only a name goes to the resolver (here one that knows none).
  try {
    stack.HostToIP(text);
    FUZZ_CHECK(false);
  } catch (const EIdSocketError& e) {
    FUZZ_CHECK(e.SocketErrorCode == Id_WSAHOST_NOT_FOUND);
  }
  FUZZ_CHECK(stack.Lookups == lookups + 1);
  return 0;
}
