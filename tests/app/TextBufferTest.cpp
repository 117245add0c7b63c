// The version file's text buffer: line breaks made CR LF on loading, the first line
// replaced with everything after it kept, nothing added at the end.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/FileRewrite.h"
#include "app/TextBuffer.h"
#include "ftp/IdStream.h"
#include "tests/support/TestFolder.h"
#include "tests/support/ErrorMessage.h"
#include "tests/support/TestPlatform.h"

namespace pravik::app {
namespace {

class TextBufferTest : public ::testing::Test {
 protected:
  TextBufferTest() {
    Path = (Folder.Path / "Version.txt").string();
  }
  void Write(const std::string& bytes) {
    std::ofstream(Path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::string Read() {
    std::ifstream file(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }

  test::TTestFolder Folder{"text"};
  std::string Path;
  TTextBuffer Buffer;
};

TEST_F(TextBufferTest, RewritesTheFirstLineAndKeepsTheRest) {
  struct Case {
    std::string Old, FirstLine, Written;
  };
  const Case cases[] = {
      {"", "", "0408"},
      {"0407", "0407", "0408"},
      {"0407\n2nd\n", "0407", "0408\r\n2nd\r\n"},
      {"0407\r\n2nd\r3rd\n\n", "0407", "0408\r\n2nd\r\n3rd\r\n\r\n"},
      {"\r\nrest", "", "0408\r\nrest"},
      {"N\r\n\xB9\xF6\xC0\xFC", "N", "0408\r\n\xB9\xF6\xC0\xFC"},
      {"0407\r\r\n", "0407", "0408\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Old);
    Write(c.Old);
    Buffer.LoadFromFile(Path);
    EXPECT_EQ(Buffer.FirstLine(), c.FirstLine);
    Buffer.ReplaceFirstLine("0408");
    Buffer.SaveToFile(Path);
    EXPECT_EQ(Read(), c.Written);
  }
}

TEST_F(TextBufferTest, AnEmptyBufferBecomesTheVersionAlone) {
  Buffer.ReplaceFirstLine("");
  Buffer.SaveToFile(Path);
  EXPECT_EQ(Read(), "");
  Buffer.ReplaceFirstLine("0408");
  Buffer.SaveToFile(Path);
  EXPECT_EQ(Read(), "0408");
}

TEST_F(TextBufferTest, FileErrorsNameThePath) {
  const std::string missing = (Folder.Path / "missing" / "Version.txt").string();
  EXPECT_EQ(test::MessageOf<EFOpenError>([&] { Buffer.LoadFromFile(missing); }), "Cannot open file " + missing);
  EXPECT_EQ(test::MessageOf<EFCreateError>([&] { Buffer.SaveToFile(missing); }), "Cannot create file " + missing);
  EXPECT_EQ(test::MessageOf<EFCreateError>([&] { CheckCanWrite(missing); }), "Cannot create file " + missing);
}

TEST_F(TextBufferTest, TheWriteCheckChangesNothing) {
  CheckCanWrite(Path);
  EXPECT_FALSE(std::filesystem::exists(Path));
  Write("0407\r\nrest");
  CheckCanWrite(Path);
  EXPECT_EQ(Read(), "0407\r\nrest");
}

// Another program reads the version file: when it allows writes, the check and the write
// both go through; when it does not, both refuse. A check that passed and a write that then
// failed would leave a new notifier installed with the old version recorded.
TEST_F(TextBufferTest, TheWriteCheckAgreesWithTheWriteWhileAnotherProgramReads) {
  for (const bool allowWrites : {true, false}) {
    SCOPED_TRACE(allowWrites ? "reader allows writes" : "reader allows no writes");
    Write("0407\r\nrest");
    const bool writable = allowWrites || !test::OpenFilesAreLocked();
    {
      const test::TFileHeldForReading reader(Path, allowWrites);
      bool checked = true, written = true;
      try {
        CheckCanWrite(Path);
      } catch (const EFCreateError&) {
        checked = false;
      }
      Buffer.SetText("0408\r\nrest");
      try {
        Buffer.SaveToFile(Path);
      } catch (const EFCreateError&) {
        written = false;
      }
      EXPECT_EQ(checked, writable);
      EXPECT_EQ(written, writable);
    }
    EXPECT_EQ(Read(), writable ? "0408\r\nrest" : "0407\r\nrest");
  }
}

}  // namespace
}  // namespace pravik::app
