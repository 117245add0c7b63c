#include "app/TrustResults.h"

#include <cstdio>

namespace pravik::app {

TSignatureState SignatureStateOf(const TSignature& signature) {
  switch (signature.Result) {
    case trust::kNoSignature:
      // The same result comes for a file that could not be opened or read; only the last
      // error tells an unsigned file apart.
      switch (signature.LastError) {
        case trust::kNoSignature:
        case trust::kSubjectFormUnknown:
        case trust::kProviderUnknown:
          return TSignatureState::Absent;
        default:
          return TSignatureState::Present;
      }
    case trust::kBadDigest:
      return TSignatureState::Mismatched;
    default:
      return TSignatureState::Present;
  }
}

std::string CertificateFault(const TSignature& signature) {
  switch (SignatureStateOf(signature)) {
    case TSignatureState::Absent: return "it is unsigned";
    case TSignatureState::Mismatched: return "it does not match its signature";
    case TSignatureState::Present: break;
  }
  switch (signature.Result) {
    // The digest matches; only the chain or a policy fails. The thumbprint or the subject
    // then tells whether the publisher is the installed one's.
    case trust::kSuccess:
    case trust::kUntrustedRoot:
    case trust::kUntrustedTestRoot:
    case trust::kUntrustedCa:
    case trust::kChaining:
    case trust::kValidityPeriodNesting:
    case trust::kWrongUsage:
    case trust::kCertSignature:
    case trust::kBasicConstraints:
    case trust::kTimeStamp:
    case trust::kSecuritySettings:
      break;
    // A certificate in the Disallowed store is how an administrator retires a stolen key.
    case trust::kExplicitDistrust: return "its certificate is explicitly distrusted";
    case trust::kExpired: return "its certificate has expired";
    case trust::kRevoked: return "its certificate is revoked";
    // Nobody can say the file matches its signature: refused, whatever its certificate.
    default: return "its signature could not be verified";
  }
  if (signature.Thumbprint.empty()) return "its signer's certificate could not be read";
  if (signature.OutOfDate) return "its certificate has expired";
  return {};
}

std::string TrustResultName(std::uint32_t result) {
  struct TName {
    std::uint32_t Result;
    const char* Name;
  };
  static constexpr TName kNames[] = {
      {trust::kSuccess, "trusted"},
      {trust::kProviderUnknown, "TRUST_E_PROVIDER_UNKNOWN"},
      {trust::kSubjectFormUnknown, "TRUST_E_SUBJECT_FORM_UNKNOWN"},
      {trust::kSubjectNotTrusted, "TRUST_E_SUBJECT_NOT_TRUSTED"},
      {trust::kNoSignature, "TRUST_E_NOSIGNATURE"},
      {trust::kExpired, "CERT_E_EXPIRED"},
      {trust::kValidityPeriodNesting, "CERT_E_VALIDITYPERIODNESTING"},
      {trust::kUntrustedRoot, "CERT_E_UNTRUSTEDROOT"},
      {trust::kChaining, "CERT_E_CHAINING"},
      {trust::kRevoked, "CERT_E_REVOKED"},
      {trust::kUntrustedTestRoot, "CERT_E_UNTRUSTEDTESTROOT"},
      {trust::kWrongUsage, "CERT_E_WRONG_USAGE"},
      {trust::kExplicitDistrust, "TRUST_E_EXPLICIT_DISTRUST"},
      {trust::kUntrustedCa, "CERT_E_UNTRUSTEDCA"},
      {trust::kCertSignature, "TRUST_E_CERT_SIGNATURE"},
      {trust::kTimeStamp, "TRUST_E_TIME_STAMP"},
      {trust::kBadDigest, "TRUST_E_BAD_DIGEST"},
      {trust::kBasicConstraints, "TRUST_E_BASIC_CONSTRAINTS"},
      {trust::kFileError, "CRYPT_E_FILE_ERROR"},
      {trust::kSecuritySettings, "CRYPT_E_SECURITY_SETTINGS"},
  };
  for (const TName& name : kNames) {
    if (name.Result == result) return name.Name;
  }
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
  return text;
}

}  // namespace pravik::app
