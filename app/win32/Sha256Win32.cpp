#include "app/Sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <stdexcept>

namespace pravik::app {

struct TSha256::State {
  BCRYPT_ALG_HANDLE Algorithm = nullptr;
  BCRYPT_HASH_HANDLE Hash = nullptr;
};

TSha256::TSha256() : Hash(std::make_unique<State>()) {
  // The object memory is the system's to manage (none given), as CNG allows since Windows 7.
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&Hash->Algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
    throw std::runtime_error("SHA-256 is not available");
  if (!BCRYPT_SUCCESS(::BCryptCreateHash(Hash->Algorithm, &Hash->Hash, nullptr, 0, nullptr, 0, 0))) {
    ::BCryptCloseAlgorithmProvider(Hash->Algorithm, 0);
    throw std::runtime_error("SHA-256 is not available");
  }
}

TSha256::~TSha256() {
  ::BCryptDestroyHash(Hash->Hash);
  ::BCryptCloseAlgorithmProvider(Hash->Algorithm, 0);
}

void TSha256::Update(const void* bytes, std::size_t count) {
  // CNG takes at most 4 GiB at once; the pieces of a download are far smaller.
  auto* next = static_cast<PUCHAR>(const_cast<void*>(bytes));
  while (count > 0) {
    const ULONG piece = count > 0x40000000u ? 0x40000000u : static_cast<ULONG>(count);
    ::BCryptHashData(Hash->Hash, next, piece, 0);
    next += piece;
    count -= piece;
  }
}

void TSha256::Finish(unsigned char (&digest)[32]) { ::BCryptFinishHash(Hash->Hash, digest, sizeof digest, 0); }

}  // namespace pravik::app
