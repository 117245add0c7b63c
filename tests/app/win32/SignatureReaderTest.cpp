// Authenticode signatures as the system reports them, on stand-in notifiers that the test
// fixture signed as two test publishers (see sign-test-programs).
#include "app/win32/Win32SignatureReader.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "app/NotifierCheck.h"
#include "app/TrustResults.h"
#include "net/win32/IdWin32Text.h"

namespace pravik::app {
namespace {

class SignatureReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* folder = std::getenv("PRAVIK_SIGNED_PROGRAMS");
    ASSERT_NE(folder, nullptr) << "PRAVIK_SIGNED_PROGRAMS names the signed programs' folder";
    Folder = folder;
    std::ifstream list(Folder + "\\thumbprints");
    for (std::string name, thumbprint; list >> name >> thumbprint;) Thumbprints[name] = thumbprint;
    ASSERT_EQ(Thumbprints.size(), 5u);
  }
  TSignature Of(const std::string& name) { return Reader.SignatureOf(Folder + "\\" + name); }

  std::string Folder;
  std::map<std::string, std::string> Thumbprints;
  TWin32SignatureReader Reader;
};

TEST_F(SignatureReaderTest, AnUnsignedProgramIsShownToCarryNoSignature) {
  const TSignature signature = Of("unsigned.exe");
  EXPECT_EQ(TrustResultName(signature.Result), "TRUST_E_NOSIGNATURE");
  EXPECT_EQ(SignatureStateOf(signature), TSignatureState::Absent) << TrustResultName(signature.LastError);
  EXPECT_TRUE(signature.Thumbprint.empty());
}

TEST_F(SignatureReaderTest, ASignedProgramNamesItsSigner) {
  const TSignature a = Of("new-a.exe");
  EXPECT_EQ(a.Result, trust::kSuccess) << TrustResultName(a.Result);
  EXPECT_EQ(a.Thumbprint, Thumbprints["a"]);
  // In the system's own form of a name (Wine quotes some parts).
  EXPECT_NE(a.Subject.find("Pravik Test Publisher A"), std::string::npos) << a.Subject;
  EXPECT_NE(a.Subject.find("O=Pravik Test"), std::string::npos) << a.Subject;
  const TSignature renewed = Of("new-a-renewed.exe");
  EXPECT_EQ(renewed.Thumbprint, Thumbprints["a-renewed"]);
  EXPECT_TRUE(Reader.SameName(renewed.EncodedSubject, a.EncodedSubject));
  const TSignature b = Of("new-b.exe");
  EXPECT_EQ(b.Thumbprint, Thumbprints["b"]);
  EXPECT_FALSE(Reader.SameName(b.EncodedSubject, a.EncodedSubject));
  EXPECT_FALSE(Reader.SameName("", ""));
}

TEST_F(SignatureReaderTest, AProgramChangedAfterSigningDoesNotMatch) {
  const TSignature signature = Of("new-a-changed.exe");
  EXPECT_EQ(TrustResultName(signature.Result), "TRUST_E_BAD_DIGEST");
  EXPECT_EQ(SignatureStateOf(signature), TSignatureState::Mismatched);
}

// Signed by one certificate that has since expired: the signer is still named, and the rule
// refuses it even in place of a program signed with the very same certificate.
TEST_F(SignatureReaderTest, AnExpiredCertificateIsNamedAndRefused) {
  const TSignature installed = Of("old-e.exe");
  const TSignature received = Of("new-e.exe");
  // Windows says CERT_E_EXPIRED; Wine's policy passes it, and the dates tell.
  EXPECT_TRUE(received.Result == trust::kExpired || received.OutOfDate) << TrustResultName(received.Result);
  EXPECT_EQ(received.Thumbprint, Thumbprints["e"]);
  EXPECT_EQ(CertificateFault(received), "its certificate has expired");
  EXPECT_EQ(SignatureStateOf(installed), TSignatureState::Present);
  EXPECT_FALSE(PublisherFault(installed, received, Reader.SameName(installed.EncodedSubject,
                                                                   received.EncodedSubject))
                   .empty());
}

// A file that cannot be opened is not shown to be unsigned: it imposes the rule.
TEST_F(SignatureReaderTest, AFileThatCannotBeReadIsNotUnsigned) {
  const std::string path = Folder + "\\held-open.exe";
  ASSERT_TRUE(::CopyFileW(WideFromCP949(Folder + "\\new-a.exe").c_str(), WideFromCP949(path).c_str(), FALSE));
  const HANDLE held = ::CreateFileW(WideFromCP949(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const TSignature signature = Of("held-open.exe");
  ::CloseHandle(held);
  ::DeleteFileW(WideFromCP949(path).c_str());
  EXPECT_EQ(SignatureStateOf(signature), TSignatureState::Present)
      << TrustResultName(signature.Result) << ", last error " << TrustResultName(signature.LastError);
}

}  // namespace
}  // namespace pravik::app
