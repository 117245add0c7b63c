#include "net/IdComponent.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

#include "net/IdStack.h"
#include "tests/support/ForwardingStack.h"

namespace pravik {
namespace {

using test::ForwardingStack;
using test::ScopedStackClass;

TEST(ComponentStatusTest, ReportsTheStatusTextsOnlyToAHandler) {
  TIdComponent component;
  component.ReportStatus(TIdStatus::statusConnected, {"ftp.example"});  // no handler: nothing

  std::vector<std::pair<TIdStatus, std::string>> seen;
  component.OnStatus = [&](TIdComponent* sender, TIdStatus status, const std::string& text) {
    EXPECT_EQ(sender, &component);
    seen.emplace_back(status, text);
  };
  component.ReportStatus(TIdStatus::statusResolving, {"pravik-ftp"});
  component.ReportStatus(TIdStatus::statusConnecting, {"127.0.0.1"});
  component.ReportStatus(TIdStatus::statusConnected, {"pravik-ftp"});
  component.ReportStatus(TIdStatus::statusDisconnecting);
  component.ReportStatus(TIdStatus::statusDisconnected);
  component.ReportStatus(TIdStatus::statusFtpAborted, {"Transfer aborted"});
  component.ReportStatus(TIdStatus::statusText);

  const std::vector<std::pair<TIdStatus, std::string>> expected = {
      {TIdStatus::statusResolving, "Resolving hostname pravik-ftp."},
      {TIdStatus::statusConnecting, "Connecting to 127.0.0.1."},
      {TIdStatus::statusConnected, "Connected."},
      {TIdStatus::statusDisconnecting, "Disconnecting."},
      {TIdStatus::statusDisconnected, "Disconnected."},
      {TIdStatus::statusFtpAborted, "Transfer aborted"},
      {TIdStatus::statusText, ""}};
  EXPECT_EQ(seen, expected);
}

TEST(ComponentWorkTest, NestedBracketsReportOnceAndCountRunningTotals) {
  TIdComponent component;
  std::vector<std::string> events;
  component.OnWorkBegin = [&](TIdComponent*, TWorkMode mode, std::int32_t max) {
    events.push_back("begin " + std::to_string(static_cast<int>(mode)) + " " + std::to_string(max));
  };
  component.OnWork = [&](TIdComponent*, TWorkMode, std::int32_t count) {
    events.push_back("work " + std::to_string(count));
  };
  component.OnWorkEnd = [&](TIdComponent*, TWorkMode) { events.push_back("end"); };

  component.AddWork(TWorkMode::workRead, 5);  // outside a bracket: not reported
  component.StartWork(TWorkMode::workRead, 100);
  component.StartWork(TWorkMode::workRead, 7);  // nested: no second begin, max kept
  component.AddWork(TWorkMode::workRead, 10);
  component.AddWork(TWorkMode::workWrite, 3);   // the other mode has no bracket open
  component.AddWork(TWorkMode::workRead, 20);
  component.FinishWork(TWorkMode::workRead);
  component.FinishWork(TWorkMode::workRead);
  component.StartWork(TWorkMode::workRead, 0);  // a new bracket counts from zero
  component.AddWork(TWorkMode::workRead, 1);
  component.FinishWork(TWorkMode::workRead);

  EXPECT_EQ(events, (std::vector<std::string>{"begin 0 100", "work 10", "work 30", "end",
                                              "begin 0 0", "work 1", "end"}));
}

class Watcher : public TIdComponent {
 public:
  std::vector<TIdComponent*> Removed;

 protected:
  void Notification(TIdComponent* removed) override { Removed.push_back(removed); }
};

TEST(ComponentNotificationTest, AWatcherLearnsOfADestroyedComponentOnce) {
  Watcher watcher;
  auto watched = std::make_unique<TIdComponent>();
  TIdComponent* address = watched.get();
  watcher.FreeNotification(address);
  watcher.FreeNotification(address);
  watched.reset();
  EXPECT_EQ(watcher.Removed, std::vector<TIdComponent*>{address});

  auto forgotten = std::make_unique<TIdComponent>();
  watcher.FreeNotification(forgotten.get());
  watcher.RemoveFreeNotification(forgotten.get());
  forgotten.reset();
  EXPECT_EQ(watcher.Removed.size(), 1u);
}

TEST(ComponentNotificationTest, AWatcherDestroyedFirstIsNotCalledLater) {
  TIdComponent watched;
  { Watcher watcher; watcher.FreeNotification(&watched); }
  SUCCEED();  // destroying `watched` now must not reach the gone watcher (ASan would tell)
}

// Stack classes that count what happens to them.
int gStacksCreated = 0;
int gStacksDestroyed = 0;
int gFailuresLeft = 0;

class CountingStack : public ForwardingStack {
 public:
  CountingStack() {
    if (gFailuresLeft > 0) {
      --gFailuresLeft;
      throw std::runtime_error("stack start-up failed");
    }
    ++gStacksCreated;
  }
  ~CountingStack() override { ++gStacksDestroyed; }
};

std::unique_ptr<TIdStack> CreateCountingStack() { return std::make_unique<CountingStack>(); }

class StackLifetimeTest : public ::testing::Test {
 protected:
  void SetUp() override { gStacksCreated = gStacksDestroyed = gFailuresLeft = 0; }
  ScopedStackClass Guard{&CreateCountingStack};
};

TEST_F(StackLifetimeTest, FirstComponentCreatesTheStackAndTheLastFreesIt) {
  ASSERT_EQ(GlobalStack, nullptr);
  auto first = std::make_unique<TIdComponent>();
  TIdStack* stack = GlobalStack;
  ASSERT_NE(stack, nullptr);
  auto second = std::make_unique<TIdComponent>();
  EXPECT_EQ(GlobalStack, stack);
  EXPECT_EQ(StackUserCount(), 2);
  EXPECT_EQ(gStacksCreated, 1);

  first.reset();
  EXPECT_EQ(GlobalStack, stack);
  second.reset();
  EXPECT_EQ(GlobalStack, nullptr);
  EXPECT_EQ(StackUserCount(), 0);
  EXPECT_EQ(gStacksDestroyed, 1);

  TIdComponent again;
  EXPECT_NE(GlobalStack, nullptr);
  EXPECT_EQ(gStacksCreated, 2);
}

TEST_F(StackLifetimeTest, AFailedStackStartLeavesNoUserAndTheNextComponentTriesAgain) {
  gFailuresLeft = 1;
  EXPECT_THROW(TIdComponent{}, std::runtime_error);
  EXPECT_EQ(StackUserCount(), 0);
  EXPECT_EQ(GlobalStack, nullptr);

  TIdComponent component;
  EXPECT_EQ(StackUserCount(), 1);
  EXPECT_NE(GlobalStack, nullptr);
}

}  // namespace
}  // namespace pravik
