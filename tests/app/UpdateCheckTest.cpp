// The whole update decision and download with the window, boxes, timer and notifier as
// doubles, and everything else real: the version file on disk, the central database over
// ODBC (the SQLite stand-in) and pyftpdlib on port 21 of a loopback address.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/AppTexts.h"
#include "app/FleetReport.h"
#include "app/RunRecord.h"
#include "app/Sha256.h"
#include "app/TrustResults.h"
#include "app/Rollout.h"
#include "app/UpdateServices.h"
#include "app/untMngFtp.h"
#include "tests/app/FtpServerProcess.h"
#include "tests/app/NotifierDoubles.h"
#include "tests/app/TestPrograms.h"
#include "tests/support/TestFolder.h"
#include "tests/db/TestDatabase.h"
#include "db/Workstation.h"

namespace pravik::app {
namespace {

using ::testing::ElementsAre;

const std::string kOldProgram = test::WindowsProgram("notifier 0407");
const std::string kNewProgram = test::WindowsProgram("notifier 0408, as the server holds it");
constexpr char kFtpUser[] = "pravik";
constexpr char kFtpPassword[] = "73pravik";

// Everything the doubles see, in order.
using Log = std::vector<std::string>;

class FakeWindow : public IUpdateWindow {
 public:
  explicit FakeWindow(Log& log) : Events(log) {}
  void RequestClose() override { Events.push_back("close"); }
  void SetTimerEnabled(bool enabled) override { Events.push_back(enabled ? "timer on" : "timer off"); }
  void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
    Events.push_back("box " + caption + " | " + text + " | " + std::to_string(flags));
    if (WhileBoxOpen) WhileBoxOpen();
  }
  std::string ProgramFile() const override { return "C:\\Pravik\\PravikFtp.exe"; }
  std::function<void()> WhileBoxOpen;

 private:
  Log& Events;
};

class FakeNotifier : public INotifierControl {
 public:
  explicit FakeNotifier(Log& log) : Events(log) {}
  bool MutexExists(const std::string& name) override {
    Events.push_back("probe " + name);
    return Running;
  }
  bool TerminateWindowOwner(const std::string& title) override {
    Events.push_back("kill " + title);
    return Running;
  }
  std::uint32_t StartProgram(const std::string& path, int showCommand) override {
    Events.push_back("start " + std::filesystem::path(path).filename().string() + " " + std::to_string(showCommand));
    return std::filesystem::exists(path) ? 33 : 2;
  }
  // The start check is off without its row in the code table: these are never called.
  TNotifierStart StartProcess(const std::string& path, int) override {
    Events.push_back("checked start " + std::filesystem::path(path).filename().string());
    return {nullptr, 2};
  }
  std::unique_ptr<INotifierProcess> WindowOwner(const std::string& title) override {
    Events.push_back("owner " + title);
    return nullptr;
  }
  bool Running = false;

 private:
  Log& Events;
};

// Every program file unsigned, as the stand-ins of these tests are.
class UnsignedPrograms : public ISignatureReader {
 public:
  TSignature SignatureOf(const std::string&) override { return {trust::kNoSignature, trust::kNoSignature, "", "", ""}; }
  bool SameName(const std::string&, const std::string&) override { return false; }
};

class FakeOutput : public IStandardOutput {
 public:
  explicit FakeOutput(Log& log) : Events(log) {}
  void WriteLine(const std::string& line) override {
    if (!Usable) throw EInOutError("I/O error 105", 105);
    Events.push_back("stdout " + line);
  }
  bool Usable = false;

 private:
  Log& Events;
};

using test::RecordingLog;

std::string Quoted(const std::optional<std::string>& text) { return text ? "'" + *text + "'" : "NULL"; }

class UpdateCheckTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ServedFolder = std::filesystem::temp_directory_path() / ("pravik-served-" + test::OwnLoopbackAddress(21));
    std::filesystem::remove_all(ServedFolder);
    std::filesystem::create_directories(ServedFolder / "pravik");
    std::filesystem::create_directories(ServedFolder / "empty");
    std::filesystem::create_directories(ServedFolder / "html");
    std::ofstream(ServedFolder / "pravik" / "PravikNW.exe", std::ios::binary) << kNewProgram;
    // What a misconfigured web server leaves under the program's name.
    std::ofstream(ServedFolder / "html" / "PravikNW.exe", std::ios::binary) << "<html><body>Not Found</body></html>";
    Server = std::make_unique<test::FtpServerProcess>(test::OwnLoopbackAddress(21), kFtpUser, kFtpPassword,
                                                      ServedFolder.string());
  }
  static void TearDownTestSuite() {
    Server.reset();
    std::filesystem::remove_all(ServedFolder);
  }

  UpdateCheckTest() {
    Paths.VersionFileToRead = Paths.VersionFileToWrite = (Folder.Path / "Version.txt").string();
    Paths.NotifierToProbe = Paths.Notifier = (Folder.Path / "PravikNW.exe").string();
    // Beside the database, out of the workstation's folder that the tests list.
    Paths.Pending = "PravikFtp.pending";
    std::filesystem::remove(Paths.Pending);
  }
  ~UpdateCheckTest() override {
    Form.reset();
  }
  // Whatever a run did, its log holds neither password nor the database login.
  void TearDown() override {
    for (const char* secret : {kFtpPassword, "73quenda18", "PWD="})
      EXPECT_EQ(UpdateLog.All().find(secret), std::string::npos) << secret << " in the log:\n" << UpdateLog.All();
  }

  // Public for the failure table, whose rows arrange their own database and output.
 public:
  // The central database: the version and the four FTP settings; NULL where none given.
  // The central database: the version and the four FTP settings; NULL where none given.
  // `published` adds the row of the notifier's SHA-256 ("998"), `mode` that of the transfer
  // mode ("997"), NULL for nullopt.
  void Database(std::optional<std::string> version, std::optional<std::string> host, std::string directory = "/pravik",
                std::optional<std::string> user = kFtpUser,
                std::vector<std::optional<std::string>> published = {},
                std::vector<std::optional<std::string>> mode = {},
                std::vector<std::pair<const char*, std::optional<std::string>>> more = {}) {
    std::vector<std::string> statements;
    statements.push_back("Insert Into MVERCHKMESSAGECLIENT Values (" + Quoted(version) + ")");
    std::vector<std::pair<const char*, std::optional<std::string>>> settings = {
        {kFtpHostCode, host}, {kFtpUserCode, user}, {kFtpPassCode, kFtpPassword}, {kFtpDirCode, directory}};
    for (const std::optional<std::string>& digest : published) settings.emplace_back(kFtpHashCode, digest);
    for (const std::optional<std::string>& text : mode) settings.emplace_back(kFtpModeCode, text);
    settings.insert(settings.end(), more.begin(), more.end());
    for (const auto& [code, text] : settings)
      statements.push_back(std::string("Insert Into MCODEBASE Values ('760', '") + code + "', " + Quoted(text) + ")");
    test::CreateCentralDatabase(statements);
  }
  static std::string ServerHost() { return test::OwnLoopbackAddress(21); }
  // An address where nothing listens on port 21.
  static std::string DeadHost() { return test::OwnLoopbackAddress(22); }

 protected:
  void Workstation(std::optional<std::string> versionFile, bool programPresent, bool running) {
    if (versionFile) WriteFile(Paths.VersionFileToWrite, *versionFile);
    if (programPresent) WriteFile(Paths.Notifier, kOldProgram);
    Notifier.Running = running;
  }
  void Run() {
    Form = std::make_unique<TfrmMngFtp>(Window, Notifier, Output, UpdateLog, Signatures, Clock, Clock, Paths);
    Form->FormCreate();
    Form->FormShow();
  }

  static void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }
  std::string VersionFile() const { return ReadFile(Paths.VersionFileToWrite); }
  std::string Program() const { return ReadFile(Paths.Notifier); }
  std::vector<std::string> FilesInFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Folder.Path))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 public:
  static std::string ErrorBox(const std::string& text) { return "box Pravikftp | " + text + " | 16"; }

 protected:
  static std::string FailureBox() {
    return std::string("box ") + kRetrievalFailedCaption + " | " + kRetrievalFailedText + " | 16";
  }

  static inline std::filesystem::path ServedFolder;
  static inline std::unique_ptr<test::FtpServerProcess> Server;

  test::TTestFolder Folder{"update"};
  TUpdatePaths Paths;
  Log Events;
  FakeWindow Window{Events};
  FakeNotifier Notifier{Events};
  test::FakeClock Clock;
  RecordingLog UpdateLog;
  UnsignedPrograms Signatures;
  std::unique_ptr<TfrmMngFtp> Form;

 public:
  FakeOutput Output{Events};
};

struct DecisionCase {
  const char* Name;
  std::optional<std::string> VersionFile;
  bool ProgramPresent;
  bool Running;
  Log Expected;
  bool Downloads;
  std::string VersionFileAfter;
  friend void PrintTo(const DecisionCase& c, std::ostream* os) { *os << c.Name; }
};

class UpdateDecisionTest : public UpdateCheckTest, public ::testing::WithParamInterface<DecisionCase> {
 protected:
  // Runs the row's workstation against a database with `more` settings and checks its outcome.
  void ExpectRow(std::vector<std::pair<const char*, std::optional<std::string>>> more = {}) {
    const DecisionCase& c = GetParam();
    Database("0408", ServerHost(), "/pravik", kFtpUser, {}, {}, std::move(more));
    Workstation(c.VersionFile, c.ProgramPresent, c.Running);
    Run();
    EXPECT_EQ(Events, c.Expected);
    EXPECT_EQ(Program(), c.Downloads ? kNewProgram : kOldProgram);
    EXPECT_EQ(VersionFile(), c.VersionFileAfter);
    EXPECT_EQ(Form->TimerEnabled(), c.Expected.back() == "timer on");
  }
};

TEST_P(UpdateDecisionTest, ActsAsTheRowSays) { ExpectRow(); }

INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateDecisionTest,
    ::testing::Values(
        // Row 1: no program file; a running notifier is not stopped first.
        DecisionCase{"NoProgramFile", "0408", false, true,
                     {"probe PravikNW.exe", "start PravikNW.exe 5", "close"}, true, "0408"},
        DecisionCase{"NoProgramFileNoVersionFile", std::nullopt, false, false,
                     {"probe PravikNW.exe", "start PravikNW.exe 5", "close"}, true, "0408"},
        // Row 2: no version file, or one that says N; the other lines stay.
        DecisionCase{"NoVersionFile", std::nullopt, true, false,
                     {"probe PravikNW.exe", "start PravikNW.exe 5", "close"}, true, "0408"},
        DecisionCase{"VersionN", "N\nnote\n", true, false,
                     {"probe PravikNW.exe", "start PravikNW.exe 5", "close"}, true, "0408\r\nnote\r\n"},
        // Row 3: equal and running: restarted without download.
        DecisionCase{"EqualRunning", "0408\r\nnote", true, true,
                     {"probe PravikNW.exe", "kill PravikNW", "start PravikNW.exe 5", "close"}, false,
                     "0408\r\nnote"},
        // Row 4: equal, not running: started.
        DecisionCase{"EqualNotRunning", "0408", true, false,
                     {"probe PravikNW.exe", "start PravikNW.exe 5", "close"}, false, "0408"},
        // Row 5: different and running: stopped, the download waits for the timer.
        DecisionCase{"DifferentRunning", "0407\nnote\n", true, true,
                     {"probe PravikNW.exe", "kill PravikNW", "timer on"}, false, "0407\nnote\n"},
        // Row 6: different, not running: downloaded at once.
        DecisionCase{"DifferentNotRunning", "0407", true, false,
                     {"probe PravikNW.exe", "start PravikNW.exe 5", "close"}, true, "0408"},
        // Letter case counts, nothing is trimmed.
        DecisionCase{"DifferentByATrailingBlank", "0408 ", true, false,
                     {"probe PravikNW.exe", "start PravikNW.exe 5", "close"}, true, "0408"}),
    [](const ::testing::TestParamInfo<DecisionCase>& info) { return std::string(info.param.Name); });

// The staged rollout at 0 %: rows 5 and 6 keep the installed notifier (restarted or started)
// and leave the version file exactly as it is; rows 1 to 4 do as ever.
class UpdateRolloutTest : public UpdateDecisionTest {};

TEST_P(UpdateRolloutTest, AWorkstationHeldBackKeepsItsNotifier) {
  ExpectRow({{kRolloutShareCode, "0"}});
  // The rows are read where the decision would download (rows 5 and 6), and only there.
  const bool read = UpdateLog.All().find("Setting rollout percentage (code 760/996): \"0\"") != std::string::npos;
  EXPECT_EQ(read, std::string(GetParam().Name).starts_with("Different")) << UpdateLog.All();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateRolloutTest,
    ::testing::Values(
        // Rows 1 and 2 have nothing to run otherwise: they download whatever the share.
        DecisionCase{"NoProgramFile", "0408", false, true,
                     {"probe PravikNW.exe", "start PravikNW.exe 5", "close"}, true, "0408"},
        DecisionCase{"VersionN", "N\nnote\n", true, false,
                     {"probe PravikNW.exe", "start PravikNW.exe 5", "close"}, true, "0408\r\nnote\r\n"},
        DecisionCase{"EqualRunning", "0408\r\nnote", true, true,
                     {"probe PravikNW.exe", "kill PravikNW", "start PravikNW.exe 5", "close"}, false,
                     "0408\r\nnote"},
        DecisionCase{"EqualNotRunning", "0408", true, false,
                     {"probe PravikNW.exe", "start PravikNW.exe 5", "close"}, false, "0408"},
        // Row 5: not stopped for a download that is not coming; restarted as in row 3.
        DecisionCase{"DifferentRunning", "0407\nnote\n", true, true,
                     {"probe PravikNW.exe", "kill PravikNW", "start PravikNW.exe 5", "close"}, false,
                     "0407\nnote\n"},
        DecisionCase{"DifferentNotRunning", "0407", true, false,
                     {"probe PravikNW.exe", "start PravikNW.exe 5", "close"}, false, "0407"}),
    [](const ::testing::TestParamInfo<DecisionCase>& info) { return std::string(info.param.Name); });

// Named in the list, in lower case, the workstation takes the version at 0 %; a malformed
// share holds it back with the reason in the log and no box.
TEST_F(UpdateCheckTest, TheRolloutNamesItsReasonAndNamedWorkstationsGoFirst) {
  std::string name = WorkstationName();
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  Database("0408", ServerHost(), "/pravik", kFtpUser, {}, {},
           {{kRolloutShareCode, " 0 "}, {kRolloutNamesCode, "office, " + name + " test-pc"}});
  Workstation("0407", true, false);
  Run();
  EXPECT_EQ(Program(), kNewProgram);
  EXPECT_NE(UpdateLog.All().find(": named in the rollout (bucket "), std::string::npos) << UpdateLog.All();

  Database("0408", ServerHost(), "/pravik", kFtpUser, {}, {}, {{kRolloutShareCode, "ten"}});
  Workstation("0407", true, false);
  Events.clear();
  UpdateLog.Lines.clear();
  Run();
  EXPECT_EQ(Events, Log({"probe PravikNW.exe", "start PravikNW.exe 5", "close"}));
  EXPECT_EQ(Program(), kOldProgram);
  const std::string bucket = std::to_string(RolloutBucket(WorkstationName(), "0408"));
  EXPECT_NE(UpdateLog.All().find("held back by the rollout: bucket " + bucket +
                                 " at 0 %; the rollout percentage \"ten\" is not a whole number from 0 to 100"),
            std::string::npos)
      << UpdateLog.All();
}

TEST_F(UpdateCheckTest, DelayedDownloadRunsAtTheTickAndRecordsTheVersionAfterIt) {
  Database("0408", ServerHost());
  Workstation("0407\nnote\n", true, true);
  Run();
  ASSERT_TRUE(Form->TimerEnabled());
  Events.clear();
  Form->Timer1Tick();
  EXPECT_THAT(Events, ElementsAre("start PravikNW.exe 5", "timer off", "close"));
  EXPECT_EQ(Program(), kNewProgram);
  EXPECT_EQ(VersionFile(), "0408\r\nnote\r\n");
  EXPECT_THAT(FilesInFolder(), ElementsAre("PravikNW.exe", "Version.txt"));
}

// From the log alone: what was found, what was decided, and each step of the download.
TEST_F(UpdateCheckTest, TheLogTellsTheWholeDelayedUpdate) {
  Database("0408", ServerHost());
  Workstation("0407\nnote\n", true, true);
  Run();
  Form->Timer1Tick();
  const std::string host = ServerHost();
  const std::string expected[] = {
      "Notifier running (mutex \"PravikNW.exe\")",
      "Server version \"0408\"",
      "Local version \"0407\" (first line of " + Paths.VersionFileToRead + ")",
      "Decision: row 5, versions differ, notifier running: stop the notifier, download in 2000 ms (notifier program " +
          Paths.NotifierToProbe + " present)",
      "Setting rollout percentage (code 760/996): \"\"",
      "Setting rollout workstations (code 760/995): \"\"",
      "Rollout of \"0408\" to workstation \"" + WorkstationName() + "\": in the rollout: bucket ",
      "Stopping the notifier: the owner of the window \"PravikNW\": window found, its process ended",
      "Delayed download",
      "Setting FTP host (code 760/001): \"" + host + "\"",
      "Setting FTP user (code 760/002): \"pravik\"",
      "Setting FTP password (code 760/003): given (not recorded)",
      "Setting FTP transfer mode (code 760/997): \"\"",
      "FTP connect to " + host + ":21 as \"pravik\"",
      "FTP connected and logged in after ",
      "Setting FTP directory (code 760/999): \"/pravik\"",
      "FTP directory \"/pravik\": 250 ",
      "Setting published SHA-256 (code 760/998): \"\"",
      "Retrieving PravikNW.exe in active binary mode into " + Paths.Notifier,
      "Retrieved " + std::to_string(std::string(kNewProgram).size()) + " bytes in ",
      "Version file " + Paths.VersionFileToWrite + " written, first line \"0408\"",
      "Starting the notifier " + Paths.Notifier + ": started",
      "Outcome: updated, decision row 5, local \"0407\", server \"0408\", " +
          std::to_string(std::string(kNewProgram).size()) + " bytes received, ",
      "Report: no table MVERCHKRESULT in the central database; nothing reported",
  };
  ASSERT_EQ(UpdateLog.Lines.size(), std::size(expected)) << UpdateLog.All();
  for (std::size_t i = 0; i < std::size(expected); ++i)
    EXPECT_EQ(UpdateLog.Lines[i].rfind(expected[i], 0), 0u) << UpdateLog.Lines[i];
}

// The log says what the system did with each stop and start, not only that one was asked.
TEST_F(UpdateCheckTest, TheLogTellsWhetherTheStopFoundAWindowAndTheStartSucceeded) {
  Database("0408", ServerHost(), "/empty");
  Workstation("0407", false, false);
  Run();
  EXPECT_NE(UpdateLog.All().find("Starting the notifier " + Paths.Notifier + ": not started, system result 2\n"),
            std::string::npos)
      << UpdateLog.All();
  UpdateLog.Lines.clear();
  Database("0408", ServerHost());
  Workstation("0408", true, false);
  Form->btnKillProClick();
  EXPECT_THAT(UpdateLog.Lines,
              ElementsAre("Stopping the notifier: the owner of the window \"PravikNW\": no such window"));
}

TEST_F(UpdateCheckTest, EmptyServerVersionEmptiesTheFirstLineAndThenCountsAsEqual) {
  Database(std::nullopt, ServerHost());
  Workstation("0407\r\nnote", true, false);
  Run();
  EXPECT_EQ(Program(), kNewProgram);
  EXPECT_EQ(VersionFile(), "\r\nnote");
  Events.clear();
  Run();
  EXPECT_THAT(Events, ElementsAre("probe PravikNW.exe", "start PravikNW.exe 5", "close"));
}

TEST_F(UpdateCheckTest, UnwritableVersionFileStopsBeforeAnyDecision) {
  Database("0408", ServerHost());
  Workstation(std::nullopt, true, true);
  Paths.VersionFileToWrite = (Folder.Path / "missing" / "Version.txt").string();
  Run();
  EXPECT_EQ(Events, Log({"probe PravikNW.exe", ErrorBox("Cannot create file " + Paths.VersionFileToWrite + ".")}));
  EXPECT_EQ(Program(), kOldProgram);
}

TEST_F(UpdateCheckTest, FailedDelayedAttemptsShowOneBoxEachUntilOneSucceeds) {
  const std::string refused = ErrorBox("Socket Error # 10061\r\nConnection refused.");
  Database("0408", DeadHost());
  Workstation("0407", true, true);
  Run();
  Events.clear();
  // The timer ticks on while a box is open; those ticks must neither download nor box.
  int ticksDuringBoxes = 0;
  Window.WhileBoxOpen = [&] {
    ++ticksDuringBoxes;
    Form->Timer1Tick();
  };
  Form->Timer1Tick();
  Form->Timer1Tick();
  EXPECT_EQ(Events, Log({refused, refused}));
  EXPECT_EQ(ticksDuringBoxes, 2);
  EXPECT_TRUE(Form->TimerEnabled());
  EXPECT_EQ(VersionFile(), "0407");

  // The server is back: the next attempt connects afresh.
  const std::filesystem::path served = Folder.Path / "served";
  std::filesystem::create_directories(served / "pravik");
  WriteFile((served / "pravik" / "PravikNW.exe").string(), kNewProgram);
  test::FtpServerProcess revived(DeadHost(), kFtpUser, kFtpPassword, served.string());
  Events.clear();
  Form->Timer1Tick();
  EXPECT_EQ(Events, Log({"start PravikNW.exe 5", "timer off", "close"}));
  EXPECT_EQ(Program(), kNewProgram);
  EXPECT_EQ(VersionFile(), "0408");
}

TEST_F(UpdateCheckTest, FailedDelayedRetrievalStillStartsTheNotifier) {
  Database("0408", ServerHost(), "/empty");
  Workstation("0407", true, true);
  Run();
  Events.clear();
  Form->Timer1Tick();
  EXPECT_EQ(Events, Log({FailureBox(), "close", "start PravikNW.exe 5", "timer off", "close"}));
  EXPECT_EQ(Program(), kOldProgram);
  EXPECT_EQ(VersionFile(), "0407");
  EXPECT_FALSE(Form->TimerEnabled());
}

// A retrieval that ends by our own ABOR installs nothing, so no new version is recorded.
TEST_F(UpdateCheckTest, AbortedRetrievalRecordsNoVersion) {
  Database("0408", ServerHost());
  Workstation("0407", true, false);
  Form = std::make_unique<TfrmMngFtp>(Window, Notifier, Output, UpdateLog, Signatures, Clock, Clock, Paths);
  Form->IdFTP1.OnWork = [this](TIdComponent*, TWorkMode, std::int64_t) { Form->IdFTP1.AbortTransfer(); };
  Form->FormCreate();
  Form->FormShow();
  EXPECT_EQ(Events, Log({"probe PravikNW.exe", "start PravikNW.exe 5", "close"}));
  EXPECT_EQ(Program(), kOldProgram);
  EXPECT_EQ(VersionFile(), "0407");
  EXPECT_THAT(FilesInFolder(), ElementsAre("PravikNW.exe", "Version.txt"));
}

// The version file turns unwritable while the new program arrives (here it becomes a folder):
// the new notifier is in place, so it is started all the same, and the failure is shown.
class VersionFileLostTest : public UpdateCheckTest {
 protected:
  void LoseTheVersionFileDuringTheTransfer() {
    Form->IdFTP1.OnWork = [this](TIdComponent*, TWorkMode, std::int64_t) {
      std::filesystem::remove(Paths.VersionFileToWrite);
      std::filesystem::create_directory(Paths.VersionFileToWrite);
    };
  }
  std::string CannotCreateBox() const { return ErrorBox("Cannot create file " + Paths.VersionFileToWrite + "."); }
};

TEST_F(VersionFileLostTest, ImmediateDownloadStillStartsTheNotifier) {
  Database("0408", ServerHost());
  Workstation("0407", true, false);
  Form = std::make_unique<TfrmMngFtp>(Window, Notifier, Output, UpdateLog, Signatures, Clock, Clock, Paths);
  LoseTheVersionFileDuringTheTransfer();
  Form->FormCreate();
  Form->FormShow();
  EXPECT_EQ(Events, Log({"probe PravikNW.exe", CannotCreateBox(), "start PravikNW.exe 5", "close"}));
  EXPECT_EQ(Program(), kNewProgram);
  EXPECT_THAT(UpdateLog.Lines, ::testing::Contains(::testing::StartsWith("The new notifier program is in place")));
}

TEST_F(VersionFileLostTest, DelayedDownloadStillStartsTheNotifierAndStops) {
  Database("0408", ServerHost());
  Workstation("0407", true, true);
  Run();
  LoseTheVersionFileDuringTheTransfer();
  Events.clear();
  Form->Timer1Tick();
  EXPECT_EQ(Events, Log({CannotCreateBox(), "start PravikNW.exe 5", "timer off", "close"}));
  EXPECT_EQ(Program(), kNewProgram);
  EXPECT_FALSE(Form->TimerEnabled());
}

// What the code table publishes as the notifier's SHA-256, and what becomes of the download.
struct PublishedHashCase {
  const char* Name;
  std::vector<std::optional<std::string>> Row;  // none: no row; nullopt: NULL
  std::string Directory;
  const char* Refusal;  // the log's reason, or empty when the new notifier is installed
  friend void PrintTo(const PublishedHashCase& c, std::ostream* os) { *os << c.Name; }
};

std::string Sha256Of(const std::string& bytes) {
  TSha256 hash;
  hash.Update(bytes.data(), bytes.size());
  return hash.HexDigest();
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

class DownloadCheckTest : public UpdateCheckTest, public ::testing::WithParamInterface<PublishedHashCase> {};

// A refused file is a failed retrieval: its box, the notifier started, nothing replaced and
// no new version recorded, and the log names the check.
TEST_P(DownloadCheckTest, InstallsOnlyWhatPassesTheChecks) {
  const PublishedHashCase& c = GetParam();
  Database("0408", ServerHost(), c.Directory, kFtpUser, c.Row);
  Workstation("0407", true, false);
  Run();
  if (*c.Refusal) {
    EXPECT_EQ(Events, Log({"probe PravikNW.exe", FailureBox(), "close", "start PravikNW.exe 5", "close"}));
    EXPECT_EQ(Program(), kOldProgram);
    EXPECT_EQ(VersionFile(), "0407");
    EXPECT_THAT(UpdateLog.Lines, ::testing::Contains(::testing::AllOf(::testing::StartsWith("Downloaded file refused"),
                                                                      ::testing::HasSubstr(c.Refusal))))
        << UpdateLog.All();
  } else {
    EXPECT_EQ(Events, Log({"probe PravikNW.exe", "start PravikNW.exe 5", "close"}));
    EXPECT_EQ(Program(), kNewProgram);
    EXPECT_EQ(VersionFile(), "0408");
  }
  EXPECT_THAT(FilesInFolder(), ElementsAre("PravikNW.exe", "Version.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Checks, DownloadCheckTest,
    ::testing::Values(
        PublishedHashCase{"NoRow", {}, "/pravik", ""},
        PublishedHashCase{"NullText", {std::nullopt}, "/pravik", ""},
        PublishedHashCase{"EmptyText", {std::string()}, "/pravik", ""},
        PublishedHashCase{"MatchingInUpperCase", {"  " + UpperCase(Sha256Of(kNewProgram)) + " "}, "/pravik", ""},
        PublishedHashCase{"Wrong", {Sha256Of(kOldProgram)}, "/pravik",
                          "EUpdateRefused: Hash check: the published SHA-256 is "},
        PublishedHashCase{"Malformed", {std::string("see the release notes")}, "/pravik",
                          "is not 64 hexadecimal digits"},
        PublishedHashCase{"HtmlPageServed", {}, "/html", "Windows program check: no MZ header (35 bytes)"}),
    [](const ::testing::TestParamInfo<PublishedHashCase>& info) { return std::string(info.param.Name); });

// The transfer mode the code table gives, and what the download makes of it.
struct TransferModeCase {
  const char* Name;
  std::vector<std::optional<std::string>> Row;  // none: no row; nullopt: NULL
  const char* Mode;                             // "active", "passive", or empty for a misconfiguration
  friend void PrintTo(const TransferModeCase& c, std::ostream* os) { *os << c.Name; }
};

class TransferModeTest : public UpdateCheckTest, public ::testing::WithParamInterface<TransferModeCase> {};

// Either mode installs the new notifier from the same server; any other text is a failed
// retrieval before anything is asked of the FTP server: its box, the old program, the
// notifier started, the log naming the setting.
TEST_P(TransferModeTest, DownloadsInTheModeTheAdministratorChose) {
  const TransferModeCase& c = GetParam();
  Database("0408", ServerHost(), "/pravik", kFtpUser, {}, c.Row);
  Workstation("0407", true, false);
  Run();
  const std::string log = UpdateLog.All();
  if (*c.Mode) {
    EXPECT_EQ(Events, Log({"probe PravikNW.exe", "start PravikNW.exe 5", "close"}));
    EXPECT_EQ(Program(), kNewProgram);
    EXPECT_EQ(VersionFile(), "0408");
    EXPECT_THAT(log, ::testing::HasSubstr(std::string("Retrieving PravikNW.exe in ") + c.Mode + " binary mode"));
  } else {
    EXPECT_EQ(Events, Log({"probe PravikNW.exe", FailureBox(), "close", "start PravikNW.exe 5", "close"}));
    EXPECT_EQ(Program(), kOldProgram);
    EXPECT_EQ(VersionFile(), "0407");
    EXPECT_THAT(log, ::testing::HasSubstr("Download not tried; " + Paths.Notifier +
                                          " kept: EUpdateMisconfigured: Transfer mode setting: \"" + *c.Row[0] +
                                          "\" is neither PASV (passive mode) nor PORT (active mode)"));
    EXPECT_THAT(log, ::testing::Not(::testing::HasSubstr("FTP connect to"))) << log;
  }
  EXPECT_THAT(FilesInFolder(), ElementsAre("PravikNW.exe", "Version.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, TransferModeTest,
    ::testing::Values(TransferModeCase{"NoRow", {}, "active"},
                      TransferModeCase{"NullText", {std::nullopt}, "active"},
                      TransferModeCase{"EmptyText", {std::string()}, "active"},
                      TransferModeCase{"Blanks", {std::string("  ")}, "active"},
                      TransferModeCase{"Port", {std::string("PORT")}, "active"},
                      TransferModeCase{"PasvInLowerCaseWithBlanks", {std::string(" pasv\t ")}, "passive"},
                      TransferModeCase{"Pasv", {std::string("PASV")}, "passive"},
                      TransferModeCase{"Passive", {std::string("passive")}, ""},
                      TransferModeCase{"TwoWords", {std::string("PASV PORT")}, ""},
                      TransferModeCase{"Garbage", {std::string("see the wiki")}, ""}),
    [](const ::testing::TestParamInfo<TransferModeCase>& info) { return std::string(info.param.Name); });

struct FailureCase {
  const char* Name;
  std::function<void(UpdateCheckTest&)> Arrange;
  std::string Box;  // the text of the error box, or empty for the retrieval failure box
  Log After;        // what follows the box
  std::string LogSays;  // the log's line that names the cause
  friend void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.Name; }
};

class UpdateFailureTest : public UpdateCheckTest, public ::testing::WithParamInterface<FailureCase> {};

// Every failure of an immediate download (row 6) leaves the old program and the old
// version file; only a failed retrieval still starts the notifier and closes.
TEST_P(UpdateFailureTest, KeepsTheOldProgramAndVersion) {
  const FailureCase& c = GetParam();
  Workstation("0407", true, false);
  c.Arrange(*this);
  Run();
  Log expected = {"probe PravikNW.exe"};
  if (c.Box.empty()) {
    expected.push_back(FailureBox());
  } else if (c.Box != "-") {
    expected.push_back(ErrorBox(c.Box));
  }
  expected.insert(expected.end(), c.After.begin(), c.After.end());
  EXPECT_EQ(Events, expected);
  EXPECT_EQ(Program(), kOldProgram);
  EXPECT_EQ(VersionFile(), "0407");
  EXPECT_THAT(FilesInFolder(), ElementsAre("PravikNW.exe", "Version.txt"));
  EXPECT_THAT(UpdateLog.Lines, ::testing::Contains(::testing::HasSubstr(c.LogSays))) << UpdateLog.All();
}

INSTANTIATE_TEST_SUITE_P(
    Failures, UpdateFailureTest,
    ::testing::Values(
        FailureCase{"QueryFails", [](UpdateCheckTest&) { test::CreateCentralDatabase({"Drop Table MVERCHKMESSAGECLIENT"}); },
                    "[SQLite]no such table: MVERCHKMESSAGECLIENT (1)", {},
                    "Error EDatabaseError (SQLSTATE HY000, native error 1): [SQLite]no such table"},
        FailureCase{"NullHost", [](UpdateCheckTest& t) { t.Database("0408", std::nullopt); },
                    "Invalid variant type conversion.", {}, "Error EVariantError: Invalid variant type conversion"},
        FailureCase{"ConnectRefused",
                    [](UpdateCheckTest& t) { t.Database("0408", UpdateCheckTest::DeadHost()); },
                    "Socket Error # 10061\r\nConnection refused.", {},
                    " ms: EIdSocketError (Winsock error 10061): Socket Error # 10061\r\nConnection refused."},
        FailureCase{"ConnectRefusedWithStandardOutput",
                    [](UpdateCheckTest& t) {
                      t.Database("0408", UpdateCheckTest::DeadHost());
                      t.Output.Usable = true;
                    },
                    "-",
                    {"stdout Socket Error # 10061\r\nConnection refused.",
                     UpdateCheckTest::ErrorBox("Socket Error # 10061\r\nConnection refused.")},
                    " ms: EIdSocketError (Winsock error 10061): "},
        FailureCase{"LoginRefused",
                    [](UpdateCheckTest& t) {
                      t.Database("0408", UpdateCheckTest::ServerHost(), "/pravik",
                                                                  "intruder");
                    },
                    "Authentication failed.\r\n", {}, " ms: EIdProtocolReplyError (reply 530): Authentication failed."},
        FailureCase{"DirectoryRefused",
                    [](UpdateCheckTest& t) {
                      t.Database("0408", UpdateCheckTest::ServerHost(), "/nowhere");
                    },
                    "No such file or directory.\r\n", {},
                    "Error EIdProtocolReplyError (reply 550): No such file or directory."},
        FailureCase{"FileMissingOnTheServer",
                    [](UpdateCheckTest& t) {
                      t.Database("0408", UpdateCheckTest::ServerHost(), "/empty");
                    },
                    "", {"close", "start PravikNW.exe 5", "close"},
                    "kept: EIdProtocolReplyError (reply 550): "}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.Name); });


// The record of the run: each settlement as the report receives it.
class RecordingReport : public IRunReport {
 public:
  void Settle(const TRunRecord& record) override { Settled.push_back(record); }
  std::vector<TRunRecord> Settled;
};

std::string ResultsOf(const std::vector<TRunRecord>& records) {
  std::string results;
  for (const TRunRecord& record : records) results += (results.empty() ? "" : ",") + std::string(RunResultText(*record.Result));
  return results;
}

class RunRecordTest;

struct OutcomeCase {
  const char* Name;
  std::function<void(RunRecordTest&)> Arrange;
  TRunResult Result;
  std::optional<int> Decision;
  std::optional<std::string> LocalVersion;
  std::optional<std::string> ServerVersion;
  std::optional<std::int64_t> Bytes;
  std::optional<std::string> CauseStart;
  const std::string* NotifierAfter;  // the program whose SHA-256 the record names
  friend void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.Name; }
};

class RunRecordTest : public UpdateCheckTest, public ::testing::WithParamInterface<OutcomeCase> {
 public:
  using UpdateCheckTest::Workstation;

 protected:
  void RunReported() {
    Form = std::make_unique<TfrmMngFtp>(Window, Notifier, Output, UpdateLog, Signatures, Clock, Clock, Paths, &Report);
    Form->FormCreate();
    Form->FormShow();
  }
  RecordingReport Report;
};

// One settlement per run, made before any box and after the notifier's start; the log's
// outcome line says what the record says.
TEST_P(RunRecordTest, SettlesOnceWithWhatTheRunFound) {
  const OutcomeCase& c = GetParam();
  c.Arrange(*this);
  RunReported();
  ASSERT_EQ(Report.Settled.size(), 1u) << ResultsOf(Report.Settled);
  const TRunRecord& record = Report.Settled[0];
  EXPECT_EQ(record.Result, c.Result);
  EXPECT_EQ(record.Decision, c.Decision);
  EXPECT_EQ(record.LocalVersion, c.LocalVersion);
  EXPECT_EQ(record.ServerVersion, c.ServerVersion);
  EXPECT_EQ(record.DatabaseReached(), c.ServerVersion.has_value());
  EXPECT_EQ(record.Bytes, c.Bytes);
  if (c.CauseStart) {
    EXPECT_THAT(record.Cause.value_or("none"), ::testing::StartsWith(*c.CauseStart));
  } else {
    EXPECT_EQ(record.Cause, std::nullopt);
  }
  EXPECT_EQ(record.NotifierSha256, Sha256Of(*c.NotifierAfter));
  EXPECT_EQ(record.UpdaterVersion, "1.0.0.0");
  EXPECT_FALSE(record.Workstation.empty());
  EXPECT_THAT(record.RunStarted, ::testing::MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}"));
  EXPECT_THAT(UpdateLog.Lines, ::testing::Contains(OutcomeLine(record)));
  // The record is complete before any box and, where the notifier starts, after its start.
  const auto settled = std::find(UpdateLog.Lines.begin(), UpdateLog.Lines.end(), OutcomeLine(record));
  const auto box = std::find_if(UpdateLog.Lines.begin(), UpdateLog.Lines.end(),
                                [](const std::string& line) { return line.rfind("Box ", 0) == 0; });
  EXPECT_LT(settled, box);
  const auto start = std::find_if(UpdateLog.Lines.begin(), UpdateLog.Lines.end(),
                                  [](const std::string& line) { return line.rfind("Starting the notifier", 0) == 0; });
  if (start != UpdateLog.Lines.end() && box == UpdateLog.Lines.end()) {
    EXPECT_LT(start, settled);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, RunRecordTest,
    ::testing::Values(
        OutcomeCase{"CurrentRestarted",
                    [](RunRecordTest& t) {
                      t.Database("0408", UpdateCheckTest::ServerHost());
                      t.Workstation("0408", true, true);
                    },
                    TRunResult::Current, 3, "0408", "0408", std::nullopt, std::nullopt, &kOldProgram},
        OutcomeCase{"CurrentStarted",
                    [](RunRecordTest& t) {
                      t.Database("0408", UpdateCheckTest::ServerHost());
                      t.Workstation("0408", true, false);
                    },
                    TRunResult::Current, 4, "0408", "0408", std::nullopt, std::nullopt, &kOldProgram},
        OutcomeCase{"UpdatedWithoutVersionFile",
                    [](RunRecordTest& t) {
                      t.Database("0408", UpdateCheckTest::ServerHost());
                      t.Workstation(std::nullopt, true, false);
                    },
                    TRunResult::Updated, 2, "N", "0408", std::string(kNewProgram).size(), std::nullopt,
                    &kNewProgram},
        OutcomeCase{"Updated",
                    [](RunRecordTest& t) {
                      t.Database("0408", UpdateCheckTest::ServerHost());
                      t.Workstation("0407", true, false);
                    },
                    TRunResult::Updated, 6, "0407", "0408", std::string(kNewProgram).size(), std::nullopt,
                    &kNewProgram},
        OutcomeCase{"RefusedByThePublishedHash",
                    [](RunRecordTest& t) {
                      t.Database("0408", UpdateCheckTest::ServerHost(), "/pravik", kFtpUser, {Sha256Of(kOldProgram)});
                      t.Workstation("0407", true, false);
                    },
                    TRunResult::Refused, 6, "0407", "0408", std::string(kNewProgram).size(),
                    "EUpdateRefused: Hash check: the published SHA-256 is ", &kOldProgram},
        OutcomeCase{"HeldBackByTheRollout",
                    [](RunRecordTest& t) {
                      t.Database("0408", UpdateCheckTest::ServerHost(), "/pravik", kFtpUser, {}, {},
                                 {{kRolloutShareCode, "0"}});
                      t.Workstation("0407", true, true);
                    },
                    TRunResult::Held, 5, "0407", "0408", std::nullopt, "held back by the rollout: bucket ",
                    &kOldProgram},
        OutcomeCase{"FailedConnect",
                    [](RunRecordTest& t) {
                      t.Database("0408", UpdateCheckTest::DeadHost());
                      t.Workstation("0407", true, false);
                    },
                    TRunResult::Failed, 6, "0407", "0408", std::nullopt,
                    "EIdSocketError (Winsock error 10061): Socket Error # 10061\r\nConnection refused.", &kOldProgram},
        OutcomeCase{"FailedRetrieval",
                    [](RunRecordTest& t) {
                      t.Database("0408", UpdateCheckTest::ServerHost(), "/empty");
                      t.Workstation("0407", true, false);
                    },
                    TRunResult::Failed, 6, "0407", "0408", 0, "EIdProtocolReplyError (reply 550): ", &kOldProgram},
        OutcomeCase{"FailedVersionRead",
                    [](RunRecordTest& t) {
                      test::CreateCentralDatabase({"Drop Table MVERCHKMESSAGECLIENT"});
                      t.Workstation("0407", true, false);
                    },
                    TRunResult::Failed, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                    "EDatabaseError (SQLSTATE HY000, native error 1): [SQLite]no such table", &kOldProgram},
        OutcomeCase{"FailedLookup",
                    [](RunRecordTest& t) {
                      t.Database("0408", std::nullopt);
                      t.Workstation("0407", true, false);
                    },
                    TRunResult::Failed, 6, "0407", "0408", std::nullopt,
                    "EVariantError: Invalid variant type conversion", &kOldProgram}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) { return std::string(info.param.Name); });

// The delayed download: its first failed attempt settles as failed, the attempt that succeeds
// as updated, and the failures between them settle nothing.
TEST_F(RunRecordTest, DelayedRunSettlesItsFirstFailureAndItsSuccess) {
  Database("0408", DeadHost());
  Workstation("0407", true, true);
  RunReported();
  EXPECT_TRUE(Report.Settled.empty());
  Form->Timer1Tick();
  Form->Timer1Tick();
  const std::filesystem::path served = Folder.Path / "served";
  std::filesystem::create_directories(served / "pravik");
  WriteFile((served / "pravik" / "PravikNW.exe").string(), kNewProgram);
  test::FtpServerProcess revived(DeadHost(), kFtpUser, kFtpPassword, served.string());
  Form->Timer1Tick();
  Form->FormClose();
  ASSERT_EQ(ResultsOf(Report.Settled), "failed,updated");
  EXPECT_EQ(Report.Settled[0].Decision, 5);
  EXPECT_EQ(Report.Settled[0].Bytes, std::nullopt);
  EXPECT_EQ(Report.Settled[0].NotifierSha256, Sha256Of(kOldProgram));
  EXPECT_EQ(Report.Settled[1].Bytes, std::string(kNewProgram).size());
  EXPECT_EQ(Report.Settled[1].Cause, std::nullopt);
  EXPECT_EQ(Report.Settled[1].NotifierSha256, Sha256Of(kNewProgram));
  EXPECT_GE(Report.Settled[1].DurationMs, Report.Settled[0].DurationMs);
}

TEST_F(RunRecordTest, WindowClosedDuringTheWaitSettlesAsAbandoned) {
  Database("0408", ServerHost());
  Workstation("0407", true, true);
  RunReported();
  Form->FormClose();
  Form->FormClose();
  ASSERT_EQ(ResultsOf(Report.Settled), "abandoned");
  EXPECT_EQ(Report.Settled[0].Decision, 5);
  EXPECT_EQ(Report.Settled[0].Bytes, std::nullopt);
}

// The new notifier is in place but its version cannot be recorded: updated, settled before
// the error box, and that box settles nothing more.
TEST_F(RunRecordTest, UpdatedEvenWhenTheVersionCannotBeRecorded) {
  Database("0408", ServerHost());
  Workstation("0407", true, false);
  Form = std::make_unique<TfrmMngFtp>(Window, Notifier, Output, UpdateLog, Signatures, Clock, Clock, Paths, &Report);
  Form->IdFTP1.OnWork = [this](TIdComponent*, TWorkMode, std::int64_t) {
    std::filesystem::remove(Paths.VersionFileToWrite);
    std::filesystem::create_directory(Paths.VersionFileToWrite);
  };
  Form->FormCreate();
  Form->FormShow();
  ASSERT_EQ(ResultsOf(Report.Settled), "updated");
  EXPECT_EQ(Report.Settled[0].NotifierSha256, Sha256Of(kNewProgram));
}

// The program's own report without the table: one line in the log, nothing queued.
TEST_F(UpdateCheckTest, WithoutTheTableTheReportSaysSoOnceAndKeepsNothing) {
  Database("0408", DeadHost());
  Workstation("0407", true, true);
  Run();
  Form->Timer1Tick();
  Form->FormClose();
  const auto said = std::count_if(UpdateLog.Lines.begin(), UpdateLog.Lines.end(),
                                  [](const std::string& line) { return line.rfind("Report: ", 0) == 0; });
  EXPECT_EQ(said, 1) << UpdateLog.All();
  EXPECT_THAT(UpdateLog.Lines, ::testing::Contains("Report: no table MVERCHKRESULT in the central database; nothing reported"));
  EXPECT_FALSE(std::filesystem::exists(Paths.Pending));
}

// With the start check switched on (code 994): whole runs over the real files, database and
// FTP server, the notifier's processes scripted and the waits on a fake clock.
class StartCheckRunTest : public UpdateCheckTest {
 protected:
  StartCheckRunTest() {
    Paths.Held = (Folder.Path / "PravikFtp.held").string();
    Scripted.ReadProgram = [this] {
      const std::string program = Program();
      return program == kOldProgram ? "old" : program == kNewProgram ? "new" : "other";
    };
  }
  void Arrange(std::optional<std::string> versionFile, bool programPresent) {
    Database("0408", ServerHost(), "/pravik", kFtpUser, {}, {}, {{kStartCheckCode, std::string(" on")}});
    Workstation(versionFile, programPresent, false);
  }
  void RunChecked() {
    Form = std::make_unique<TfrmMngFtp>(Window, Scripted, Output, UpdateLog, Signatures, Clock, Clock, Paths, &Report);
    Form->FormCreate();
    Form->FormShow();
  }
  const TRunRecord& Settled() const { return Report.Settled.back(); }
  std::string Previous() const { return Paths.Notifier + ".previous"; }

  test::ScriptedNotifier Scripted{Events, Clock};
  RecordingReport Report;
};

TEST_F(StartCheckRunTest, NewNotifierThatEndsAtOnceIsRolledBackAndHeld) {
  Arrange("0407", true);
  Scripted.Scripts = {test::EndsAfter(std::chrono::milliseconds(120), 3), test::Healthy()};
  RunChecked();
  EXPECT_EQ(Events, Log({"start PravikNW.exe 5 (new)", "start PravikNW.exe 5 (old)", "close"}));
  EXPECT_EQ(Program(), kOldProgram);
  EXPECT_EQ(VersionFile(), "0407");
  ASSERT_EQ(Report.Settled.size(), 1u);
  EXPECT_EQ(Settled().Result, TRunResult::RolledBack);
  EXPECT_EQ(Settled().Cause, "the new notifier \"0408\" did not start: ended with exit code 3 after 150 ms");
  EXPECT_EQ(Settled().NotifierSha256, Sha256Of(kOldProgram));
  EXPECT_THAT(UpdateLog.All(), ::testing::HasSubstr("Outcome: rolledback"));

  // The next run finds the same version on the server and the old notifier running:
  // nothing downloaded, the old notifier restarted as for equal versions, the version file
  // as it was.
  Events.clear();
  UpdateLog.Lines.clear();
  Report.Settled.clear();
  Scripted.Scripts = {test::Healthy()};
  RunChecked();
  EXPECT_EQ(Events, Log({"owner PravikNW", "kill PravikNW", "terminate old", "start PravikNW.exe 5 (old)", "close"}));
  EXPECT_EQ(Program(), kOldProgram);
  EXPECT_EQ(VersionFile(), "0407");
  EXPECT_EQ(Settled().Result, TRunResult::Held);
  EXPECT_EQ(Settled().Cause, "its start failed here on 2026-12-11 17:02:11");
  EXPECT_THAT(UpdateLog.All(), ::testing::Not(::testing::HasSubstr("FTP connect")));
}

TEST_F(StartCheckRunTest, PreviousThatCannotBePutBackIsAFailedReplace) {
  Arrange("0407", true);
  Scripted.Scripts = {test::NeverTakesMutex(), test::Healthy()};
  Scripted.OnStart = [this] { std::filesystem::remove(Previous()); };
  RunChecked();
  EXPECT_EQ(Events, Log({"start PravikNW.exe 5 (new)", "terminate new", FailureBox(), "close",
                         "start PravikNW.exe 5 (new)", "close"}));
  EXPECT_EQ(Program(), kNewProgram);
  EXPECT_EQ(VersionFile(), "0407");
  EXPECT_EQ(Settled().Result, TRunResult::Failed);
  EXPECT_THAT(Settled().Cause.value_or(""), ::testing::HasSubstr("could not be put back"));
  EXPECT_THAT(UpdateLog.All(), ::testing::HasSubstr("Rollback failed: "));
}

TEST_F(StartCheckRunTest, WithoutAProgramBeforeTheNewOneStaysAndTheRunFailed) {
  Arrange(std::nullopt, false);
  Scripted.Scripts = {test::EndsAfter(std::chrono::milliseconds(10), 3)};
  RunChecked();
  EXPECT_EQ(Events, Log({"start PravikNW.exe 5 (new)", "close"}));
  EXPECT_EQ(Program(), kNewProgram);
  EXPECT_FALSE(std::filesystem::exists(Paths.VersionFileToWrite));
  EXPECT_EQ(Settled().Result, TRunResult::Failed);
  EXPECT_THAT(Settled().Cause.value_or(""), ::testing::StartsWith("the new notifier \"0408\" did not start"));
}

// Rows 3 and 4 have nothing to go back to: a notifier that does not start is logged and
// reported, and the run stays what it was.
TEST_F(StartCheckRunTest, EqualVersionsCheckTheStartWithoutARollback) {
  Arrange("0408", true);
  Scripted.AlreadyRunning(std::chrono::milliseconds(300));
  Scripted.Scripts = {test::EndsAfter(std::chrono::milliseconds(500), 1)};
  RunChecked();
  EXPECT_EQ(Events, Log({"owner PravikNW", "kill PravikNW", "terminate before", "start PravikNW.exe 5 (old)", "close"}));
  EXPECT_EQ(Program(), kOldProgram);
  EXPECT_FALSE(std::filesystem::exists(Previous()));
  EXPECT_FALSE(std::filesystem::exists(Paths.Held));
  EXPECT_EQ(Settled().Result, TRunResult::Current);
  EXPECT_EQ(Settled().Cause, "the notifier did not start: ended with exit code 1 after 500 ms");
  EXPECT_THAT(UpdateLog.All(), ::testing::HasSubstr(": started, start check failed: ended with exit code 1 after 500 ms"));
  EXPECT_THAT(UpdateLog.All(), ::testing::Not(::testing::HasSubstr("Rollback:")));
}

// Row 5: the running notifier is waited for until it is gone; the new one then starts in
// time and is recorded, the old one kept beside it.
TEST_F(StartCheckRunTest, DelayedUpdateWaitsForTheStoppedNotifierAndRecordsAStartedOne) {
  Arrange("0407", true);
  Scripted.AlreadyRunning(std::chrono::milliseconds(300));
  Scripted.Scripts = {test::TakesMutexAfter(std::chrono::milliseconds(8000))};
  RunChecked();
  Form->Timer1Tick();
  EXPECT_EQ(Events, Log({"owner PravikNW", "kill PravikNW", "terminate before", "timer on",
                         "start PravikNW.exe 5 (new)", "timer off", "close"}));
  EXPECT_EQ(Program(), kNewProgram);
  EXPECT_EQ(ReadFile(Previous()), kOldProgram);
  EXPECT_EQ(VersionFile(), "0408");
  EXPECT_EQ(Settled().Result, TRunResult::Updated);
  EXPECT_THAT(UpdateLog.All(), ::testing::HasSubstr("The stopped notifier was gone after 300 ms"));
  EXPECT_THAT(UpdateLog.All(), ::testing::HasSubstr("\"PravikNW.exe\" mutex after 8000 ms"));
}

}  // namespace
}  // namespace pravik::app
