#include "app/NotifierGuard.h"

#include <cctype>
#include <exception>
#include <utility>
#include <vector>

#include "app/AppTexts.h"
#include "app/ErrorDescription.h"
#include "app/NotifierCheck.h"
#include "ftp/IdFileSystem.h"
#include "ftp/IdStream.h"

namespace pravik::app {

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Trimmed(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The published hash as the held record keeps it: the digits the download compares with,
// or, for a text that is no hash (every download then fails its check anyway), the text.
std::string HeldHashOf(const std::optional<std::string>& codeText) {
  try {
    return PublishedSha256(codeText).value_or("");
  } catch (const EUpdateRefused&) {
    return Trimmed(*codeText);
  }
}

// Copies `from` to `to` whole; false when either cannot be opened or a write fails.
bool CopyWhole(const std::string& from, const std::string& to) {
  try {
    TIdFileStream source(from, TIdFileStream::TOpenMode::fmOpenRead);
    TIdFileStream target(to, TIdFileStream::TOpenMode::fmCreate);
    std::vector<char> piece(64 * 1024);
    for (;;) {
      const std::int32_t count = source.Read(piece.data(), static_cast<std::int32_t>(piece.size()));
      if (count <= 0) return true;
      target.Write(piece.data(), count);
    }
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

std::optional<bool> StartCheckSetting(const std::optional<std::string>& codeText) {
  const std::string text = UpperCase(Trimmed(codeText.value_or("")));
  if (text == "ON") return true;
  if (text.empty() || text == "OFF") return false;
  return std::nullopt;
}

// Runs the download's own checks, then keeps the installed program: the replace comes
// right after, so what is kept is exactly the program that is replaced.
class TNotifierGuard::TKeepingCheck : public TIdRetrievalCheck {
 public:
  TKeepingCheck(TNotifierGuard& guard, TIdRetrievalCheck& inner) : Guard(guard), Inner(inner) {}
  void Consume(const void* bytes, std::int32_t count) override { Inner.Consume(bytes, count); }
  void Verify(const std::string& receivedPath, std::int64_t byteCount) override {
    Inner.Verify(receivedPath, byteCount);
    Guard.PreviousKept = Guard.KeepPrevious();
  }

 private:
  TNotifierGuard& Guard;
  TIdRetrievalCheck& Inner;
};

TNotifierGuard::TNotifierGuard(INotifierControl& notifier, IResponsiveWait& wait, IClock& clock, IUpdateLog& log,
                               std::string notifierPath, std::string heldPath)
    : Notifier(notifier),
      Log(log),
      Check(notifier, wait, clock),
      NotifierPath(std::move(notifierPath)),
      HeldPath(std::move(heldPath)) {}

TNotifierGuard::~TNotifierGuard() = default;

void TNotifierGuard::Configure(const std::optional<std::string>& codeText, const std::string& serverVersion) {
  ServerVersion = serverVersion;
  const std::optional<bool> setting = StartCheckSetting(codeText);
  IsEnabled = setting.value_or(false);
  if (!setting)
    Log.Write("Start check: setting " + Quoted(*codeText) + " is neither ON nor OFF; taken as OFF");
  else if (IsEnabled)
    Log.Write("Start check on (" + Quoted(*codeText) + "): every start of the notifier waits for its mutex, a new program that does not "
              "start is replaced by the previous one");
}

bool TNotifierGuard::Holds(const std::function<std::optional<std::string>()>& published) {
  if (!IsEnabled) return false;
  const std::optional<THeldVersion> held = ReadHeldVersion(HeldPath);
  if (!held) return false;
  const std::string hash = HeldHashOf(published());
  if (!held->Holds(ServerVersion, hash)) {
    Log.Write("Held version " + Quoted(held->Version) + " (" + HeldPath + ") is not this one: version " +
              Quoted(ServerVersion) + (hash.empty() ? "" : ", SHA-256 " + hash) + " is tried");
    return false;
  }
  FHeld = *held;
  Log.Write("Version " + Quoted(ServerVersion) + (hash.empty() ? "" : " with SHA-256 " + hash) +
            " is held: its start failed here on " + held->Date + " (" + HeldPath +
            "); not downloaded, the installed notifier is started, the version file is left as it is; delete " +
            HeldPath + " to try it again");
  return true;
}

TIdRetrievalCheck* TNotifierGuard::Keeping(TIdRetrievalCheck& check, const std::optional<std::string>& published) {
  PreviousKept = false;
  if (!IsEnabled) return &check;
  PublishedSha256Text = HeldHashOf(published);
  Keeper = std::make_unique<TKeepingCheck>(*this, check);
  return Keeper.get();
}

bool TNotifierGuard::KeepPrevious() {
  // A workstation without a program has nothing to go back to; a previous program of some
  // earlier run is no fallback for this one.
  if (!FileExists(NotifierPath)) return false;
  const std::string previous = PreviousPath();
  const std::string temporary = previous + ".new";
  int systemError = 0;
  if (!CopyWhole(NotifierPath, temporary) || !ReplaceFileWith(previous, temporary, &systemError)) {
    DeleteFileIfExists(temporary);
    Log.Write("The installed notifier could not be kept as " + previous +
              (systemError ? " (system error " + std::to_string(systemError) + ")" : "") +
              "; a new program that does not start stays");
    return false;
  }
  Log.Write("The installed notifier kept as " + previous);
  return true;
}

std::unique_ptr<INotifierProcess> TNotifierGuard::OwnerBeforeStop(const std::string& windowTitle) {
  return IsEnabled ? Notifier.WindowOwner(windowTitle) : nullptr;
}

void TNotifierGuard::WaitUntilStopped(std::unique_ptr<INotifierProcess> owner) {
  if (!IsEnabled || !owner) return;
  const std::chrono::milliseconds began = Check.Clock().Now();
  const bool gone = Check.WaitUntilGone(*owner);
  Log.Write(gone ? "The stopped notifier was gone after " + DurationText(Check.Clock().Now() - began)
                 : "The stopped notifier was still there after " + DurationText(TStartCheck::kGoneLimit) +
                       "; starting anyway");
}

TStartCheckResult TNotifierGuard::CheckedStart(const std::string& what, int showCommand) {
  TStartCheckResult result = Check.Start(NotifierPath, showCommand, kNotifierMutex);
  const std::string verdict = !result.Started ? result.Finding
                              : result.Passed ? "started, " + Quoted(kNotifierMutex) + " " + result.Finding
                                              : "started, start check failed: " + result.Finding;
  Log.Write("Starting the notifier " + NotifierPath + (what.empty() ? "" : " (" + what + ")") + ": " + verdict);
  return result;
}

bool TNotifierGuard::StartChecked(int showCommand) {
  if (!IsEnabled) return false;
  const TStartCheckResult result = CheckedStart("", showCommand);
  FStartFailure.reset();
  if (!result.Passed) FStartFailure = "the notifier did not start: " + result.Finding;
  return true;
}

std::optional<std::string> TNotifierGuard::WithStartFailure(std::optional<std::string> cause) const {
  if (!FStartFailure) return cause;
  return cause ? *cause + "; " + *FStartFailure : *FStartFailure;
}

void TNotifierGuard::HoldFailedVersion() {
  FHeld = THeldVersion{ServerVersion, PublishedSha256Text, Check.Clock().LocalTime()};
  try {
    WriteHeldVersion(HeldPath, FHeld);
    Log.Write("Version " + Quoted(ServerVersion) + " held in " + HeldPath + ": later runs do not download it again");
  } catch (const std::exception& error) {
    Log.Write("Version " + Quoted(ServerVersion) + " could not be held in " + HeldPath + ": " + DescribeError(error) +
              "; the next run tries it again");
  }
}

TReplacedStart TNotifierGuard::StartReplaced(int showCommand) {
  const std::chrono::milliseconds began = Check.Clock().Now();
  TStartCheckResult fresh = CheckedStart("the new program", showCommand);
  if (fresh.Passed) {
    FCause.clear();
    if (FileExists(HeldPath) && DeleteFileIfExists(HeldPath)) Log.Write("Held version record " + HeldPath + " removed");
    return TReplacedStart::Passed;
  }
  FCause = "the new notifier " + Quoted(ServerVersion) + " did not start: " + fresh.Finding;
  HoldFailedVersion();
  if (!PreviousKept) {
    Log.Write("No rollback: " + FCause + "; there is no previous program to go back to, the new one stays");
    return TReplacedStart::Failed;
  }
  Log.Write("Rollback: " + FCause);
  if (fresh.Process) {
    const bool gone = Check.End(*fresh.Process);
    Log.Write(std::string("Rollback: the new notifier's process ") +
              (gone ? "ended" : "ended, but still there after " + DurationText(TStartCheck::kGoneLimit)));
  }
  int systemError = 0;
  if (!ReplaceFileWith(NotifierPath, PreviousPath(), &systemError)) {
    FCause += "; the previous program " + PreviousPath() + " could not be put back (system error " +
              std::to_string(systemError) + ")";
    Log.Write("Rollback failed: " + PreviousPath() + " could not be put back as " + NotifierPath + " (system error " +
              std::to_string(systemError) + "); the new program stays");
    return TReplacedStart::NotPutBack;
  }
  PreviousKept = false;
  Log.Write("Rollback: " + PreviousPath() + " put back as " + NotifierPath);
  const TStartCheckResult old = CheckedStart("the previous program", showCommand);
  const std::string after = DurationText(Check.Clock().Now() - began) + " after the new one was started";
  Log.Write(old.Passed ? "Rollback done: the previous notifier runs again " + after +
                             "; the version file keeps the old version"
                       : "Rollback done, but the previous notifier did not start either (" + after +
                             "); the version file keeps the old version");
  return TReplacedStart::RolledBack;
}

}  // namespace pravik::app
