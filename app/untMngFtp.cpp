#include "app/untMngFtp.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <utility>

#include "app/AppTexts.h"
#include "app/ErrorDescription.h"
#include "app/ErrorDisplay.h"
#include "app/FileRewrite.h"
#include "app/NotifierCheck.h"
#include "app/Rollout.h"
#include "app/TransferMode.h"
#include "db/ServerVersion.h"
#include "db/Workstation.h"
#include "db/untPublicLib.h"
#include "ftp/IdFTPErrors.h"
#include "ftp/IdFileSystem.h"
#include "net/IdGlobal.h"

namespace pravik::app {

namespace {

// Holds the flag up while a handler runs, whatever way it ends.
class TBusyScope {
 public:
  explicit TBusyScope(bool& flag) : Flag(flag) { Flag = true; }
  ~TBusyScope() { Flag = false; }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

 private:
  bool& Flag;
};

// What each row of the decision does, as the log tells it.
constexpr const char* kRowMeaning[] = {
    "",
    "no notifier program: download now, start the notifier",
    "no local version: download now, start the notifier",
    "versions equal, notifier running: restart the notifier",
    "versions equal, notifier not running: start the notifier",
    "versions differ, notifier running: stop the notifier, download in 2000 ms",
    "versions differ, notifier not running: download now, start the notifier",
};

// WinExec's results above this mean the program started.
constexpr std::uint32_t kStartedAbove = 31;

using TClock = std::chrono::steady_clock;

long long MillisecondsSince(TClock::time_point began) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - began).count();
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A reply as "230 Login successful." with its text lines joined by blanks.
std::string ReplyText(const TIdRFCReply& reply) {
  std::string text = std::to_string(reply.NumericCode);
  for (const std::string& line : reply.Text) text += " " + line;
  return text;
}

// "1234567 bytes in 0.52 s (2318.4 KiB/s)".
std::string TransferFigures(std::int64_t bytes, long long milliseconds) {
  char figures[96];
  const double seconds = static_cast<double>(milliseconds) / 1000.0;
  const double rate = milliseconds > 0 ? static_cast<double>(bytes) / 1024.0 / seconds : 0.0;
  std::snprintf(figures, sizeof figures, "%lld bytes in %.2f s (%.1f KiB/s)", static_cast<long long>(bytes), seconds,
                rate);
  return figures;
}

}  // namespace

std::string CodeLookupStatement(const std::string& codeGroup, const std::string& code) {
  return "Select CODETEXT From MCODEBASE Where CODEID = '" + codeGroup + "'  and CODE = '" + code + "'  ";
}

int DecisionRow(bool programPresent, const std::string& localVersion, const std::string& serverVersion,
                bool running) {
  if (!programPresent) return 1;
  if (localVersion == kNoLocalVersion) return 2;
  if (localVersion == serverVersion) return running ? 3 : 4;
  return running ? 5 : 6;
}

TfrmMngFtp::TfrmMngFtp(IUpdateWindow& window, INotifierControl& notifier, IStandardOutput& output, IUpdateLog& log,
                       ISignatureReader& signatures, IResponsiveWait& wait, IClock& clock, TUpdatePaths paths,
                       IRunReport* report)
    : qryTmp(ADOConnectionMAIN, VersionStatement()),
      Window(window),
      Notifier(notifier),
      Output(output),
      Log(log),
      Signatures(signatures),
      Paths(std::move(paths)),
      Guard(notifier, wait, clock, log, Paths.Notifier, Paths.Held),
      FRun(TRunRecord::Begin()),
      FOwnReport(report ? nullptr : MakeFleetReport(ADOConnectionMAIN, Paths.Pending, log)),
      Report(report ? *report : *FOwnReport) {
  IdFTP1.MaxLineAction = TIdMaxLineAction::maException;
  // A file that arrives shorter or longer than the server says is never installed.
  IdFTP1.VerifySize = true;
  IdFTP1.ProxySettings().ProxyType = TIdFtpProxyType::fpcmNone;
  IdFTP1.ProxySettings().Port = 0;
  // The transfer's progress, for the log: how far a broken transfer got.
  IdFTP1.OnWorkBegin = [this](TIdComponent*, TWorkMode, std::int32_t) { FBytesReceived = 0; };
  IdFTP1.OnWork = [this](TIdComponent*, TWorkMode, std::int32_t count) { FBytesReceived = count; };
}

void TfrmMngFtp::FormCreate() {
  sFtpCodeID = kFtpCodeID;
  sFtpHostCode = kFtpHostCode;
  sFtpUserCode = kFtpUserCode;
  sFtpPassCode = kFtpPassCode;
  sFtpDirCode = kFtpDirCode;
  sFtpHashCode = kFtpHashCode;
  sFtpModeCode = kFtpModeCode;
}

void TfrmMngFtp::FormShow() {
  TBusyScope busy(FBusy);
  try {
    btnOKClick();
  } catch (const std::exception& error) {
    ShowErrorBox(error);
  }
}

void TfrmMngFtp::Timer1Tick() {
  // A tick inside a running attempt would download twice; one inside its box would stack
  // boxes. The timer ticks again 2000 ms later.
  if (FBusy || !FTimerEnabled) return;
  TBusyScope busy(FBusy);
  try {
    Timer1Timer();
  } catch (const std::exception& error) {
    ShowErrorBox(error);
  }
}

void TfrmMngFtp::ShowErrorBox(const std::exception& error) {
  Log.Write("Error " + DescribeError(error));
  Settle(TRunResult::Failed, DescribeError(error));
  ShowBox(ErrorBoxText(error.what()), ProgramTitle(Window.ProgramFile()), kBoxStopIcon);
}

void TfrmMngFtp::ShowBox(const std::string& text, const std::string& caption, unsigned flags) {
  Log.Write("Box " + Quoted(caption) + " shown: " + text);
  Window.ShowMessageBox(text, caption, flags);
  Log.Write("Box " + Quoted(caption) + " answered");
}

void TfrmMngFtp::btnOKClick() {
  const bool running = IsNotifierRunning();
  Log.Write(std::string("Notifier ") + (running ? "running" : "not running") + " (mutex " + Quoted(kNotifierMutex) +
            ")");
  const std::string serverVersion = ReadServerVersion(qryTmp);
  Log.Write("Server version " + Quoted(serverVersion));
  FRun.ServerVersion = serverVersion;
  std::string localVersion = kNoLocalVersion;
  mmLoadTxt.Clear();
  if (FileExists(Paths.VersionFileToRead)) {
    mmLoadTxt.LoadFromFile(Paths.VersionFileToRead);
    localVersion = mmLoadTxt.FirstLine();
    Log.Write("Local version " + Quoted(localVersion) + " (first line of " + Paths.VersionFileToRead + ")");
  } else {
    Log.Write("Local version N: no version file " + Paths.VersionFileToRead);
  }
  FRun.LocalVersion = localVersion;
  mmLoadTxt.ReplaceFirstLine(serverVersion);
  // The file records the server version only once that version is installed: a download
  // saves it after the new program file is in place. Whether it can be written is known
  // before anything is decided.
  CheckCanWrite(Paths.VersionFileToWrite);

  const bool programPresent = FileExists(Paths.NotifierToProbe);
  const int row = DecisionRow(programPresent, localVersion, serverVersion, running);
  FRun.Decision = row;
  Log.Write("Decision: row " + std::to_string(row) + ", " + kRowMeaning[row] + " (notifier program " +
            Paths.NotifierToProbe + (programPresent ? " present)" : " missing)"));
  Guard.Configure(LookUpSilently(kStartCheckCode), serverVersion);
  if (row == 5 || row == 6) {
    if (const std::optional<std::string> heldBack = RolloutHoldsBack(serverVersion)) {
      KeepInstalledNotifier(running, TRunResult::Held, heldBack);
      return;
    }
  }
  if (row != 1 && row != 3 && row != 4 &&
      Guard.Holds([this] { return LookUpOptional(sFtpHashCode, "published SHA-256"); })) {
    KeepInstalledNotifier(running, TRunResult::Held, "its start failed here on " + Guard.HeldRecord().Date);
    return;
  }
  switch (row) {
    case 3:
    case 4:
      SaveVersionFile();
      KeepInstalledNotifier(running, TRunResult::Current);
      break;
    case 5:
      btnKillProClick();
      SetTimer(true);
      break;
    default:
      DownloadAndStart();
      break;
  }
}

std::optional<std::string> TfrmMngFtp::RolloutHoldsBack(const std::string& serverVersion) {
  const std::optional<std::string> share = LookUpOptional(kRolloutShareCode, "rollout percentage");
  const std::optional<std::string> names = LookUpOptional(kRolloutNamesCode, "rollout workstations");
  const std::string workstation = WorkstationName();
  const TRolloutVerdict verdict = RolloutVerdict(workstation, serverVersion, share, names);
  Log.Write("Rollout of " + Quoted(serverVersion) + " to workstation " + Quoted(workstation) + ": " + verdict.Reason +
            (verdict.Takes ? "" : "; the installed notifier stays, the version file is left as it is"));
  if (verdict.Takes) return std::nullopt;
  return verdict.Reason;
}

void TfrmMngFtp::KeepInstalledNotifier(bool running, TRunResult result, std::optional<std::string> cause) {
  if (running) btnKillProClick();
  StartNotifier();
  // After the start: the report never delays the notifier.
  Settle(result, Guard.WithStartFailure(std::move(cause)));
  Window.RequestClose();
}

void TfrmMngFtp::DownloadAndStart() {
  StartAfterDownload(DownLoadFile());
  Window.RequestClose();
}

void TfrmMngFtp::StartAfterDownload(bool installed) {
  if (!installed || !Guard.Enabled()) {
    if (installed) RecordInstalledVersion();
    StartNotifier();
    if (installed) Settle(TRunResult::Updated);
    return;
  }
  switch (Guard.StartReplaced(kNotifierShowCommand)) {
    case TReplacedStart::Passed:
      RecordInstalledVersion();
      Settle(TRunResult::Updated);
      break;
    case TReplacedStart::Failed:
      Settle(TRunResult::Failed, Guard.Cause());
      break;
    case TReplacedStart::RolledBack:
      Settle(TRunResult::RolledBack, Guard.Cause());
      break;
    case TReplacedStart::NotPutBack:
      // As a replace that failed: its box, then the program in place is started.
      ReportRetrievalFailure("Rollback failed: " + Guard.Cause(), TRunResult::Failed, Guard.Cause());
      StartNotifier();
      break;
  }
}

void TfrmMngFtp::SaveVersionFile() {
  mmLoadTxt.SaveToFile(Paths.VersionFileToWrite);
  Log.Write("Version file " + Paths.VersionFileToWrite + " written, first line " + Quoted(mmLoadTxt.FirstLine()));
}

void TfrmMngFtp::RecordInstalledVersion() {
  try {
    SaveVersionFile();
  } catch (const std::exception& error) {
    Log.Write("The new notifier program is in place, but its version could not be recorded; the next start "
              "downloads it again");
    Settle(TRunResult::Updated);
    ShowErrorBox(error);
  }
}

bool TfrmMngFtp::IsNotifierRunning() { return Notifier.MutexExists(kNotifierMutex); }

void TfrmMngFtp::btnKillProClick() {
  std::unique_ptr<INotifierProcess> owner = Guard.OwnerBeforeStop(kNotifierWindowTitle);
  const bool found = Notifier.TerminateWindowOwner(kNotifierWindowTitle);
  Log.Write("Stopping the notifier: the owner of the window " + Quoted(kNotifierWindowTitle) +
            (found ? ": window found, its process ended" : ": no such window"));
  Guard.WaitUntilStopped(std::move(owner));
}

void TfrmMngFtp::StartNotifier() {
  if (Guard.StartChecked(kNotifierShowCommand)) return;
  const std::uint32_t result = Notifier.StartProgram(Paths.Notifier, kNotifierShowCommand);
  // Above 31 the system started it; below, the number is its reason (2: no such file).
  Log.Write("Starting the notifier " + Paths.Notifier +
            (result > kStartedAbove ? ": started" : ": not started, system result " + std::to_string(result)));
}

std::string TfrmMngFtp::LookUp(const std::string& code, const std::string& setting, bool secret) {
  std::string value;
  GetSqlValue(CodeLookupStatement(sFtpCodeID, code), qryTmp, value);
  const std::string shown = !secret ? Quoted(value) : value.empty() ? "empty" : "given (not recorded)";
  Log.Write("Setting " + setting + " (code " + sFtpCodeID + "/" + code + "): " + shown);
  return value;
}

std::optional<std::string> TfrmMngFtp::LookUpOptional(const std::string& code, const std::string& setting) {
  try {
    return LookUp(code, setting);
  } catch (const EVariantError&) {
    Log.Write("Setting " + setting + " (code " + sFtpCodeID + "/" + code + "): NULL");
    return std::nullopt;
  }
}

std::optional<std::string> TfrmMngFtp::LookUpSilently(const std::string& code) {
  std::string value;
  try {
    GetSqlValue(CodeLookupStatement(sFtpCodeID, code), qryTmp, value);
  } catch (const EVariantError&) {
    return std::nullopt;
  }
  return value;
}

bool TfrmMngFtp::DownLoadFile() {
  IdFTP1.Host = LookUp(sFtpHostCode, "FTP host");
  IdFTP1.Username = LookUp(sFtpUserCode, "FTP user");
  IdFTP1.Password = LookUp(sFtpPassCode, "FTP password", true);
  IdFTP1.Passive = false;
  try {
    IdFTP1.Passive = PassiveModeSetting(LookUpOptional(sFtpModeCode, "FTP transfer mode"));
  } catch (const EUpdateMisconfigured& error) {
    ReportRetrievalFailure("Download not tried; " + Paths.Notifier + " kept: " + DescribeError(error),
                           TRunResult::Failed, DescribeError(error));
    return false;
  }
  Log.Write("FTP connect to " + IdFTP1.Host + ":" + std::to_string(IdFTP1.Port) + " as " + Quoted(IdFTP1.Username));
  const TClock::time_point connecting = TClock::now();
  try {
    IdFTP1.ConnectToServer(true, TimeLimitDefault);
  } catch (const std::exception& error) {
    Log.Write("FTP connect failed after " + std::to_string(MillisecondsSince(connecting)) + " ms: " +
              DescribeError(error));
    // The connect's own error is the one worth showing; the line goes where there is a
    // standard output to take it.
    try {
      Output.WriteLine(error.what());
    } catch (const EInOutError&) {
    }
    throw;
  }
  Log.Write("FTP connected and logged in after " + std::to_string(MillisecondsSince(connecting)) +
            " ms: " + ReplyText(IdFTP1.LoginReply) + "; system " + Quoted(IdFTP1.SystemDescription));
  const std::string directory = LookUp(sFtpDirCode, "FTP directory");
  IdFTP1.ChangeDirectory(directory);
  Log.Write("FTP directory " + Quoted(directory) + ": " + ReplyText(IdFTP1.LastReply));

  const std::optional<std::string> published = LookUpOptional(sFtpHashCode, "published SHA-256");
  TNotifierCheck check(Signatures, Paths.Notifier, published);
  struct TCheckScope {
    TIdFTP& Client;
    ~TCheckScope() { Client.RetrievalCheck = nullptr; }
  } checking{IdFTP1};
  IdFTP1.RetrievalCheck = Guard.Keeping(check, published);

  Log.Write(std::string("Retrieving ") + kNotifierRemoteName + " in " + (IdFTP1.Passive ? "passive" : "active") +
            " binary mode into " + Paths.Notifier);
  const TClock::time_point retrieving = TClock::now();
  FBytesReceived = 0;
  bool retrieved = true;
  try {
    IdFTP1.RetrieveFile(kNotifierRemoteName, Paths.Notifier, true, false);
    // An abort returns without error and leaves the old program: nothing new to record.
    retrieved = !IdFTP1.TransferAborted();
    const std::string figures = TransferFigures(FBytesReceived, MillisecondsSince(retrieving));
    FRun.Bytes = FBytesReceived;
    Log.Write(retrieved ? "Retrieved " + figures + "; " + Paths.Notifier + " replaced after the checks: " +
                              check.Findings()
                        : "Retrieval aborted after " + figures + "; " + Paths.Notifier + " kept");
    if (!retrieved) Settle(TRunResult::Failed, "Retrieval aborted after " + figures);
  } catch (const std::exception& error) {
    retrieved = false;
    const bool refused = dynamic_cast<const EUpdateRefused*>(&error) || dynamic_cast<const EIdFTPSizeMismatch*>(&error);
    FRun.Bytes = FBytesReceived;
    ReportRetrievalFailure((refused ? "Downloaded file refused after " : "Retrieval failed after ") +
                               TransferFigures(FBytesReceived, MillisecondsSince(retrieving)) + "; " + Paths.Notifier +
                               " kept: " + DescribeError(error),
                           refused ? TRunResult::Refused : TRunResult::Failed, DescribeError(error));
  }
  IdFTP1.CloseConnection();
  return retrieved;
}

void TfrmMngFtp::ReportRetrievalFailure(const std::string& line, TRunResult result, const std::string& cause) {
  Log.Write(line);
  // Settled before the box: a box on an unattended workstation may wait for hours.
  Settle(result, cause);
  ShowBox(kRetrievalFailedText, kRetrievalFailedCaption, kBoxStopIcon);
  Window.RequestClose();
}

void TfrmMngFtp::Timer1Timer() {
  Log.Write("Delayed download");
  StartAfterDownload(DownLoadFile());
  SetTimer(false);
  Window.RequestClose();
}

void TfrmMngFtp::FormClose() { Settle(TRunResult::Abandoned); }

void TfrmMngFtp::Settle(TRunResult result, std::optional<std::string> cause) {
  if (!FRun.Settle(result, std::move(cause))) return;
  FRun.NotifierSha256 = FileSha256(Paths.Notifier);
  Log.Write(OutcomeLine(FRun));
  Report.Settle(FRun);
}

void TfrmMngFtp::SetTimer(bool enabled) {
  FTimerEnabled = enabled;
  Window.SetTimerEnabled(enabled);
}

}  // namespace pravik::app
