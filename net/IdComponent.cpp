#include "net/IdComponent.h"

#include <algorithm>

#include "net/IdGlobal.h"
#include "net/IdStack.h"

namespace pravik {

namespace {

void Erase(std::vector<TIdComponent*>& list, TIdComponent* component) {
  list.erase(std::remove(list.begin(), list.end(), component), list.end());
}

}  // namespace

std::string_view StatusFormat(TIdStatus status) {
  switch (status) {
    case TIdStatus::statusResolving: return "Resolving hostname %s.";
    case TIdStatus::statusConnecting: return "Connecting to %s.";
    case TIdStatus::statusConnected: return "Connected.";
    case TIdStatus::statusDisconnecting: return "Disconnecting.";
    case TIdStatus::statusDisconnected: return "Disconnected.";
    case TIdStatus::statusText:
    case TIdStatus::statusFtpTransfer:
    case TIdStatus::statusFtpReady:
    case TIdStatus::statusFtpAborted: return "%s";
  }
  return "%s";
}

TIdComponent::TIdComponent() { AddStackUser(); }

TIdComponent::~TIdComponent() {
  for (TIdComponent* watcher : std::vector<TIdComponent*>(Watchers)) {
    Erase(watcher->Watched, this);
    watcher->Notification(this);
  }
  for (TIdComponent* watched : Watched) Erase(watched->Watchers, this);
  RemoveStackUser();
}

void TIdComponent::ReportStatus(TIdStatus status, std::initializer_list<std::string_view> args) {
  if (!OnStatus) return;
  const std::string text =
      args.size() == 0 ? FormatText(StatusFormat(status), {""}) : FormatText(StatusFormat(status), args);
  OnStatus(this, status, text);
}

void TIdComponent::StartWork(TWorkMode mode, std::int32_t max) {
  WorkRecord& work = Work[static_cast<int>(mode)];
  if (++work.Level == 1) {
    work.Max = max;
    work.Count = 0;
    if (OnWorkBegin) OnWorkBegin(this, mode, max);
  }
}

void TIdComponent::AddWork(TWorkMode mode, std::int32_t count) {
  WorkRecord& work = Work[static_cast<int>(mode)];
  if (work.Level > 0) {
    work.Count += count;
    if (OnWork) OnWork(this, mode, work.Count);
  }
}

void TIdComponent::FinishWork(TWorkMode mode) {
  WorkRecord& work = Work[static_cast<int>(mode)];
  if (work.Level == 1 && OnWorkEnd) OnWorkEnd(this, mode);
  --work.Level;
}

void TIdComponent::FreeNotification(TIdComponent* component) {
  if (!component || component == this) return;
  if (std::find(Watched.begin(), Watched.end(), component) != Watched.end()) return;
  Watched.push_back(component);
  component->Watchers.push_back(this);
}

void TIdComponent::RemoveFreeNotification(TIdComponent* component) {
  if (!component) return;
  Erase(Watched, component);
  Erase(component->Watchers, this);
}

}  // namespace pravik
