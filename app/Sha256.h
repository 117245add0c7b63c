#pragma once
// SHA-256 of data given in pieces, by the platform's own implementation (CNG on Windows,
// OpenSSL's libcrypto elsewhere): the digest of a download is taken as its data arrive.

#include <cstddef>
#include <memory>
#include <string>

namespace pravik::app {

class TSha256 {
 public:
  // Raises std::runtime_error when the platform has no SHA-256.
  TSha256();
  ~TSha256();
  TSha256(const TSha256&) = delete;
  TSha256& operator=(const TSha256&) = delete;

  void Update(const void* bytes, std::size_t count);
  // The digest of everything given so far as 64 lower-case hexadecimal digits. Nothing may
  // be given afterwards.
  std::string HexDigest();

 private:
  // The platform's end of the hash: the 32 bytes of the digest.
  void Finish(unsigned char (&digest)[32]);

  struct State;
  std::unique_ptr<State> Hash;
};

}  // namespace pravik::app
