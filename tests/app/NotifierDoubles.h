#pragma once
// Doubles of the notifier's processes, the responsive wait and the clock: a wait only moves
// the fake clock, and each start plays a scripted process (when it takes the mutex, when it
// ends by itself), so a test of 30 s takes no time. And the log as lines, for reading back.

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/UpdateServices.h"

namespace pravik::test {

using std::chrono::milliseconds;
using app::IClock;
using app::INotifierControl;
using app::INotifierProcess;
using app::IResponsiveWait;
using app::TNotifierStart;

// The log as lines, for the tests that read what it says.
class RecordingLog : public app::IUpdateLog {
 public:
  void Write(const std::string& text) override { Lines.push_back(text); }
  // Every line, one after the other, for searching.
  std::string All() const {
    std::string all;
    for (const std::string& line : Lines) all += line + "\n";
    return all;
  }
  std::vector<std::string> Lines;
};

class FakeClock : public IClock, public IResponsiveWait {
 public:
  milliseconds Now() override { return Time; }
  std::string LocalTime() override { return "2026-12-11 17:02:11"; }
  void Wait(milliseconds duration) override {
    Time += duration;
    ++Waits;
  }
  milliseconds Time{1000};
  int Waits = 0;
};

// What one started process does, measured from its start.
struct TProcessScript {
  // When it takes the mutex; never for nullopt.
  std::optional<milliseconds> MutexAfter;
  // When it ends by itself, with which code; never for nullopt.
  std::optional<milliseconds> EndsAfter;
  std::uint32_t ExitCode = 0;
  // How long it takes to be gone once ended from outside; never for nullopt.
  std::optional<milliseconds> GoneAfterTerminate = milliseconds(0);
};

inline TProcessScript TakesMutexAfter(milliseconds after) {
  TProcessScript script;
  script.MutexAfter = after;
  return script;
}
inline TProcessScript EndsAfter(milliseconds after, std::uint32_t exitCode) {
  TProcessScript script;
  script.EndsAfter = after;
  script.ExitCode = exitCode;
  return script;
}
// Runs without ever taking the mutex; gone that long after it is ended from outside.
inline TProcessScript NeverTakesMutex(std::optional<milliseconds> goneAfterTerminate = milliseconds(0)) {
  TProcessScript script;
  script.GoneAfterTerminate = goneAfterTerminate;
  return script;
}
// The script of a notifier that starts well, taking its mutex after 200 ms.
inline TProcessScript Healthy() { return TakesMutexAfter(milliseconds(200)); }

class ScriptedNotifier : public INotifierControl {
 public:
  ScriptedNotifier(std::vector<std::string>& events, FakeClock& clock) : Events(events), Clock(clock) {}

  bool MutexExists(const std::string&) override {
    if (ForeignMutex) return true;
    for (const auto& process : Processes)
      if (process->HoldsMutex(Clock.Now())) return true;
    return false;
  }
  bool TerminateWindowOwner(const std::string& title) override {
    Events.push_back("kill " + title);
    if (!Running) return false;
    Running->Terminate();
    return true;
  }
  std::uint32_t StartProgram(const std::string& path, int showCommand) override {
    Events.push_back("winexec " + std::filesystem::path(path).filename().string() + " " + std::to_string(showCommand));
    return 33;
  }
  TNotifierStart StartProcess(const std::string& path, int showCommand) override {
    const std::string program = ReadProgram ? ReadProgram() : "";
    Events.push_back("start " + std::filesystem::path(path).filename().string() + " " + std::to_string(showCommand) +
                     (program.empty() ? "" : " (" + program + ")"));
    if (OnStart) OnStart();
    if (Scripts.empty()) return {nullptr, 2};
    Running = std::make_shared<TProcess>(Scripts.front(), Clock, Events, program);
    Scripts.pop_front();
    Processes.push_back(Running);
    return {std::make_unique<THandle>(Running), 0};
  }
  std::unique_ptr<INotifierProcess> WindowOwner(const std::string& title) override {
    Events.push_back("owner " + title);
    if (!Running) return nullptr;
    return std::make_unique<THandle>(Running);
  }

  // A notifier running before the run, ended from outside after `goneAfter`.
  void AlreadyRunning(std::optional<milliseconds> goneAfter = milliseconds(300)) {
    TProcessScript script = TakesMutexAfter(milliseconds(0));
    script.GoneAfterTerminate = goneAfter;
    Running = std::make_shared<TProcess>(script, Clock, Events, "before");
    Running->Began = Clock.Now() - milliseconds(60000);
    Processes.push_back(Running);
  }

  std::deque<TProcessScript> Scripts;
  bool ForeignMutex = false;
  // Tells which program a start ran, for the events ("old", "new").
  std::function<std::string()> ReadProgram;
  std::function<void()> OnStart;

 private:
  struct TProcess {
    TProcess(TProcessScript script, FakeClock& clock, std::vector<std::string>& events, std::string name)
        : Script(script), Clock(clock), Events(events), Name(std::move(name)), Began(clock.Now()) {}
    std::optional<std::uint32_t> ExitCode(milliseconds now) const {
      if (TerminatedAt && Script.GoneAfterTerminate && now >= *TerminatedAt + *Script.GoneAfterTerminate) return 1;
      if (Script.EndsAfter && now >= Began + *Script.EndsAfter) return Script.ExitCode;
      return std::nullopt;
    }
    bool HoldsMutex(milliseconds now) const {
      return !ExitCode(now) && !TerminatedAt && Script.MutexAfter && now >= Began + *Script.MutexAfter;
    }
    void Terminate() {
      Events.push_back("terminate " + Name);
      if (!TerminatedAt) TerminatedAt = Clock.Now();
    }
    TProcessScript Script;
    FakeClock& Clock;
    std::vector<std::string>& Events;
    std::string Name;
    milliseconds Began;
    std::optional<milliseconds> TerminatedAt;
  };
  class THandle : public INotifierProcess {
   public:
    explicit THandle(std::shared_ptr<TProcess> process) : Process(std::move(process)) {}
    std::optional<std::uint32_t> ExitCode() override { return Process->ExitCode(Process->Clock.Now()); }
    void Terminate() override { Process->Terminate(); }

   private:
    std::shared_ptr<TProcess> Process;
  };

  std::vector<std::string>& Events;
  FakeClock& Clock;
  std::vector<std::shared_ptr<TProcess>> Processes;
  std::shared_ptr<TProcess> Running;
};

}  // namespace pravik::test
