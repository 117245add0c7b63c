#include "app/untMngFtp.h"

#include <exception>
#include <utility>

#include "app/AppTexts.h"
#include "app/ErrorDisplay.h"
#include "db/ServerVersion.h"
#include "db/untPublicLib.h"
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

}  // namespace

std::string CodeLookupStatement(const std::string& codeGroup, const std::string& code) {
  return "Select CODETEXT From MCODEBASE Where CODEID = '" + codeGroup + "'  and CODE = '" + code + "'  ";
}

TfrmMngFtp::TfrmMngFtp(IUpdateWindow& window, INotifierControl& notifier, IStandardOutput& output,
                       TUpdatePaths paths)
    : qryTmp(ADOConnectionMAIN, VersionStatement()),
      Window(window),
      Notifier(notifier),
      Output(output),
      Paths(std::move(paths)) {
  IdFTP1.MaxLineAction = TIdMaxLineAction::maException;
  IdFTP1.ProxySettings().ProxyType = TIdFtpProxyType::fpcmNone;
  IdFTP1.ProxySettings().Port = 0;
}

void TfrmMngFtp::FormCreate() {
  sFtpCodeID = kFtpCodeID;
  sFtpHostCode = kFtpHostCode;
  sFtpUserCode = kFtpUserCode;
  sFtpPassCode = kFtpPassCode;
  sFtpDirCode = kFtpDirCode;
}

void TfrmMngFtp::FormShow() {
  TBusyScope busy(FBusy);
  try {
    btnOKClick();
  } catch (const std::exception& error) {
    ShowErrorBox(error.what());
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
    ShowErrorBox(error.what());
  }
}

void TfrmMngFtp::ShowErrorBox(const std::string& message) {
  Window.ShowMessageBox(ErrorBoxText(message), ProgramTitle(Window.ProgramFile()), kBoxStopIcon);
}

void TfrmMngFtp::btnOKClick() {
  const bool running = IsNotifierRunning();
  const std::string serverVersion = ReadServerVersion(qryTmp);
  std::string localVersion = kNoLocalVersion;
  mmLoadTxt.Clear();
  if (FileExists(Paths.VersionFileToRead)) {
    mmLoadTxt.LoadFromFile(Paths.VersionFileToRead);
    localVersion = mmLoadTxt.FirstLine();
  }
  mmLoadTxt.ReplaceFirstLine(serverVersion);
  // The file records the server version only once that version is installed: a download
  // saves it after the new program file is in place. Whether it can be written is known
  // before anything is decided.
  CheckCanWrite(Paths.VersionFileToWrite);

  if (!FileExists(Paths.NotifierToProbe) || localVersion == kNoLocalVersion) {
    DownloadAndStart();
  } else if (localVersion == serverVersion) {
    SaveVersionFile();
    if (running) btnKillProClick();
    StartNotifier();
    Window.RequestClose();
  } else if (running) {
    btnKillProClick();
    SetTimer(true);
  } else {
    DownloadAndStart();
  }
}

void TfrmMngFtp::DownloadAndStart() {
  if (DownLoadFile()) SaveVersionFile();
  StartNotifier();
  Window.RequestClose();
}

void TfrmMngFtp::SaveVersionFile() { mmLoadTxt.SaveToFile(Paths.VersionFileToWrite); }

bool TfrmMngFtp::IsNotifierRunning() { return Notifier.MutexExists(kNotifierMutex); }

void TfrmMngFtp::btnKillProClick() { Notifier.TerminateWindowOwner(kNotifierWindowTitle); }

void TfrmMngFtp::StartNotifier() { Notifier.StartProgram(Paths.Notifier, kNotifierShowCommand); }

std::string TfrmMngFtp::LookUp(const std::string& code) {
  std::string value;
  GetSqlValue(CodeLookupStatement(sFtpCodeID, code), qryTmp, value);
  return value;
}

bool TfrmMngFtp::DownLoadFile() {
  IdFTP1.Host = LookUp(sFtpHostCode);
  IdFTP1.Username = LookUp(sFtpUserCode);
  IdFTP1.Password = LookUp(sFtpPassCode);
  IdFTP1.Passive = false;
  try {
    IdFTP1.ConnectToServer(true, TimeLimitDefault);
  } catch (const std::exception& error) {
    // The connect's own error is the one worth showing; the line goes where there is a
    // standard output to take it.
    try {
      Output.WriteLine(error.what());
    } catch (const EInOutError&) {
    }
    throw;
  }
  IdFTP1.ChangeDirectory(LookUp(sFtpDirCode));
  bool retrieved = true;
  try {
    IdFTP1.RetrieveFile(kNotifierRemoteName, Paths.Notifier, true, false);
    // An abort returns without error and leaves the old program: nothing new to record.
    retrieved = !IdFTP1.TransferAborted();
  } catch (const std::exception&) {
    retrieved = false;
    Window.ShowMessageBox(kRetrievalFailedText, kRetrievalFailedCaption, kBoxStopIcon);
    Window.RequestClose();
  }
  IdFTP1.CloseConnection();
  return retrieved;
}

void TfrmMngFtp::Timer1Timer() {
  if (DownLoadFile()) SaveVersionFile();
  StartNotifier();
  SetTimer(false);
  Window.RequestClose();
}

void TfrmMngFtp::SetTimer(bool enabled) {
  FTimerEnabled = enabled;
  Window.SetTimerEnabled(enabled);
}

}  // namespace pravik::app
