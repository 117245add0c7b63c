// The checks of a downloaded notifier: a Windows program, the published SHA-256, the
// publisher; and the platform's SHA-256 itself.
#include "app/NotifierCheck.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "app/PeImage.h"
#include "app/Sha256.h"
#include "app/TrustResults.h"
#include "tests/app/TestPrograms.h"
#include "tests/support/TestFolder.h"
#include "tests/support/ErrorMessage.h"

namespace pravik::app {
namespace {

using test::TMachine;

TEST(Sha256Test, KnownDigestsWholeAndInPieces) {
  TSha256 empty;
  EXPECT_EQ(empty.HexDigest(), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  TSha256 abc;
  abc.Update("a", 1);
  abc.Update("bc", 2);
  EXPECT_EQ(abc.HexDigest(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

struct ImageCase {
  const char* Name;
  std::string Image;
  const char* Fault;  // empty for a good program
  friend void PrintTo(const ImageCase& c, std::ostream* os) { *os << c.Name; }
};

std::string With(std::string image, void (*change)(std::string&)) {
  change(image);
  return image;
}

class PeImageTest : public ::testing::TestWithParam<ImageCase> {};

TEST_P(PeImageTest, AcceptsOnlyWellFormedPrograms) {
  const ImageCase& c = GetParam();
  EXPECT_EQ(PeImageFault(c.Image, static_cast<std::int64_t>(c.Image.size())), c.Fault);
}

const std::string kProgram = test::WindowsProgram("notifier");

INSTANTIATE_TEST_SUITE_P(
    Images, PeImageTest,
    ::testing::Values(
        ImageCase{"X64", kProgram, ""},
        ImageCase{"X86", test::WindowsProgram("notifier", TMachine::X86), ""},
        ImageCase{"Arm64", test::WindowsProgram("notifier", TMachine::Arm64), ""},
        ImageCase{"Empty", "", "no MZ header"},
        ImageCase{"HtmlPage", "<html><body>404 Not Found</body></html>\n", "no MZ header"},
        ImageCase{"MzAlone", "MZ", "the MZ header is cut short"},
        ImageCase{"TruncatedInTheSection", kProgram.substr(0, 0x300), "section 1 ends beyond the file"},
        ImageCase{"TruncatedInTheHeaders", kProgram.substr(0, 0x90), "the PE header offset 0x80 lies beyond the file"},
        ImageCase{"HeaderOffsetBeyondTheEnd",
                  With(kProgram, [](std::string& i) { test::PutU32(i, 0x3C, 0x7FFFFFF0); }),
                  "the PE header offset 0x7FFFFFF0 lies beyond the file"},
        ImageCase{"NoSignature", With(kProgram, [](std::string& i) { i[test::kPeOffset] = 'N'; }), "no PE signature"},
        ImageCase{"Itanium", test::WindowsProgram("notifier", TMachine::Ia64),
                  "machine 0x200 is not x86, x64 or ARM64"},
        ImageCase{"Dll",
                  With(kProgram, [](std::string& i) { test::PutU16(i, test::kCharacteristicsAt, 0x2022); }),
                  "a DLL, not a program"},
        ImageCase{"NotExecutable",
                  With(kProgram, [](std::string& i) { test::PutU16(i, test::kCharacteristicsAt, 0x0020); }),
                  "not an executable image"},
        ImageCase{"MagicOfAnotherMachine",
                  With(kProgram, [](std::string& i) { test::PutU16(i, test::kMagicAt, 0x010B); }),
                  "the optional header's magic 0x10B does not match machine 0x8664"},
        ImageCase{"SectionBeyondTheEnd",
                  With(kProgram,
                       [](std::string& i) { test::PutU32(i, test::SectionTableAt(i) + 16, 0xFFFFFFF0); }),
                  "section 1 ends beyond the file"}),
    [](const ::testing::TestParamInfo<ImageCase>& info) { return std::string(info.param.Name); });

TEST(PeImageTest, HeadersMustLieWithinTheBytesShown) {
  // Only the first 0x100 bytes are at hand of a 0x400-byte file: the section table is not.
  EXPECT_EQ(PeImageFault(std::string_view(kProgram).substr(0, 0x100), 0x400),
            "the section table lies too far into the file");
}

TEST(PublishedSha256Test, ReadsTheCodeTablesText) {
  const std::string lower = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
  const std::string upper = "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855";
  EXPECT_EQ(PublishedSha256(std::nullopt), std::nullopt);
  EXPECT_EQ(PublishedSha256(std::string()), std::nullopt);
  EXPECT_EQ(PublishedSha256(std::string("   ")), std::nullopt);
  EXPECT_EQ(PublishedSha256(lower), lower);
  EXPECT_EQ(PublishedSha256("  " + upper + " \t"), lower);
  // As Windows 7's certutil prints it: in groups.
  std::string grouped;
  for (std::size_t at = 0; at < upper.size(); at += 2) grouped += upper.substr(at, 2) + " ";
  EXPECT_EQ(PublishedSha256(grouped), lower);
  EXPECT_EQ(PublishedSha256("e3b0 c442\t98fc" + lower.substr(12)), lower);
  for (const std::string& wrong : {lower.substr(1), lower + "0", "sha256:" + lower, lower.substr(0, 63) + "g"}) {
    EXPECT_EQ(test::MessageOf<EUpdateRefused>([&] { PublishedSha256(wrong); }),
              "Hash check: the published SHA-256 \"" + wrong + "\" is not 64 hexadecimal digits");
  }
}

TSignature Unsigned() { return {trust::kNoSignature, trust::kNoSignature, "", "", ""}; }
TSignature Broken() { return {trust::kBadDigest, 0, "", "", ""}; }
// A signature whose signer could be read; the doubles encode a subject as its own text.
TSignature SignedBy(const char* thumbprint, const char* subject, std::uint32_t result = trust::kSuccess) {
  return {result, 0, thumbprint, subject, subject};
}
constexpr std::uint32_t kSharingViolation = 32;

// What each result the system may give means: whether an installed file with it imposes the
// rule, and whether a new file with it may replace an installed one signed with the same
// certificate. `Signer`: the system could still name the signer's certificate.
struct TrustCase {
  const char* Name;
  std::uint32_t Result, LastError;
  bool Signer;
  bool Imposes, Accepted;
  friend void PrintTo(const TrustCase& c, std::ostream* os) { *os << c.Name; }
};

class TrustResultTest : public ::testing::TestWithParam<TrustCase> {};

TEST_P(TrustResultTest, TheRuleFailsClosed) {
  const TrustCase& c = GetParam();
  const TSignature signature{c.Result, c.LastError, c.Signer ? "AA" : "", c.Signer ? "CN=Pravik" : "",
                             c.Signer ? "CN=Pravik" : ""};
  // Installed: imposing means an unsigned download is refused.
  EXPECT_EQ(PublisherFault(signature, Unsigned(), false).empty(), !c.Imposes) << PublisherFault(signature, Unsigned(), false);
  const std::string fault = PublisherFault(SignedBy("AA", "CN=Pravik"), signature, c.Signer);
  EXPECT_EQ(fault.empty(), c.Accepted) << fault;
}

INSTANTIATE_TEST_SUITE_P(
    Results, TrustResultTest,
    ::testing::Values(
        TrustCase{"Trusted", trust::kSuccess, 0, true, true, true},
        TrustCase{"NoSignature", trust::kNoSignature, trust::kNoSignature, false, false, false},
        TrustCase{"NoSignatureSubjectFormUnknown", trust::kNoSignature, trust::kSubjectFormUnknown, false, false,
                  false},
        TrustCase{"NoSignatureProviderUnknown", trust::kNoSignature, trust::kProviderUnknown, false, false, false},
        // The same result for a file that could not be opened: nothing is proven.
        TrustCase{"NoSignatureFileNotReadable", trust::kNoSignature, kSharingViolation, false, true, false},
        TrustCase{"SubjectFormUnknownAlone", trust::kSubjectFormUnknown, 0, false, true, false},
        TrustCase{"BadDigest", trust::kBadDigest, 0, true, false, false},
        TrustCase{"UntrustedRoot", trust::kUntrustedRoot, 0, true, true, true},
        TrustCase{"UntrustedTestRoot", trust::kUntrustedTestRoot, 0, true, true, true},
        TrustCase{"UntrustedCa", trust::kUntrustedCa, 0, true, true, true},
        TrustCase{"Chaining", trust::kChaining, 0, true, true, true},
        TrustCase{"ValidityPeriodNesting", trust::kValidityPeriodNesting, 0, true, true, true},
        TrustCase{"WrongUsage", trust::kWrongUsage, 0, true, true, true},
        TrustCase{"CertSignature", trust::kCertSignature, 0, true, true, true},
        TrustCase{"BasicConstraints", trust::kBasicConstraints, 0, true, true, true},
        TrustCase{"TimeStamp", trust::kTimeStamp, 0, true, true, true},
        TrustCase{"SecuritySettings", trust::kSecuritySettings, 0, true, true, true},
        TrustCase{"ExplicitDistrust", trust::kExplicitDistrust, 0, true, true, false},
        TrustCase{"Expired", trust::kExpired, 0, true, true, false},
        TrustCase{"Revoked", trust::kRevoked, 0, true, true, false},
        TrustCase{"SubjectNotTrusted", trust::kSubjectNotTrusted, 0, true, true, false},
        TrustCase{"FileError", trust::kFileError, 0, false, true, false},
        TrustCase{"NobodyListedIt", 0x80001234, 0, true, true, false},
        TrustCase{"TrustedWithoutSigner", trust::kSuccess, 0, false, true, false}),
    [](const ::testing::TestParamInfo<TrustCase>& info) { return std::string(info.param.Name); });

// A system that passes a signer whose certificate has expired (no timestamp) does not get
// it past the rule: the certificate's dates count as the system's CERT_E_EXPIRED.
TEST(TrustResultDatesTest, AnOutOfDateCertificateIsRefusedWhateverTheResult) {
  TSignature received = SignedBy("AA", "CN=Pravik");
  received.OutOfDate = true;
  EXPECT_EQ(CertificateFault(received), "its certificate has expired");
  EXPECT_FALSE(PublisherFault(SignedBy("AA", "CN=Pravik"), received, true).empty());
  // As the installed program it still imposes the rule.
  EXPECT_FALSE(PublisherFault(received, Unsigned(), false).empty());
}

struct PublisherCase {
  const char* Name;
  TSignature Installed, Received;
  bool Accepted;
  friend void PrintTo(const PublisherCase& c, std::ostream* os) { *os << c.Name; }
};

class PublisherRuleTest : public ::testing::TestWithParam<PublisherCase> {};

TEST_P(PublisherRuleTest, ASignedNotifierIsReplacedOnlyByItsPublisher) {
  const PublisherCase& c = GetParam();
  const bool sameSubject = !c.Installed.EncodedSubject.empty() && c.Installed.EncodedSubject == c.Received.EncodedSubject;
  const std::string fault = PublisherFault(c.Installed, c.Received, sameSubject);
  EXPECT_EQ(fault.empty(), c.Accepted) << fault;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PublisherRuleTest,
    ::testing::Values(
        PublisherCase{"UnsignedByUnsigned", Unsigned(), Unsigned(), true},
        PublisherCase{"UnsignedBySigned", Unsigned(), SignedBy("AA", "CN=Pravik", trust::kUntrustedRoot), true},
        PublisherCase{"BrokenInstalledImposesNothing", Broken(), Unsigned(), true},
        PublisherCase{"SignedByUnsigned", SignedBy("AA", "CN=Pravik", trust::kUntrustedRoot), Unsigned(), false},
        PublisherCase{"SignedByBroken", SignedBy("AA", "CN=Pravik", trust::kUntrustedRoot), Broken(), false},
        PublisherCase{"SameCertificateUntrustedRoot", SignedBy("AA", "CN=Pravik", trust::kUntrustedRoot),
                      SignedBy("AA", "CN=Pravik", trust::kUntrustedRoot), true},
        PublisherCase{"AnotherPublisher", SignedBy("AA", "CN=Pravik"), SignedBy("BB", "CN=Other"), false},
        PublisherCase{"RenewedCertificateTrusted", SignedBy("AA", "CN=Pravik", trust::kUntrustedRoot),
                      SignedBy("CC", "CN=Pravik"), true},
        PublisherCase{"SameSubjectUntrusted", SignedBy("AA", "CN=Pravik"),
                      SignedBy("CC", "CN=Pravik", trust::kUntrustedRoot), false},
        // Both signed by one certificate that has since expired: no longer a publisher.
        PublisherCase{"SameCertificateExpired", SignedBy("AA", "CN=Pravik", trust::kExpired),
                      SignedBy("AA", "CN=Pravik", trust::kExpired), false},
        // Names are compared as the certificates encode them: one value that reads like two
        // is another name.
        PublisherCase{"SubjectThatOnlyReadsTheSame", SignedBy("AA", "CN=Pravik, O=Pravik"),
                      {trust::kSuccess, 0, "CC", "CN=Pravik, O=Pravik", "CN=\"Pravik, O=Pravik\""}, false},
        // An installed signature that could not be read imposes the rule, and nothing matches it.
        PublisherCase{"UnreadableInstalledMatchesNothing", TSignature{trust::kNoSignature, kSharingViolation, "", "", ""},
                      SignedBy("", "", trust::kSuccess), false}),
    [](const ::testing::TestParamInfo<PublisherCase>& info) { return std::string(info.param.Name); });

// Signatures by file name, as a test arranges them.
class FakeSignatures : public ISignatureReader {
 public:
  TSignature SignatureOf(const std::string& path) override {
    const auto found = ByName.find(std::filesystem::path(path).filename().string());
    return found == ByName.end() ? Unsigned() : found->second;
  }
  bool SameName(const std::string& encoded, const std::string& otherEncoded) override {
    return !encoded.empty() && encoded == otherEncoded;
  }
  std::map<std::string, TSignature> ByName;
};

class NotifierCheckTest : public ::testing::Test {
 protected:
  NotifierCheckTest() {
    Installed = (Folder.Path / "PravikNW.exe").string();
    Received = (Folder.Path / "PravikNW.exe.download").string();
    std::ofstream(Installed, std::ios::binary) << test::WindowsProgram("old");
  }

  // Feeds `bytes` in pieces of 7 as a retrieval would, then verifies.
  void Check(const std::string& bytes, std::optional<std::string> codeText) {
    std::ofstream(Received, std::ios::binary) << bytes;
    TNotifierCheck check(Signatures, Installed, std::move(codeText));
    for (std::size_t at = 0; at < bytes.size(); at += 7)
      check.Consume(bytes.data() + at, static_cast<std::int32_t>(std::min<std::size_t>(7, bytes.size() - at)));
    check.Verify(Received, static_cast<std::int64_t>(bytes.size()));
  }
  static std::string Sha256Of(const std::string& bytes) {
    TSha256 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.HexDigest();
  }

  test::TTestFolder Folder{"check"};
  std::string Installed, Received;
  FakeSignatures Signatures;
};

TEST_F(NotifierCheckTest, TheChecksNameWhatWasExpectedAndWhatCame) {
  const std::string program = test::WindowsProgram("new");
  const std::string digest = Sha256Of(program);
  EXPECT_NO_THROW(Check(program, std::nullopt));
  EXPECT_NO_THROW(Check(program, digest));
  EXPECT_EQ(test::MessageOf<EUpdateRefused>([&] { Check("<html>gone</html>", std::nullopt); }),
            "Windows program check: no MZ header (17 bytes)");
  const std::string other = Sha256Of("other");
  EXPECT_EQ(test::MessageOf<EUpdateRefused>([&] { Check(program, other); }),
            "Hash check: the published SHA-256 is " + other + ", the file's is " + digest);
  EXPECT_EQ(test::MessageOf<EUpdateRefused>([&] { Check(program, std::string("not a digest")); }),
            "Hash check: the published SHA-256 \"not a digest\" is not 64 hexadecimal digits");

  Signatures.ByName["PravikNW.exe"] = SignedBy("AA", "CN=Pravik", trust::kUntrustedRoot);
  EXPECT_EQ(test::MessageOf<EUpdateRefused>([&] { Check(program, digest); }),
            "Publisher check: the installed notifier is signed by \"CN=Pravik\" (certificate AA, chain not "
            "trusted: CERT_E_UNTRUSTEDROOT), the new one is unsigned (TRUST_E_NOSIGNATURE)");
  Signatures.ByName["PravikNW.exe.download"] = SignedBy("AA", "CN=Pravik", trust::kExpired);
  EXPECT_EQ(test::MessageOf<EUpdateRefused>([&] { Check(program, digest); }),
            "Publisher check: the installed notifier is signed by \"CN=Pravik\" (certificate AA, chain not "
            "trusted: CERT_E_UNTRUSTEDROOT), the new one is signed by \"CN=Pravik\" (certificate AA, chain not "
            "trusted: CERT_E_EXPIRED): its certificate has expired");
  Signatures.ByName["PravikNW.exe.download"] = SignedBy("AA", "CN=Pravik", trust::kUntrustedRoot);
  EXPECT_NO_THROW(Check(program, digest));
}

// What passed is told as well: which digest was compared, and whether a publisher counted.
TEST_F(NotifierCheckTest, WhatPassedIsTold) {
  const std::string program = test::WindowsProgram("new");
  const std::string digest = Sha256Of(program);
  auto findings = [&](std::optional<std::string> codeText) {
    std::ofstream(Received, std::ios::binary) << program;
    TNotifierCheck check(Signatures, Installed, std::move(codeText));
    check.Consume(program.data(), static_cast<std::int32_t>(program.size()));
    check.Verify(Received, static_cast<std::int64_t>(program.size()));
    return check.Findings();
  };
  EXPECT_EQ(findings(std::nullopt), "Windows program, SHA-256 " + digest +
                                        " (none published), no publisher imposed, the installed notifier is "
                                        "unsigned (TRUST_E_NOSIGNATURE)");
  Signatures.ByName["PravikNW.exe"] = SignedBy("AA", "CN=Pravik");
  Signatures.ByName["PravikNW.exe.download"] = SignedBy("AA", "CN=Pravik");
  EXPECT_EQ(findings(digest), "Windows program, SHA-256 " + digest +
                                  " as published, the publisher of the installed notifier");
  std::filesystem::remove(Installed);
  EXPECT_EQ(findings(digest), "Windows program, SHA-256 " + digest + " as published, no installed notifier");
}

}  // namespace
}  // namespace pravik::app
