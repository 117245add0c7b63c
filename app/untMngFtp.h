#pragma once
// The update window `frmMngFtp` and its handlers: the version check and update decision,
// notifier control and the download. Its screen side, the notifier's process and standard
// output come through the platform interfaces, so the whole decision runs anywhere.

#include <string>

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
};

class TfrmMngFtp {
 public:
  // Creates the window's objects: the database connection (not connected), the query
  // with the version statement, the FTP client with its stored settings, the timer off.
  TfrmMngFtp(IUpdateWindow& window, INotifierControl& notifier, IStandardOutput& output,
             TUpdatePaths paths = {});
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
  // Looks the FTP settings up, connects, changes directory and retrieves the notifier.
  // A failed retrieval is shown in its own box and asks the window to close; the result
  // says whether the new program file is in place.
  bool DownLoadFile();
  void Timer1Timer();

  // The error box: the message by the "." rule, the program title, a stop sign.
  void ShowErrorBox(const std::string& message);
  bool TimerEnabled() const { return FTimerEnabled; }

  TADOConnection ADOConnectionMAIN;
  TADOQuery qryTmp;
  TIdFTP IdFTP1;
  TTextBuffer mmLoadTxt;
  std::string sFtpCodeID;
  std::string sFtpHostCode;
  std::string sFtpUserCode;
  std::string sFtpPassCode;
  std::string sFtpDirCode;

 private:
  std::string LookUp(const std::string& code);
  void SetTimer(bool enabled);
  // Download now, record the version when the file came, start the notifier, close.
  void DownloadAndStart();
  void SaveVersionFile();

  IUpdateWindow& Window;
  INotifierControl& Notifier;
  IStandardOutput& Output;
  const TUpdatePaths Paths;
  bool FTimerEnabled = false;
  bool FBusy = false;
};

// The statement that reads one FTP setting of the code table.
std::string CodeLookupStatement(const std::string& codeGroup, const std::string& code);

}  // namespace pravik::app
