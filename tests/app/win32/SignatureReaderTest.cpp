// Authenticode signatures as the system reports them, on stand-in notifiers that the test
// fixture signed as two test publishers (see sign-test-programs).
#include "app/win32/Win32SignatureReader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

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
    ASSERT_EQ(Thumbprints.size(), 3u);
  }
  TSignature Of(const std::string& name) { return Reader.SignatureOf(Folder + "\\" + name); }

  std::string Folder;
  std::map<std::string, std::string> Thumbprints;
  TWin32SignatureReader Reader;
};

TEST_F(SignatureReaderTest, AnUnsignedProgramIsUnsigned) {
  const TSignature signature = Of("unsigned.exe");
  EXPECT_EQ(signature.State, TSignature::TState::Unsigned);
  EXPECT_EQ(signature.Detail, "TRUST_E_NOSIGNATURE");
}

TEST_F(SignatureReaderTest, ASignedProgramNamesItsSigner) {
  const TSignature a = Of("new-a.exe");
  EXPECT_EQ(a.State, TSignature::TState::Valid) << a.Detail;
  EXPECT_EQ(a.Thumbprint, Thumbprints["a"]);
  // In the system's own form of a name (Wine quotes some parts).
  EXPECT_NE(a.Subject.find("Pravik Test Publisher A"), std::string::npos) << a.Subject;
  EXPECT_NE(a.Subject.find("O=Pravik Test"), std::string::npos) << a.Subject;
  const TSignature renewed = Of("new-a-renewed.exe");
  EXPECT_EQ(renewed.Thumbprint, Thumbprints["a-renewed"]);
  EXPECT_EQ(renewed.Subject, a.Subject);
  EXPECT_EQ(Of("new-b.exe").Thumbprint, Thumbprints["b"]);
}

TEST_F(SignatureReaderTest, AProgramChangedAfterSigningIsBroken) {
  const TSignature signature = Of("new-a-changed.exe");
  EXPECT_EQ(signature.State, TSignature::TState::Broken);
  EXPECT_EQ(signature.Detail, "TRUST_E_BAD_DIGEST");
}

}  // namespace
}  // namespace pravik::app
