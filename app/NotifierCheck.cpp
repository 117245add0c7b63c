#include "app/NotifierCheck.h"

#include <algorithm>
#include <utility>

#include "app/PeImage.h"
#include "app/TrustResults.h"
#include "ftp/IdFileSystem.h"

namespace pravik::app {

namespace {

std::string Described(const TSignature& signature) {
  const std::string result = TrustResultName(signature.Result);
  switch (SignatureStateOf(signature)) {
    case TSignatureState::Absent: return "unsigned (" + result + ")";
    case TSignatureState::Mismatched: return "a signature that does not match the file (" + result + ")";
    case TSignatureState::Present: break;
  }
  if (signature.Thumbprint.empty())
    return "signed by a certificate that could not be read (" + result + ", last error " +
           TrustResultName(signature.LastError) + ")";
  return "signed by \"" + signature.Subject + "\" (certificate " + signature.Thumbprint +
         (signature.Result == trust::kSuccess ? ", trusted chain)" : ", chain not trusted: " + result + ")");
}

}  // namespace

std::string PublisherFault(const TSignature& installed, const TSignature& received, bool sameSubject) {
  if (SignatureStateOf(installed) != TSignatureState::Present) return {};
  const std::string fault = CertificateFault(received);
  if (fault.empty()) {
    // A certificate that could not be read names no publisher, not even an empty one.
    const bool sameCertificate = !installed.Thumbprint.empty() && received.Thumbprint == installed.Thumbprint;
    const bool renewed = received.Result == trust::kSuccess && sameSubject;
    if (sameCertificate || renewed) return {};
  }
  const bool saysMore = SignatureStateOf(received) == TSignatureState::Present && !received.Thumbprint.empty();
  return "the installed notifier is " + Described(installed) + ", the new one is " + Described(received) +
         (saysMore && !fault.empty() ? ": " + fault : "");
}

std::optional<std::string> PublishedSha256(const std::optional<std::string>& codeText) {
  if (!codeText) return std::nullopt;
  std::string digits;
  for (const char c : *codeText) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') digits += c;
  }
  if (digits.empty()) return std::nullopt;
  const bool hex = digits.size() == 64 && std::all_of(digits.begin(), digits.end(), [](char c) {
                     return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
                   });
  if (!hex)
    throw EUpdateRefused("Hash check: the published SHA-256 \"" + *codeText + "\" is not 64 hexadecimal digits");
  for (char& c : digits) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  }
  return digits;
}

TNotifierCheck::TNotifierCheck(ISignatureReader& signatures, std::string installedPath,
                               std::optional<std::string> codeText)
    : Signatures(signatures), InstalledPath(std::move(installedPath)), CodeText(std::move(codeText)) {}

void TNotifierCheck::Consume(const void* bytes, std::int32_t count) {
  Hash.Update(bytes, static_cast<std::size_t>(count));
  if (Head.size() < kHeadSize)
    Head.append(static_cast<const char*>(bytes), std::min(kHeadSize - Head.size(), static_cast<std::size_t>(count)));
}

void TNotifierCheck::Verify(const std::string& receivedPath, std::int64_t byteCount) {
  if (const std::string fault = PeImageFault(Head, byteCount); !fault.empty())
    throw EUpdateRefused("Windows program check: " + fault + " (" + std::to_string(byteCount) + " bytes)");
  const std::string received = Hash.HexDigest();
  const std::optional<std::string> published = PublishedSha256(CodeText);
  if (published && received != *published)
    throw EUpdateRefused("Hash check: the published SHA-256 is " + *published + ", the file's is " + received);
  std::string publisher = "no installed notifier";
  if (FileExists(InstalledPath)) {
    const TSignature installed = Signatures.SignatureOf(InstalledPath);
    const TSignature signature = Signatures.SignatureOf(receivedPath);
    const std::string fault =
        PublisherFault(installed, signature, Signatures.SameName(installed.EncodedSubject, signature.EncodedSubject));
    if (!fault.empty()) throw EUpdateRefused("Publisher check: " + fault);
    publisher = SignatureStateOf(installed) == TSignatureState::Present
                    ? "the publisher of the installed notifier"
                    : "no publisher imposed, the installed notifier is " + Described(installed);
  }
  FFindings = "Windows program, SHA-256 " + received + (published ? " as published" : " (none published)") + ", " +
              publisher;
}

}  // namespace pravik::app
