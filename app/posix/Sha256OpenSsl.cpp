#include "app/Sha256.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace pravik::app {

struct TSha256::State {
  EVP_MD_CTX* Context = nullptr;
};

TSha256::TSha256() : Hash(std::make_unique<State>()) {
  Hash->Context = ::EVP_MD_CTX_new();
  if (!Hash->Context || ::EVP_DigestInit_ex(Hash->Context, ::EVP_sha256(), nullptr) != 1) {
    ::EVP_MD_CTX_free(Hash->Context);
    throw std::runtime_error("SHA-256 is not available");
  }
}

TSha256::~TSha256() { ::EVP_MD_CTX_free(Hash->Context); }

void TSha256::Update(const void* bytes, std::size_t count) { ::EVP_DigestUpdate(Hash->Context, bytes, count); }

void TSha256::Finish(unsigned char (&digest)[32]) {
  unsigned int length = sizeof digest;
  ::EVP_DigestFinal_ex(Hash->Context, digest, &length);
}

}  // namespace pravik::app
