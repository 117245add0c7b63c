#pragma once
// Authenticode signatures as Windows checks them: WinVerifyTrust without any window and
// without revocation lookups, its results as they come and the signer's certificate.

#include "app/UpdateServices.h"

namespace pravik::app {

class TWin32SignatureReader : public ISignatureReader {
 public:
  TSignature SignatureOf(const std::string& path) override;
  // CertCompareCertificateName on the two encoded names.
  bool SameName(const std::string& encoded, const std::string& otherEncoded) override;
};

}  // namespace pravik::app
