#pragma once
// The notifier's starts made safe: every start checked (the program runs and takes its
// mutex), the program that a download replaces kept as "<notifier>.previous" and put back
// when the new one does not start, and a version that failed here held back from later
// runs. Switched on by the code table; off, the update behaves as it always has.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/HeldVersion.h"
#include "app/StartCheck.h"
#include "app/UpdateServices.h"
#include "ftp/IdFTP.h"

namespace pravik::app {

// How a start after a replace ended.
enum class TReplacedStart {
  // The new program runs: its version may be recorded.
  Passed,
  // It did not start and there was no previous program: the new one stays.
  Failed,
  // It did not start; the previous program is back in its place (and was started).
  RolledBack,
  // It did not start and the previous program could not be put back: the new one stays.
  NotPutBack,
};

class TNotifierGuard {
 public:
  // `notifier`: the program file; the previous program is kept beside it. `heldPath`: the
  // record of a version that failed here.
  TNotifierGuard(INotifierControl& notifier, IResponsiveWait& wait, IClock& clock, IUpdateLog& log,
                 std::string notifierPath, std::string heldPath);
  ~TNotifierGuard();
  TNotifierGuard(const TNotifierGuard&) = delete;
  TNotifierGuard& operator=(const TNotifierGuard&) = delete;

  // Switches the guard on when the code table's text is "ON" (either case, blanks around it
  // ignored); no row, NULL, empty or "OFF" leave it off, any other text too, with the reason
  // in the log. `serverVersion` is the version this run would install.
  void Configure(const std::optional<std::string>& codeText, const std::string& serverVersion);
  bool Enabled() const { return IsEnabled; }

  // Whether the server version, with the published SHA-256 that `published` looks up (only
  // asked when a version is held), failed its start here before; the reason goes to the log.
  // Never when off.
  bool Holds(const std::function<std::optional<std::string>()>& published);

  // The check a retrieval runs: `check` itself when off, else `check` followed, once it has
  // passed, by keeping the installed program as the previous one. `published` is the code
  // table's SHA-256 text, recorded if the new program fails.
  TIdRetrievalCheck* Keeping(TIdRetrievalCheck& check, const std::optional<std::string>& published);

  // Before a running notifier is stopped by its window: its process, to wait for its end;
  // nullptr when off or there is none.
  std::unique_ptr<INotifierProcess> OwnerBeforeStop(const std::string& windowTitle);
  // After that stop: waits, at most 5 s, for the process to be gone, so that a start after
  // it never meets the old instance's mutex; logged.
  void WaitUntilStopped(std::unique_ptr<INotifierProcess> owner);

  // Starts the installed program and checks the start, logged; false when off (nothing
  // started: the caller starts it as it always has).
  bool StartChecked(int showCommand);
  // `cause` with the failure of the last StartChecked added, for the report of a run that
  // only started the installed notifier (nothing to go back to there).
  std::optional<std::string> WithStartFailure(std::optional<std::string> cause) const;

  // After a download that replaced the program: its checked start and, when that fails and
  // a previous program was kept, the rollback (the new process ended, the previous program
  // back in place, started and checked); a failed version is held. Only when on.
  TReplacedStart StartReplaced(int showCommand);
  // Why the last StartReplaced did not pass, for the log, the box and the report.
  const std::string& Cause() const { return FCause; }
  // The held version that stopped this run's download (after Holds was true).
  const THeldVersion& HeldRecord() const { return FHeld; }

  std::string PreviousPath() const { return NotifierPath + ".previous"; }

 private:
  class TKeepingCheck;
  // Copies the installed program to a temporary name and renames that over the previous
  // one, so that neither file is ever partial; false, logged, when it cannot.
  bool KeepPrevious();
  TStartCheckResult CheckedStart(const std::string& what, int showCommand);
  void HoldFailedVersion();

  INotifierControl& Notifier;
  IUpdateLog& Log;
  TStartCheck Check;
  const std::string NotifierPath;
  const std::string HeldPath;
  bool IsEnabled = false;
  std::string ServerVersion;
  std::string PublishedSha256Text;
  bool PreviousKept = false;
  std::string FCause;
  std::optional<std::string> FStartFailure;
  THeldVersion FHeld;
  std::unique_ptr<TKeepingCheck> Keeper;
};

// The opt-in text of the code table, by the rule of Configure: true, false, or nullopt for a
// text that means neither.
std::optional<bool> StartCheckSetting(const std::optional<std::string>& codeText);

}  // namespace pravik::app
