#include "app/NotifierCheck.h"

#include <algorithm>
#include <utility>

#include "app/PeImage.h"
#include "ftp/IdFileSystem.h"

namespace pravik::app {

namespace {

std::string TrimBlanks(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string Described(const TSignature& signature) {
  switch (signature.State) {
    case TSignature::TState::Unsigned: return "unsigned (" + signature.Detail + ")";
    case TSignature::TState::Broken: return "a signature that does not match the file (" + signature.Detail + ")";
    case TSignature::TState::Valid: break;
  }
  return "signed by \"" + signature.Subject + "\" (certificate " + signature.Thumbprint +
         (signature.ChainTrusted ? ", trusted chain)" : ", chain not trusted)");
}

}  // namespace

std::string PublisherFault(const TSignature& installed, const TSignature& received) {
  if (installed.State != TSignature::TState::Valid) return {};
  const bool valid = received.State == TSignature::TState::Valid;
  const bool sameCertificate = valid && received.Thumbprint == installed.Thumbprint;
  const bool renewed = valid && received.ChainTrusted && received.Subject == installed.Subject;
  if (sameCertificate || renewed) return {};
  return "the installed notifier is " + Described(installed) + ", the new one is " + Described(received);
}

std::optional<std::string> PublishedSha256(const std::optional<std::string>& codeText) {
  if (!codeText) return std::nullopt;
  std::string digits = TrimBlanks(*codeText);
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
  if (const std::optional<std::string> published = PublishedSha256(CodeText)) {
    const std::string received = Hash.HexDigest();
    if (received != *published)
      throw EUpdateRefused("Hash check: the published SHA-256 is " + *published + ", the file's is " + received);
  }
  if (FileExists(InstalledPath)) {
    const TSignature installed = Signatures.SignatureOf(InstalledPath);
    const std::string fault = PublisherFault(installed, Signatures.SignatureOf(receivedPath));
    if (!fault.empty()) throw EUpdateRefused("Publisher check: " + fault);
  }
}

}  // namespace pravik::app
