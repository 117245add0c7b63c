// The texts of the error displays: the "." rule, the program title and the start-up error.
#include <gtest/gtest.h>

#include <string>

#include "app/ErrorDisplay.h"

namespace pravik::app {
namespace {

TEST(ErrorDisplayTest, DotFollowsMessagesThatEndAboveDot) {
  struct Case {
    std::string Message, Text;
  };
  const Case cases[] = {
      {"", ""},
      {"Not Connected", "Not Connected."},
      {"Already connected.", "Already connected."},
      {"Done!", "Done!"},
      {"(101)", "(101)"},
      {"trailing ", "trailing "},
      {"Socket Error # 10061\r\nConnection refused.", "Socket Error # 10061\r\nConnection refused."},
      {"No such file\r\n", "No such file\r\n"},
      {"I/O error 105", "I/O error 105."},
      {"/pub/", "/pub/."},
      {"\xB9\xF6\xC0\xFC", "\xB9\xF6\xC0\xFC."},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorBoxText(c.Message), c.Text) << c.Message;
}

TEST(ErrorDisplayTest, TitleIsTheFileNameUpToItsFirstDotInLowerCase) {
  EXPECT_EQ(ProgramTitle("C:\\Pravik\\PravikFtp.exe"), "Pravikftp");
  EXPECT_EQ(ProgramTitle("Z:/opt/PRAVIK.FTP.EXE"), "Pravik");
  EXPECT_EQ(ProgramTitle("pravikFTP"), "pravikftp");
  EXPECT_EQ(ProgramTitle("C:\\Pravik.d\\Up"), "Up");
}

TEST(ErrorDisplayTest, TitleKeepsDoubleByteCharactersWhole) {
  // 캺 is B0 5A and 캛 is B0 42: their trail bytes read as "Z" and "B" on their own.
  EXPECT_EQ(ProgramTitle("C:\\Pravik\\\xB0\x5A\xB0\x42Up.exe"), "\xB0\x5A\xB0\x42up");
  EXPECT_EQ(ProgramTitle("PRAVIK\xB0\x5A" "FTP.exe"), "Pravik\xB0\x5A" "ftp");
  // A lead byte at the very end has no trail byte to take along.
  EXPECT_EQ(ProgramTitle("AB\xB0"), "Ab\xB0");
}

TEST(ErrorDisplayTest, StartupErrorNamesClassModuleAndPlace) {
  EXPECT_EQ(ApplicationErrorText("EIdSocketError", "PravikFtp.exe", 0x1A2B, "Socket Error # 10093\r\nWinsock not initialized"),
            "Exception EIdSocketError in module PravikFtp.exe at " + std::string(2 * sizeof(void*) - 4, '0') +
                "1A2B.\nSocket Error # 10093\r\nWinsock not initialized.");
  EXPECT_EQ(ApplicationErrorText("EDatabaseError", "PravikFtp.exe", 0, "Done."),
            "Exception EDatabaseError in module PravikFtp.exe at " + std::string(2 * sizeof(void*), '0') + ".\nDone.");
}

}  // namespace
}  // namespace pravik::app
