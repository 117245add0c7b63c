#pragma once
// What the system's Authenticode results mean for the publisher rule. The Windows reader
// only collects the results; deciding lives here, so every result the system may give is
// judged by one table that also runs natively.

#include <cstdint>
#include <string>

#include "app/UpdateServices.h"

namespace pravik::app {

// WinVerifyTrust's results and last errors that the rule names, as the system numbers them.
namespace trust {
constexpr std::uint32_t kSuccess = 0;
constexpr std::uint32_t kProviderUnknown = 0x800B0001;      // TRUST_E_PROVIDER_UNKNOWN
constexpr std::uint32_t kSubjectFormUnknown = 0x800B0003;   // TRUST_E_SUBJECT_FORM_UNKNOWN
constexpr std::uint32_t kSubjectNotTrusted = 0x800B0004;    // TRUST_E_SUBJECT_NOT_TRUSTED
constexpr std::uint32_t kNoSignature = 0x800B0100;          // TRUST_E_NOSIGNATURE
constexpr std::uint32_t kExpired = 0x800B0101;              // CERT_E_EXPIRED
constexpr std::uint32_t kValidityPeriodNesting = 0x800B0102;  // CERT_E_VALIDITYPERIODNESTING
constexpr std::uint32_t kUntrustedRoot = 0x800B0109;        // CERT_E_UNTRUSTEDROOT
constexpr std::uint32_t kChaining = 0x800B010A;             // CERT_E_CHAINING
constexpr std::uint32_t kRevoked = 0x800B010C;              // CERT_E_REVOKED
constexpr std::uint32_t kUntrustedTestRoot = 0x800B010D;    // CERT_E_UNTRUSTEDTESTROOT
constexpr std::uint32_t kWrongUsage = 0x800B0110;           // CERT_E_WRONG_USAGE
constexpr std::uint32_t kExplicitDistrust = 0x800B0111;     // TRUST_E_EXPLICIT_DISTRUST
constexpr std::uint32_t kUntrustedCa = 0x800B0112;          // CERT_E_UNTRUSTEDCA
constexpr std::uint32_t kCertSignature = 0x80096004;        // TRUST_E_CERT_SIGNATURE
constexpr std::uint32_t kTimeStamp = 0x80096005;            // TRUST_E_TIME_STAMP
constexpr std::uint32_t kBadDigest = 0x80096010;            // TRUST_E_BAD_DIGEST
constexpr std::uint32_t kBasicConstraints = 0x80096019;     // TRUST_E_BASIC_CONSTRAINTS
constexpr std::uint32_t kFileError = 0x80092003;            // CRYPT_E_FILE_ERROR
constexpr std::uint32_t kSecuritySettings = 0x80092026;     // CRYPT_E_SECURITY_SETTINGS
}  // namespace trust

// The one answer both files of an update get from their results.
enum class TSignatureState {
  Absent,      // the system showed that the file carries no signature
  Mismatched,  // the system showed that the file does not match its signature
  Present,     // anything else: a signature is there, or nothing was shown either way
};

// Absent only for "no signature" confirmed by the last error, Mismatched only for a bad
// digest; every other result, one nobody listed included, is Present.
TSignatureState SignatureStateOf(const TSignature& signature);

// Why a new file's signature names no publisher that may replace one, whatever its
// certificate: empty when it may. The result must say that the digest matches (success, or
// a fault of the chain or of a policy only), the certificate must be neither distrusted,
// expired nor revoked, and it must have been read.
std::string CertificateFault(const TSignature& signature);

// The result's name as the system's headers spell it ("TRUST_E_NOSIGNATURE"), "trusted"
// for success, else its number ("0x800B0109").
std::string TrustResultName(std::uint32_t result);

}  // namespace pravik::app
