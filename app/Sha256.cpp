#include "app/Sha256.h"

namespace pravik::app {

std::string TSha256::HexDigest() {
  unsigned char digest[32] = {};
  Finish(digest);
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

}  // namespace pravik::app
