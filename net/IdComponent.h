#pragma once
// The base of every network component: status and work events, and registration as a
// user of the global socket stack for as long as the component lives.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace pravik {

enum class TIdStatus {
  statusResolving,
  statusConnecting,
  statusConnected,
  statusDisconnecting,
  statusDisconnected,
  statusText,
  statusFtpTransfer,
  statusFtpReady,
  statusFtpAborted,
};

enum class TWorkMode { workRead = 0, workWrite = 1 };

class TIdComponent;

using TIdStatusEvent =
    std::function<void(TIdComponent* ASender, TIdStatus AStatus, const std::string& AStatusText)>;
using TWorkEvent = std::function<void(TIdComponent* Sender, TWorkMode AWorkMode, std::int32_t AWorkCount)>;
using TWorkBeginEvent =
    std::function<void(TIdComponent* Sender, TWorkMode AWorkMode, std::int32_t AWorkCountMax)>;
using TWorkEndEvent = std::function<void(TIdComponent* Sender, TWorkMode AWorkMode)>;

class TIdComponent {
 public:
  // Registers a stack user; the first one creates the global stack (and its error passes on).
  TIdComponent();
  virtual ~TIdComponent();
  TIdComponent(const TIdComponent&) = delete;
  TIdComponent& operator=(const TIdComponent&) = delete;

  // Calls OnStatus, when set, with the status's text filled with `args`.
  void ReportStatus(TIdStatus status, std::initializer_list<std::string_view> args = {});
  virtual void StartWork(TWorkMode mode, std::int32_t max);
  virtual void AddWork(TWorkMode mode, std::int32_t count);
  virtual void FinishWork(TWorkMode mode);

  // Asks to be told through Notification when `component` is destroyed.
  void FreeNotification(TIdComponent* component);
  void RemoveFreeNotification(TIdComponent* component);

  TIdStatusEvent OnStatus;
  TWorkEvent OnWork;
  TWorkBeginEvent OnWorkBegin;
  TWorkEndEvent OnWorkEnd;

 protected:
  // Called when a component this one asked about is being destroyed.
  virtual void Notification(TIdComponent* /*removed*/) {}

 private:
  struct WorkRecord {
    std::int32_t Count = 0;
    std::int32_t Max = 0;
    std::int32_t Level = 0;
  };
  WorkRecord Work[2];
  std::vector<TIdComponent*> Watchers;  // told when this one goes
  std::vector<TIdComponent*> Watched;   // those this one asked about
};

// The text format of each status.
std::string_view StatusFormat(TIdStatus status);

}  // namespace pravik
