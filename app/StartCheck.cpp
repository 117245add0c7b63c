#include "app/StartCheck.h"

#include <algorithm>

#include "app/LogFile.h"

namespace pravik::app {

using std::chrono::milliseconds;

std::string DurationText(milliseconds duration) {
  if (duration >= milliseconds(10000) && duration.count() % 1000 == 0)
    return std::to_string(duration.count() / 1000) + " s";
  return std::to_string(duration.count()) + " ms";
}

milliseconds TSystemClock::Now() {
  return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

// Without the milliseconds: the held record's date is read by people.
std::string TSystemClock::LocalTime() { return LocalTimeStamp().substr(0, 19); }

TStartCheck::TStartCheck(INotifierControl& notifier, IResponsiveWait& wait, IClock& clock)
    : Notifier(notifier), Waiter(wait), TimeSource(clock) {}

TStartCheckResult TStartCheck::Start(const std::string& path, int showCommand, const std::string& mutexName) {
  TStartCheckResult result;
  // A mutex that is there before the start is another instance's: the new one would see it
  // and leave, so its end is what the check then finds, not the mutex.
  const bool mutexBefore = Notifier.MutexExists(mutexName);
  const milliseconds began = TimeSource.Now();
  TNotifierStart start = Notifier.StartProcess(path, showCommand);
  if (!start.Process) {
    result.Finding = "not started, system error " + std::to_string(start.SystemError);
    return result;
  }
  result.Started = true;
  result.Process = std::move(start.Process);
  for (;;) {
    const milliseconds took = TimeSource.Now() - began;
    // The end first: a process that left may have left the mutex of another instance behind.
    if (const std::optional<std::uint32_t> code = result.Process->ExitCode()) {
      result.Took = took;
      result.Finding = "ended with exit code " + std::to_string(*code) + " after " + DurationText(took);
      result.Process.reset();
      return result;
    }
    if (!mutexBefore && Notifier.MutexExists(mutexName)) {
      result.Took = took;
      result.Passed = true;
      result.Finding = "mutex after " + DurationText(took);
      return result;
    }
    if (took >= kMutexLimit) {
      result.Took = took;
      result.Finding = std::string("no mutex after ") + DurationText(kMutexLimit) +
                       (mutexBefore ? " (another instance held it before the start)" : "");
      return result;
    }
    Waiter.Wait(std::min(kStep, kMutexLimit - took));
  }
}

bool TStartCheck::WaitUntilGone(INotifierProcess& process) {
  const milliseconds began = TimeSource.Now();
  while (!process.ExitCode()) {
    const milliseconds waited = TimeSource.Now() - began;
    if (waited >= kGoneLimit) return false;
    Waiter.Wait(std::min(kStep, kGoneLimit - waited));
  }
  return true;
}

bool TStartCheck::End(INotifierProcess& process) {
  if (!process.ExitCode()) process.Terminate();
  return WaitUntilGone(process);
}

}  // namespace pravik::app
