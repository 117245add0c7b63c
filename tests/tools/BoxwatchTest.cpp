// boxwatch against real message boxes of another program (showbox), shown the way the
// updater shows its own: MessageBoxW, Korean text, owned by a hidden application window.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/tools/ToolsTestSupport.h"

namespace pravik::test {
namespace {

// UTF-8 written out byte by byte, so that the expectation does not depend on how the
// compiler reads this file. "다운로드중..." and "화일 복사중 Error(101)가 발생했습니다..":
constexpr char kDownloading[] = "\xEB\x8B\xA4\xEC\x9A\xB4\xEB\xA1\x9C\xEB\x93\x9C\xEC\xA4\x91...";
constexpr char kCopyError[] =
    "\xED\x99\x94\xEC\x9D\xBC \xEB\xB3\xB5\xEC\x82\xAC\xEC\xA4\x91 Error(101)\xEA\xB0\x80 "
    "\xEB\xB0\x9C\xEC\x83\x9D\xED\x96\x88\xEC\x8A\xB5\xEB\x8B\x88\xEB\x8B\xA4..";
// "첫 줄" and "둘째 줄"
constexpr char kFirstLine[] = "\xEC\xB2\xAB \xEC\xA4\x84";
constexpr char kSecondLine[] = "\xEB\x91\x98\xEC\xA7\xB8 \xEC\xA4\x84";

const auto kBoxwatch = BuildPath(PRAVIK_BOXWATCH);
const auto kShowbox = BuildPath(PRAVIK_SHOWBOX);

bool BoxVisible(const wchar_t* caption) {
  const HWND box = ::FindWindowW(L"#32770", caption);
  return box && ::IsWindowVisible(box);
}

TEST(BoxwatchTest, ReadsKoreanBoxesByteExactAndPressesOk) {
  TempFolder folder;
  const auto out = folder.path() / L"boxes.txt";
  Child watch(kBoxwatch, {L"--count", L"3", L"--press", L"--owner", L"--timeout", L"120",
                          L"--out", out.wstring()});
  ASSERT_TRUE(watch.started());

  Child download(kShowbox, {L"--korean", L"--owner", L"PravikFtp", L"--flags", L"0x40"});
  ASSERT_TRUE(download.started());
  EXPECT_EQ(download.Wait(), std::optional<DWORD>(IDOK));

  // Cancel is the default button here: --press must still choose OK.
  const std::string text = std::string(kFirstLine) + "\r\n\t" + kSecondLine + " C:\\Pravik";
  Child error(kShowbox, {L"--flags", L"0x111", L"Pravikftp", Wide(text)});
  ASSERT_TRUE(error.started());
  EXPECT_EQ(error.Wait(), std::optional<DWORD>(IDOK));

  // Without an OK button the default one is pressed, here the second.
  Child question(kShowbox, {L"--flags", L"0x104", L"Pravikftp", L"?"});
  ASSERT_TRUE(question.started());
  EXPECT_EQ(question.Wait(), std::optional<DWORD>(IDNO));

  EXPECT_EQ(watch.Wait(), std::optional<DWORD>(0));
  EXPECT_EQ(ReadFileBytes(out), std::string(kDownloading) + "\t" + kCopyError + "\tPravikFtp\n" +
                                    "Pravikftp\t" + kFirstLine + "\\r\\n\\t" + kSecondLine +
                                    " C:\\\\Pravik\t\n" + "Pravikftp\t?\t\n");
}

TEST(BoxwatchTest, ReportsALingeringBoxOnceThenTimesOut) {
  TempFolder folder;
  Child box(kShowbox, {L"--flags", L"0x10", L"Pravikftp", Wide(kCopyError)});
  ASSERT_TRUE(box.started());
  ASSERT_TRUE(WaitUntil([] { return BoxVisible(L"Pravikftp"); }));

  // The box stays up all along: it is reported once, and the second never comes.
  const auto out = folder.path() / L"boxes.txt";
  Child watch(kBoxwatch, {L"--count", L"2", L"--timeout", L"2", L"--out", out.wstring()});
  EXPECT_EQ(watch.Wait(), std::optional<DWORD>(2));
  EXPECT_EQ(ReadFileBytes(out), std::string("Pravikftp\t") + kCopyError + "\n");
  EXPECT_EQ(box.Wait(0), std::nullopt);

  // Pressing it lets the program go on; without --out the line goes to standard output.
  const auto stdoutFile = folder.path() / L"stdout.txt";
  Child press(kBoxwatch, {L"--press"}, stdoutFile);
  EXPECT_EQ(press.Wait(), std::optional<DWORD>(0));
  EXPECT_EQ(box.Wait(), std::optional<DWORD>(IDOK));
  EXPECT_EQ(ReadFileBytes(stdoutFile), std::string("Pravikftp\t") + kCopyError + "\n");
}

// How the end-to-end tests run it: beside the program from start to end, every box pressed
// and written down, and an empty file when there was none.
TEST(BoxwatchTest, CountZeroWatchesTheWholeTimeAndPressesEveryBox) {
  TempFolder folder;
  const auto none = folder.path() / L"none.txt";
  Child quiet(kBoxwatch, {L"--count", L"0", L"--press", L"--timeout", L"1", L"--out", none.wstring()});
  EXPECT_EQ(quiet.Wait(), std::optional<DWORD>(0));
  EXPECT_EQ(ReadFileBytes(none), "");

  const auto out = folder.path() / L"boxes.txt";
  Child watch(kBoxwatch, {L"--count", L"0", L"--press", L"--timeout", L"20", L"--out", out.wstring()});
  ASSERT_TRUE(watch.started());
  for (const wchar_t* text : {L"first", L"second"}) {
    Child box(kShowbox, {L"--flags", L"0x10", L"Pravikftp", text});
    ASSERT_TRUE(box.started());
    EXPECT_EQ(box.Wait(), std::optional<DWORD>(IDOK));
  }
  EXPECT_EQ(ReadFileBytes(out), "Pravikftp\tfirst\nPravikftp\tsecond\n");
  EXPECT_EQ(watch.Wait(0), std::nullopt);
}

}  // namespace
}  // namespace pravik::test
