#pragma once
// The checks a downloaded notifier passes before it replaces the installed one: a Windows
// program, the SHA-256 the code table publishes (when it publishes one), and the publisher
// of a signed installed notifier. Fed by the retrieval as the data arrive, so the file is
// never read a second time.

#include <optional>
#include <stdexcept>
#include <string>

#include "app/Sha256.h"
#include "app/UpdateServices.h"
#include "ftp/IdFTP.h"

namespace pravik::app {

// A downloaded file that a check refused: "<check> check: <what was expected against what
// came>".
class EUpdateRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The publisher rule on two signatures: empty text when `received` may replace
// `installed`, else why not. An installed program imposes the rule unless the system
// showed that it is unsigned or does not match its signature; then the new file must
// match its own signature with a certificate that is neither distrusted nor expired, and
// be signed with the same certificate, or with one of the same subject (`sameSubject`) whose
// chain the system trusts (a renewed certificate).
std::string PublisherFault(const TSignature& installed, const TSignature& received, bool sameSubject);

// The published SHA-256 as 64 lower-case hexadecimal digits, from the code table's text
// (blanks anywhere ignored, as Windows 7's certutil prints the digits in groups; either case); nullopt for no text or an empty one. Raises
// EUpdateRefused for any other text: a misconfigured row is never skipped silently.
std::optional<std::string> PublishedSha256(const std::optional<std::string>& codeText);

class TNotifierCheck : public TIdRetrievalCheck {
 public:
  // `installedPath`: the notifier program in place now; `codeText`: the published SHA-256
  // as the code table holds it (nullopt: no row or NULL).
  TNotifierCheck(ISignatureReader& signatures, std::string installedPath, std::optional<std::string> codeText);

  void Consume(const void* bytes, std::int32_t count) override;
  // Raises EUpdateRefused naming the first check that refuses.
  void Verify(const std::string& receivedPath, std::int64_t byteCount) override;
  // After a Verify that passed: what each check found, for the log ("Windows program,
  // SHA-256 … as published, …").
  const std::string& Findings() const { return FFindings; }

  // The most of the file's start kept for the look at its headers.
  static constexpr std::size_t kHeadSize = 64 * 1024;

 private:
  ISignatureReader& Signatures;
  const std::string InstalledPath;
  const std::optional<std::string> CodeText;
  TSha256 Hash;
  std::string Head;
  std::string FFindings;
};

}  // namespace pravik::app
