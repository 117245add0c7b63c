#include "app/win32/Win32SignatureReader.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdio>
#include <string>

#include "app/TrustResults.h"
#include "net/win32/IdWin32Text.h"

namespace pravik::app {

namespace {

// The portable rule names the system's results by number; they must be the system's.
static_assert(trust::kNoSignature == static_cast<std::uint32_t>(TRUST_E_NOSIGNATURE));
static_assert(trust::kSubjectFormUnknown == static_cast<std::uint32_t>(TRUST_E_SUBJECT_FORM_UNKNOWN));
static_assert(trust::kProviderUnknown == static_cast<std::uint32_t>(TRUST_E_PROVIDER_UNKNOWN));
static_assert(trust::kBadDigest == static_cast<std::uint32_t>(TRUST_E_BAD_DIGEST));
static_assert(trust::kExplicitDistrust == static_cast<std::uint32_t>(TRUST_E_EXPLICIT_DISTRUST));
static_assert(trust::kExpired == static_cast<std::uint32_t>(CERT_E_EXPIRED));
static_assert(trust::kRevoked == static_cast<std::uint32_t>(CERT_E_REVOKED));
static_assert(trust::kUntrustedRoot == static_cast<std::uint32_t>(CERT_E_UNTRUSTEDROOT));
static_assert(trust::kUntrustedCa == static_cast<std::uint32_t>(CERT_E_UNTRUSTEDCA));
static_assert(trust::kSecuritySettings == static_cast<std::uint32_t>(CRYPT_E_SECURITY_SETTINGS));

std::string Thumbprint(PCCERT_CONTEXT certificate) {
  BYTE hash[20];
  DWORD size = sizeof hash;
  if (!::CertGetCertificateContextProperty(certificate, CERT_SHA1_HASH_PROP_ID, hash, &size)) return {};
  std::string hex;
  char digits[3];
  for (DWORD i = 0; i < size; ++i) {
    std::snprintf(digits, sizeof digits, "%02X", hash[i]);
    hex += digits;
  }
  return hex;
}

// The subject as a reader of the log knows it; only for showing, never for comparing.
std::string SubjectText(PCCERT_CONTEXT certificate) {
  CERT_NAME_BLOB* name = &certificate->pCertInfo->Subject;
  constexpr DWORD kForm = CERT_X500_NAME_STR | CERT_NAME_STR_NO_QUOTING_FLAG;
  const DWORD length = ::CertNameToStrW(X509_ASN_ENCODING, name, kForm, nullptr, 0);
  if (length <= 1) return {};
  std::wstring text(length, L'\0');
  ::CertNameToStrW(X509_ASN_ENCODING, name, kForm, text.data(), length);
  text.resize(length - 1);
  return CP949FromWide(text);
}

CERT_NAME_BLOB NameBlob(const std::string& encoded) {
  CERT_NAME_BLOB blob{};
  blob.cbData = static_cast<DWORD>(encoded.size());
  blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(encoded.data()));
  return blob;
}

}  // namespace

TSignature TWin32SignatureReader::SignatureOf(const std::string& path) {
  const std::wstring file = WideFromCP949(path);
  WINTRUST_FILE_INFO fileInfo{};
  fileInfo.cbStruct = sizeof fileInfo;
  fileInfo.pcwszFilePath = file.c_str();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &fileInfo;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  // Workstations may be offline: no lookups on the network for the chain either.
  data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  ::SetLastError(ERROR_SUCCESS);
  const LONG result = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);

  TSignature signature;
  signature.Result = static_cast<std::uint32_t>(result);
  signature.LastError = static_cast<std::uint32_t>(::GetLastError());
  // The signer is read whatever the result: a chain the system does not trust, an expired
  // or distrusted certificate still name the publisher, and the rule decides about them.
  if (data.hWVTStateData) {
    CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* signer = provider ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    if (signer && signer->csCertChain > 0 && signer->pasCertChain && signer->pasCertChain[0].pCert) {
      PCCERT_CONTEXT certificate = signer->pasCertChain[0].pCert;
      signature.Thumbprint = Thumbprint(certificate);
      signature.Subject = SubjectText(certificate);
      const CERT_NAME_BLOB& subject = certificate->pCertInfo->Subject;
      signature.EncodedSubject.assign(reinterpret_cast<const char*>(subject.pbData), subject.cbData);
      // Not every system's policy looks at the dates (Wine's passes an expired signer); a
      // timestamp would vouch for the signing time, without one the dates are now's.
      signature.OutOfDate =
          signer->csCounterSigners == 0 && ::CertVerifyTimeValidity(nullptr, certificate->pCertInfo) != 0;
    }
  }
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return signature;
}

bool TWin32SignatureReader::SameName(const std::string& encoded, const std::string& otherEncoded) {
  if (encoded.empty() || otherEncoded.empty()) return false;
  CERT_NAME_BLOB one = NameBlob(encoded);
  CERT_NAME_BLOB other = NameBlob(otherEncoded);
  return ::CertCompareCertificateName(X509_ASN_ENCODING, &one, &other) != FALSE;
}

}  // namespace pravik::app
