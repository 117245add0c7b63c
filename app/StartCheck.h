#pragma once
// Whether a notifier this program started actually runs: a running notifier holds the
// mutex "PravikNW.exe", so the check starts it with its process held and waits for the
// mutex, seeing at once a process that ends before it takes it. The waits go through the
// window, which stays responsive, and a clock that the tests replace.

#include <chrono>
#include <memory>
#include <string>

#include "app/UpdateServices.h"

namespace pravik::app {

struct TStartCheckResult {
  // The system started the process.
  bool Started = false;
  // The mutex appeared while the process ran.
  bool Passed = false;
  // From the start to the mutex, or to the failure.
  std::chrono::milliseconds Took{0};
  // For the log: "mutex after 120 ms", "ended with exit code 3 after 120 ms", "no mutex
  // after 30 s", "not started, system error 2".
  std::string Finding;
  // The process, while it may still run (nullptr when it did not start).
  std::unique_ptr<INotifierProcess> Process;
};

class TStartCheck {
 public:
  static constexpr std::chrono::milliseconds kMutexLimit{30000};
  static constexpr std::chrono::milliseconds kGoneLimit{5000};
  // How often the process and the mutex are looked at: an end is seen within this.
  static constexpr std::chrono::milliseconds kStep{50};

  TStartCheck(INotifierControl& notifier, IResponsiveWait& wait, IClock& clock);

  // Starts the program and waits, at most kMutexLimit, for the mutex `mutexName`.
  TStartCheckResult Start(const std::string& path, int showCommand, const std::string& mutexName);
  // Waits, at most kGoneLimit, for an ended process to be gone; true when it is.
  bool WaitUntilGone(INotifierProcess& process);
  // Ends the process and waits until it is gone; true when it is.
  bool End(INotifierProcess& process);

  IClock& Clock() { return TimeSource; }

 private:
  INotifierControl& Notifier;
  IResponsiveWait& Waiter;
  IClock& TimeSource;
};

// The machine's clocks: the steady one for waits, the local time for dates.
class TSystemClock : public IClock {
 public:
  std::chrono::milliseconds Now() override;
  std::string LocalTime() override;
};

// "120 ms", or whole seconds from 10 s on ("30 s").
std::string DurationText(std::chrono::milliseconds duration);

}  // namespace pravik::app
