#pragma once
// The update window `frmMngFtp` and its handlers: the version check and update decision,
// notifier control and the download. Its screen side, the notifier's process and standard
// output come through the platform interfaces, so the whole decision runs anywhere.

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "app/FleetReport.h"
#include "app/NotifierGuard.h"
#include "app/RunRecord.h"
#include "app/TextBuffer.h"
#include "app/UpdateServices.h"
#include "db/TADOConnection.h"
#include "db/TADOQuery.h"
#include "ftp/IdFTP.h"

namespace pravik::app {

// Where the workstation's files are. The two spellings of each name are the program's
// own; the file system takes them as one.
struct TUpdatePaths {
  std::string VersionFileToRead = "c:\\Pravik\\Version.txt";
  std::string VersionFileToWrite = "C:\\Pravik\\Version.txt";
  std::string NotifierToProbe = "c:\\Pravik\\PravikNW.exe";
  std::string Notifier = "C:\\Pravik\\PravikNW.exe";
  std::string Log = "C:\\Pravik\\PravikFtp.log";
  // The fleet report's rows that wait for the central database.
  std::string Pending = "C:\\Pravik\\PravikFtp.pending";
  // The record of a notifier version that failed its start check here.
  std::string Held = "C:\\Pravik\\PravikFtp.held";
};

class TfrmMngFtp {
 public:
  // Creates the window's objects: the database connection (not connected), the query
  // with the version statement, the FTP client with its stored settings, the timer off.
  // Every step, error and box is recorded in `log`; `signatures` judges the publisher of a
  // downloaded notifier; `wait` and `clock` time the start checks of the notifier. Each
  // settlement of the run goes to `report`, by default the fleet report over the window's own
  // connection.
  TfrmMngFtp(IUpdateWindow& window, INotifierControl& notifier, IStandardOutput& output, IUpdateLog& log,
             ISignatureReader& signatures, IResponsiveWait& wait, IClock& clock, TUpdatePaths paths = {},
             IRunReport* report = nullptr);
  TfrmMngFtp(const TfrmMngFtp&) = delete;
  TfrmMngFtp& operator=(const TfrmMngFtp&) = delete;

  void FormCreate();
  // Runs the check through btnOK; an error that escapes it is shown in the error box.
  void FormShow();
  // The timer's dispatch: Timer1Timer, its escaping error shown in the error box. A tick
  // that comes while a check, a download or a box of this program is under way is dropped.
  void Timer1Tick();

  void btnOKClick();
  void btnKillProClick();
  bool IsNotifierRunning();
  void StartNotifier();
  // Looks the FTP settings up, connects, changes directory and retrieves the notifier,
  // which replaces the installed one only once it has passed the size, Windows program,
  // published hash and publisher checks. A failed or refused retrieval is shown in its
  // own box and asks the window to close; the result says whether the new program file is
  // in place (not after a failure, a refusal or an abort).
  bool DownLoadFile();
  void Timer1Timer();
  // The window has closed: a run that has not settled (the delayed download still waiting)
  // settles as abandoned.
  void FormClose();

  // The error box: the message by the "." rule, the program title, a stop sign; the
  // error's class, codes and message go to the log first.
  void ShowErrorBox(const std::exception& error);
  bool TimerEnabled() const { return FTimerEnabled; }
  const TRunRecord& RunRecord() const { return FRun; }

  TADOConnection ADOConnectionMAIN;
  TADOQuery qryTmp;
  TIdFTP IdFTP1;
  TTextBuffer mmLoadTxt;
  std::string sFtpCodeID;
  std::string sFtpHostCode;
  std::string sFtpUserCode;
  std::string sFtpPassCode;
  std::string sFtpDirCode;
  std::string sFtpHashCode;
  std::string sFtpModeCode;

 private:
  // The setting under `code`; `setting` names it in the log, which never holds a secret's value.
  std::string LookUp(const std::string& code, const std::string& setting, bool secret = false);
  // A setting that may be absent: nullopt for a NULL value.
  std::optional<std::string> LookUpOptional(const std::string& code, const std::string& setting);
  // A setting whose absence the log does not mention (the feature it switches on says so).
  std::optional<std::string> LookUpSilently(const std::string& code);
  void SetTimer(bool enabled);
  // Download now, record the version when the file came, start the notifier, close.
  void DownloadAndStart();
  // Why this workstation does not take `serverVersion` now, by the staged rollout's rows of
  // the code table; nullopt when it takes it. The verdict goes to the log.
  std::optional<std::string> RolloutHoldsBack(const std::string& serverVersion);
  // The notifier program stays as it is: a running notifier is restarted, a stopped one
  // started, the run settled with `result`; then the window closes.
  void KeepInstalledNotifier(bool running, TRunResult result, std::optional<std::string> cause = std::nullopt);
  // After a download: the notifier started, the version recorded when the new program is
  // in place (and, with the start check on, runs), the run settled.
  void StartAfterDownload(bool installed);
  void SaveVersionFile();
  // After a new program file is in place: a version file that cannot be written now is
  // shown and logged, and the run goes on to start the notifier (the next start downloads
  // again).
  void RecordInstalledVersion();
  void ShowBox(const std::string& text, const std::string& caption, unsigned flags);
  // A download that failed, was refused or was not tried: `line` goes to the log, the run is
  // settled with `result` and `cause`, the retrieval failure box is shown and the window
  // asked to close.
  void ReportRetrievalFailure(const std::string& line, TRunResult result, const std::string& cause);
  // Settles the run (see TRunRecord::Settle): the outcome to the log and to the report.
  void Settle(TRunResult result, std::optional<std::string> cause = std::nullopt);

  IUpdateWindow& Window;
  INotifierControl& Notifier;
  IStandardOutput& Output;
  IUpdateLog& Log;
  ISignatureReader& Signatures;
  const TUpdatePaths Paths;
  TNotifierGuard Guard;
  // Bytes of the running retrieval so far, from the client's progress reports.
  std::int64_t FBytesReceived = 0;
  bool FTimerEnabled = false;
  bool FBusy = false;
  TRunRecord FRun;
  std::unique_ptr<IRunReport> FOwnReport;
  IRunReport& Report;
};

// The row of the update decision that applies, 1 to 6, from the top of the table down.
int DecisionRow(bool programPresent, const std::string& localVersion, const std::string& serverVersion,
                bool running);

// The statement that reads one FTP setting of the code table.
std::string CodeLookupStatement(const std::string& codeGroup, const std::string& code);

}  // namespace pravik::app
