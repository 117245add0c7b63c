// The administrator's log in a real file: the line format, the bound on its size, and that
// it never gets in the way of the run.
#include "app/FileLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/LogFile.h"
#include "tests/support/TestFolder.h"

namespace pravik::app {
namespace {

using ::testing::ElementsAre;
using ::testing::SizeIs;

class FileLogTest : public ::testing::Test {
 protected:
  FileLogTest() {
    Path = (Folder.Path / "PravikFtp.log").string();
  }

  static std::string Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }
  // The file's lines without their CR LF; a missing CR LF at the end shows as a last line.
  static std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    const std::string text = Read(path);
    std::size_t at = 0;
    for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
      lines.push_back(text.substr(at, end - at));
    if (at < text.size()) lines.push_back(text.substr(at));
    return lines;
  }

  test::TTestFolder Folder{"log"};
  std::string Path;
};

TEST_F(FileLogTest, EachEventIsOneLineWithTimeAndProcess) {
  {
    TFileLog log(Path);
    log.Write("Server version \"0408\"");
    // A message of several lines and a Korean box text stay on one line, bytes as given.
    log.Write("Box \"Pravikftp\" shown: Socket Error # 10061\r\nConnection refused.");
    log.Write("\xB4\xD9\xBF\xEE\xB7\xCE\xB5\xE5\xC1\xDF...\t\x01");
  }
  const std::string prefix =
      R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[)" + std::to_string(CurrentProcessId()) + R"(\] )";
  const std::vector<std::string> lines = Lines(Path);
  ASSERT_THAT(lines, SizeIs(3));
  const std::string texts[] = {"Server version \"0408\"",
                               R"(Box "Pravikftp" shown: Socket Error # 10061\r\nConnection refused.)",
                               "\xB4\xD9\xBF\xEE\xB7\xCE\xB5\xE5\xC1\xDF...\\x09\\x01"};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ASSERT_TRUE(std::regex_search(lines[i], std::regex("^" + prefix))) << lines[i];
    EXPECT_EQ(std::regex_replace(lines[i], std::regex("^" + prefix), ""), texts[i]);
  }
}

TEST_F(FileLogTest, RunsAppendToWhatEarlierRunsWrote) {
  TFileLog(Path).Write("first run");
  TFileLog(Path).Write("second run");
  const std::vector<std::string> lines = Lines(Path);
  ASSERT_THAT(lines, SizeIs(2));
  EXPECT_THAT(lines[0], ::testing::EndsWith("first run"));
  EXPECT_THAT(lines[1], ::testing::EndsWith("second run"));
}

// Over 1 MiB at the start of a run, the log moves to ".1", replacing the older copy, and the
// run begins a new one: never more than about 2 MiB on disk.
TEST_F(FileLogTest, ALargeLogMovesAsideAtTheStartOfARun) {
  const std::string full(TFileLog::kRotateSize + 1, 'x');
  std::ofstream(Path, std::ios::binary) << full;
  std::ofstream(Path + ".1", std::ios::binary) << "oldest";
  TFileLog(Path).Write("new run");
  EXPECT_EQ(Read(Path + ".1"), full);
  EXPECT_THAT(Lines(Path), ElementsAre(::testing::EndsWith("new run")));

  // Exactly at the bound it stays.
  const std::string atBound(TFileLog::kRotateSize, 'y');
  std::ofstream(Path, std::ios::binary | std::ios::trunc) << atBound;
  TFileLog(Path).Write("next run");
  EXPECT_EQ(Read(Path + ".1"), full);
  EXPECT_EQ(Read(Path).substr(0, atBound.size()), atBound);
}

// A log that cannot be opened records nothing and raises nothing.
TEST_F(FileLogTest, ALogThatCannotBeOpenedIsSilent) {
  const std::string nowhere = (Folder.Path / "missing" / "PravikFtp.log").string();
  TFileLog log(nowhere);
  log.Write("lost");
  EXPECT_FALSE(std::filesystem::exists(nowhere));
  std::filesystem::create_directory(Path);  // a folder where the file should be
  TFileLog(Path).Write("lost too");
  EXPECT_TRUE(std::filesystem::is_directory(Path));
}

// Two runs writing at the same time: every line arrives whole.
TEST_F(FileLogTest, TwoWritersAtOnceWriteWholeLines) {
  constexpr int kLines = 2000;
  const std::string a(200, 'a'), b(200, 'b');
  {
    TFileLog first(Path), second(Path);
    std::thread one([&] {
      for (int i = 0; i < kLines; ++i) first.Write(a);
    });
    for (int i = 0; i < kLines; ++i) second.Write(b);
    one.join();
  }
  const std::vector<std::string> lines = Lines(Path);
  ASSERT_THAT(lines, SizeIs(2 * kLines));
  int as = 0, bs = 0;
  for (const std::string& line : lines) {
    as += line.ends_with("] " + a);
    bs += line.ends_with("] " + b);
  }
  EXPECT_EQ(as, kLines);
  EXPECT_EQ(bs, kLines);
}

}  // namespace
}  // namespace pravik::app
