#pragma once
// Authenticode signatures as Windows checks them: WinVerifyTrust without any window and
// without revocation lookups, and the signer's certificate from its result.

#include "app/UpdateServices.h"

namespace pravik::app {

class TWin32SignatureReader : public ISignatureReader {
 public:
  TSignature SignatureOf(const std::string& path) override;
};

}  // namespace pravik::app
