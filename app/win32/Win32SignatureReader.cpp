#include "app/win32/Win32SignatureReader.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdio>
#include <string>

#include "net/win32/IdWin32Text.h"

namespace pravik::app {

namespace {

// The system's result in its own words where they matter, else its number.
std::string ResultName(LONG result) {
  switch (static_cast<HRESULT>(result)) {
    case ERROR_SUCCESS: return "trusted";
    case TRUST_E_NOSIGNATURE: return "TRUST_E_NOSIGNATURE";
    case TRUST_E_SUBJECT_FORM_UNKNOWN: return "TRUST_E_SUBJECT_FORM_UNKNOWN";
    case TRUST_E_BAD_DIGEST: return "TRUST_E_BAD_DIGEST";
    case CERT_E_UNTRUSTEDROOT: return "CERT_E_UNTRUSTEDROOT";
    case CERT_E_CHAINING: return "CERT_E_CHAINING";
    case CERT_E_EXPIRED: return "CERT_E_EXPIRED";
    default: break;
  }
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
  return text;
}

// Results for a signature that matches its file but whose signer the system does not (or
// not fully) trust: the certificate still names the publisher.
bool OnlyTheChainFails(LONG result) {
  switch (static_cast<HRESULT>(result)) {
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_CHAINING:
    case CERT_E_EXPIRED:
    case CERT_E_UNTRUSTEDTESTROOT:
    case CERT_E_WRONG_USAGE:
    case TRUST_E_EXPLICIT_DISTRUST:
      return true;
    default:
      return false;
  }
}

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

std::string Subject(PCCERT_CONTEXT certificate) {
  CERT_NAME_BLOB* name = &certificate->pCertInfo->Subject;
  constexpr DWORD kForm = CERT_X500_NAME_STR | CERT_NAME_STR_NO_QUOTING_FLAG;
  const DWORD length = ::CertNameToStrW(X509_ASN_ENCODING, name, kForm, nullptr, 0);
  if (length <= 1) return {};
  std::wstring text(length, L'\0');
  ::CertNameToStrW(X509_ASN_ENCODING, name, kForm, text.data(), length);
  text.resize(length - 1);
  return CP949FromWide(text);
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
  const LONG result = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);

  TSignature signature;
  signature.Detail = ResultName(result);
  const HRESULT code = static_cast<HRESULT>(result);
  if (code == TRUST_E_NOSIGNATURE || code == TRUST_E_SUBJECT_FORM_UNKNOWN || code == TRUST_E_PROVIDER_UNKNOWN) {
    signature.State = TSignature::TState::Unsigned;
  } else if (result == ERROR_SUCCESS || OnlyTheChainFails(result)) {
    CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* signer = provider ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    if (signer && signer->csCertChain > 0 && signer->pasCertChain && signer->pasCertChain[0].pCert) {
      signature.State = TSignature::TState::Valid;
      signature.ChainTrusted = result == ERROR_SUCCESS;
      signature.Thumbprint = Thumbprint(signer->pasCertChain[0].pCert);
      signature.Subject = Subject(signer->pasCertChain[0].pCert);
    } else {
      signature.State = TSignature::TState::Broken;
      signature.Detail += ", no signer certificate";
    }
  } else {
    signature.State = TSignature::TState::Broken;
  }
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return signature;
}

}  // namespace pravik::app
