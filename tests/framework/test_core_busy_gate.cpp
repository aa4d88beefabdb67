#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/runtime/busy_gate.h"
#include "framework/runtime/runtime.h"

namespace {

// A few turns of the event loop, enough for a handler queued by another.
void processEvents() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace

TEST(BusyGate, HandlersWaitForTheOutermostScopeAndRunInOrderFromTheEventLoop) {
  QObject context;
  BusyGate gate(&context);
  std::vector<std::string> ran;
  int idle = 0;
  gate.SetOnIdle([&] { ++idle; });

  // Idle: the caller runs the handler itself.
  EXPECT_FALSE(gate.Busy());
  EXPECT_FALSE(gate.DeferIfBusy([&] { ran.push_back("now"); }));
  EXPECT_TRUE(ran.empty());

  {
    const BusyGate::Scope outer(gate);
    EXPECT_TRUE(gate.DeferIfBusy([&] { ran.push_back("a"); }));
    {
      const BusyGate::Scope inner(gate);
      EXPECT_TRUE(gate.DeferIfBusy([&] { ran.push_back("b"); }));
    }
    // The inner scope's end leaves the gate busy: nothing runs, even when
    // the work yields to the event loop.
    EXPECT_TRUE(gate.Busy());
    EXPECT_EQ(idle, 0);
    processEvents();
    EXPECT_TRUE(ran.empty());
    EXPECT_TRUE(gate.DeferIfBusy([&] { ran.push_back("c"); }));
  }
  // Not from the scope's end, but from the event loop afterwards.
  EXPECT_FALSE(gate.Busy());
  EXPECT_EQ(idle, 1);
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(gate.Waiting(), 3u);
  processEvents();
  EXPECT_EQ(ran, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(gate.Waiting(), 0u);
}

TEST(BusyGate, QueuedHandlersWaitAgainForWorkThatStartsBeforeTheyRun) {
  QObject context;
  BusyGate gate(&context);
  std::vector<std::string> ran;
  {
    const BusyGate::Scope work(gate);
    gate.DeferIfBusy([&] { ran.push_back("first"); });
  }
  {
    // New work starts before the event loop ran the queue, and yields.
    const BusyGate::Scope work(gate);
    processEvents();
    EXPECT_TRUE(ran.empty());
    gate.DeferIfBusy([&] { ran.push_back("second"); });
  }
  processEvents();
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "second"}));

  // A handler that defers more while it works: the rest of its batch runs
  // first, then what it deferred.
  {
    const BusyGate::Scope work(gate);
    gate.DeferIfBusy([&] {
      const BusyGate::Scope inner(gate);
      ran.push_back("x");
      gate.DeferIfBusy([&] { ran.push_back("deferred by x"); });
    });
    gate.DeferIfBusy([&] { ran.push_back("y"); });
  }
  ran.clear();
  processEvents();
  EXPECT_EQ(ran, (std::vector<std::string>{"x", "y", "deferred by x"}));
}

TEST(BusyGate, AFailingHandlerIsReportedAndThoseBehindItStillRun) {
  std::vector<std::string> messages;
  const UserAlertSink previous = SetUserAlertSink({[&](const std::string& text) { messages.push_back(text); }, [] {}});
  QObject context;
  BusyGate gate(&context);
  std::vector<std::string> ran;
  {
    const BusyGate::Scope work(gate);
    gate.DeferIfBusy([] { throw std::runtime_error("the list is gone"); });
    gate.DeferIfBusy([&] { ran.push_back("after"); });
  }
  processEvents();
  SetUserAlertSink(previous);
  EXPECT_EQ(ran, (std::vector<std::string>{"after"}));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("the list is gone"), std::string::npos) << messages[0];
}

TEST(BusyGate, NothingRunsOnceTheContextIsGone) {
  auto context = std::make_unique<QObject>();
  auto gate = std::make_unique<BusyGate>(context.get());
  bool ran = false;
  {
    const BusyGate::Scope work(*gate);
    gate->DeferIfBusy([&] { ran = true; });
  }
  context.reset();
  processEvents();
  EXPECT_FALSE(ran);
}
