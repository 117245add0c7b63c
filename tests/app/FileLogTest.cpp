// The administrator's log in a real file: the line format, the bound on its size, and that
// it never gets in the way of the run.
#include "app/FileLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
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

// Over 1 MiB before a line, the log moves to ".1", replacing the older copy, and the line
// begins a new one.
TEST_F(FileLogTest, ALargeLogMovesAsideBeforeTheNextLine) {
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

struct CapCase {
  const char* Name;
  std::string Text;
  std::string Written;  // the line's text as the log holds it
  friend void PrintTo(const CapCase& c, std::ostream* os) { *os << c.Name; }
};

class FileLogCapTest : public FileLogTest, public ::testing::WithParamInterface<CapCase> {};

// A text from outside (a reply, a database value, the version file's line) of any length
// costs the log one bounded line, cut where a whole character ends.
TEST_P(FileLogCapTest, ALongTextIsCutAtTheLineLimit) {
  TFileLog(Path).Write(GetParam().Text);
  const std::vector<std::string> lines = Lines(Path);
  ASSERT_THAT(lines, SizeIs(1));
  const std::string text = lines[0].substr(lines[0].find("] ") + 2);
  EXPECT_EQ(text, GetParam().Written);
}

const std::string kEllipsis = "\xA1\xA6";
const std::string kKorean = "\xB4\xD9";  // one double-byte character

INSTANTIATE_TEST_SUITE_P(
    Texts, FileLogCapTest,
    ::testing::Values(
        CapCase{"FitsExactly", std::string(2000, 'a'), std::string(2000, 'a')},
        CapCase{"OneByteOver", std::string(2001, 'a'), std::string(2000, 'a') + kEllipsis + " (2001 bytes)"},
        CapCase{"AReplyOfAMegabyte", std::string(1 << 20, 'r'),
                std::string(2000, 'r') + kEllipsis + " (1048576 bytes)"},
        CapCase{"DoubleByteCharacterAcrossTheLimit", std::string(1999, 'a') + kKorean + "b",
                std::string(1999, 'a') + kEllipsis + " (2002 bytes)"},
        CapCase{"EscapeAcrossTheLimit", std::string(1999, 'a') + "\r\n",
                std::string(1999, 'a') + kEllipsis + " (2001 bytes)"},
        CapCase{"EscapesCountAsWritten", std::string(1998, 'a') + "\r",
                std::string(1998, 'a') + "\\r"}),
    [](const ::testing::TestParamInfo<CapCase>& info) { return std::string(info.param.Name); });

// One run of the texts that once grew the log from 1 MiB to 3.7 MiB: a 230 reply of 100
// lines of 16 KB and a long version line, from a log one byte short of the bound.
TEST_F(FileLogTest, ARunOfHugeTextsKeepsTheBound) {
  std::ofstream(Path, std::ios::binary) << std::string(TFileLog::kRotateSize - 1, 'h');
  {
    TFileLog log(Path);
    for (int i = 0; i < 100; ++i) log.Write("230-" + std::string(16 * 1024, 'w'));
    log.Write("Local version \"" + std::string(1 << 20, '9') + "\"");
  }
  EXPECT_LE(std::filesystem::file_size(Path) + std::filesystem::file_size(Path + ".1"), 2.5 * (1 << 20));
  // The first line still went to the old log; the bound moved it aside before the second.
  const std::vector<std::string> lines = Lines(Path);
  EXPECT_EQ(lines.size(), 100u);
  EXPECT_TRUE(lines.back().ends_with("\xA1\xA6 (1048592 bytes)"));
}

// The older copy cannot be replaced (a folder has its name): the log is emptied instead,
// so it cannot grow without limit.
TEST_F(FileLogTest, ARotationThatCannotRenameEmptiesTheLog) {
  std::ofstream(Path, std::ios::binary) << std::string(TFileLog::kRotateSize + 1, 'x');
  std::filesystem::create_directory(Path + ".1");
  TFileLog(Path).Write("after the bound");
  EXPECT_THAT(Lines(Path), ElementsAre(::testing::EndsWith("after the bound")));
  EXPECT_TRUE(std::filesystem::is_directory(Path + ".1"));
}

// Runs starting together over a full log move it aside once: none renames another's new log
// over the history.
TEST_F(FileLogTest, RunsStartingTogetherKeepTheHistory) {
  const std::string history = std::string(TFileLog::kRotateSize, 'h') + "\r\n";
  constexpr int kRuns = 4;
  for (int round = 0; round < 10; ++round) {
    std::filesystem::remove(Path + ".1");
    std::ofstream(Path, std::ios::binary | std::ios::trunc) << history;
    std::atomic<int> ready{0};
    std::vector<std::thread> runs;
    for (int run = 0; run < kRuns; ++run) {
      runs.emplace_back([&, run] {
        ++ready;
        while (ready < kRuns) std::this_thread::yield();
        TFileLog(Path).Write("run " + std::to_string(run));
      });
    }
    for (std::thread& run : runs) run.join();
    // A run that opened the log just before another moved it aside may still end its line
    // there; no line is lost, and the history is never replaced.
    const std::string older = Read(Path + ".1");
    ASSERT_EQ(older.substr(0, history.size()), history) << "round " << round;
    const std::size_t moved = Lines(Path + ".1").size() - 1;
    EXPECT_EQ(Lines(Path).size() + moved, static_cast<std::size_t>(kRuns)) << "round " << round;
  }
}

// A writer that holds its turn and never gives it up (suspended, or hung) costs another
// run a bounded wait for that line, not its progress.
TEST_F(FileLogTest, AWriterHoldingItsTurnIsNotWaitedForLong) {
  TFileLog(Path).Write("before");
  {
    TLogFile holder(Path);
    ASSERT_TRUE(holder.TakeTurn(0));
    TFileLog(Path).Write("skipped");
  }
  TFileLog(Path).Write("after");
  EXPECT_THAT(Lines(Path), ElementsAre(::testing::EndsWith("before"), ::testing::EndsWith("after")));
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
