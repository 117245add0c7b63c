// The stand-in notifier, driven the way the updater drives PravikNW.exe: found by its
// mutex and its window, stopped by TerminateProcess, started by WinExec.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/tools/ToolsTestSupport.h"

namespace pravik::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kMutexName[] = "PravikNW.exe";
constexpr DWORD kMutexAllAccess = 0x1F0001;

// WinExec, as the updater starts the notifier; true when the program was started.
bool StartLikeTheUpdater(const std::filesystem::path& program) {
  const std::string commandLine = "\"" + program.string() + "\"";
  return ::WinExec(commandLine.c_str(), SW_SHOW) > 31;
}

struct Start {
  std::string label;
  DWORD process = 0;
  std::string outcome;
};

// The starts written to the log, once it holds `count` of them.
std::vector<Start> WaitForStarts(const std::filesystem::path& log, size_t count) {
  std::vector<std::string> lines;
  WaitUntil([&] { return (lines = ReadLines(log)).size() >= count; });
  std::vector<Start> starts;
  for (const auto& line : lines) {
    // "<label> <process id> <outcome>"
    const auto space = line.find(' ');
    const auto second = line.find(' ', space + 1);
    Start start;
    start.label = line.substr(0, space);
    if (space != std::string::npos) start.process = std::stoul(line.substr(space + 1));
    if (second != std::string::npos) start.outcome = line.substr(second + 1);
    starts.push_back(start);
  }
  return starts;
}

bool MutexExists() {
  const HANDLE mutex = ::OpenMutexA(kMutexAllAccess, FALSE, kMutexName);
  if (mutex) ::CloseHandle(mutex);
  return mutex != nullptr;
}

DWORD WindowProcess() {
  DWORD process = 0;
  if (const HWND window = ::FindWindowA(nullptr, "PravikNW"))
    ::GetWindowThreadProcessId(window, &process);
  return process;
}

TEST(StandinNotifierTest, RunsUntilTheUpdaterTerminatesIt) {
  TempFolder folder;
  const auto log = folder.path() / L"notifier.log";
  ScopedEnvironment logPath(L"PRAVIK_NOTIFIER_LOG", log.wstring());
  ASSERT_FALSE(MutexExists()) << "a notifier of another test still runs";

  ASSERT_TRUE(StartLikeTheUpdater(BuildPath(PRAVIK_NOTIFIER_OLD)));
  const auto starts = WaitForStarts(log, 1);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].label, "old");
  EXPECT_EQ(ReadFileBytes(log), "old " + std::to_string(starts[0].process) + " started\r\n");

  // Everything the updater relies on holds as soon as the start is logged.
  const HANDLE mutex = ::OpenMutexA(kMutexAllAccess, FALSE, kMutexName);
  EXPECT_NE(mutex, nullptr);
  if (mutex) ::CloseHandle(mutex);
  const DWORD process = WindowProcess();
  ASSERT_EQ(process, starts[0].process);

  const HANDLE handle = ::OpenProcess(1, FALSE, process);
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(::TerminateProcess(handle, 0));
  ::CloseHandle(handle);
  ASSERT_TRUE(ProcessEnded(process));
  const HANDLE gone = ::OpenMutexA(kMutexAllAccess, FALSE, kMutexName);
  const DWORD error = ::GetLastError();
  EXPECT_EQ(gone, nullptr);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(::FindWindowA(nullptr, "PravikNW"), nullptr);
}

TEST(StandinNotifierTest, InstalledCopyLogsBesideItselfRunsOnceAndEndsOnClose) {
  TempFolder folder;
  ScopedEnvironment noLogPath(L"PRAVIK_NOTIFIER_LOG", L"");
  const auto installed = folder.path() / L"PravikNW.exe";
  std::filesystem::copy_file(BuildPath(PRAVIK_NOTIFIER_NEW), installed);
  const auto log = folder.path() / L"starts.log";

  ASSERT_TRUE(StartLikeTheUpdater(installed));
  const auto first = WaitForStarts(log, 1);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].label, "new");

  // A second start is logged as such and leaves at once: the first one keeps running.
  ASSERT_TRUE(StartLikeTheUpdater(installed));
  const auto both = WaitForStarts(log, 2);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(first[0].outcome, "started");
  EXPECT_EQ(both[1].label, "new");
  EXPECT_EQ(both[1].outcome, "quit: already running");
  EXPECT_NE(both[1].process, first[0].process);
  EXPECT_TRUE(ProcessEnded(both[1].process));
  EXPECT_TRUE(MutexExists());
  EXPECT_EQ(WindowProcess(), first[0].process);

  ASSERT_TRUE(::PostMessageW(::FindWindowA(nullptr, "PravikNW"), WM_CLOSE, 0, 0));
  ASSERT_TRUE(ProcessEnded(first[0].process));
  EXPECT_FALSE(MutexExists());
  EXPECT_EQ(::FindWindowA(nullptr, "PravikNW"), nullptr);
}

// The end-to-end tests tell by content which build the updater installed.
TEST(StandinNotifierTest, BuildsCarryTheirLabelInTheFile) {
  const std::string oldBuild = ReadFileBytes(BuildPath(PRAVIK_NOTIFIER_OLD));
  const std::string newBuild = ReadFileBytes(BuildPath(PRAVIK_NOTIFIER_NEW));
  EXPECT_THAT(oldBuild, HasSubstr("PravikNW stand-in build: old"));
  EXPECT_THAT(oldBuild, Not(HasSubstr("PravikNW stand-in build: new")));
  EXPECT_THAT(newBuild, HasSubstr("PravikNW stand-in build: new"));
  EXPECT_THAT(newBuild, Not(HasSubstr("PravikNW stand-in build: old")));
}

}  // namespace
}  // namespace pravik::test
