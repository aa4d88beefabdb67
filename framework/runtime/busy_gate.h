#pragma once

#include <QObject>
#include <QPointer>

#include <cstddef>
#include <functional>
#include <vector>

// Keeps handlers out of work that is under way. Work holds the gate busy with
// a Scope (scopes nest). A handler that arrives meanwhile, through a yield to
// the event loop or a modal loop, is queued with DeferIfBusy and runs from the
// event loop once the outermost scope has ended, in the order of arrival; one
// that finds work running again by then waits, with those behind it, for that
// work too. So no handler sees lists that work has half changed. A queued
// handler runs at the event boundary, as it would have as an event of its own.
class BusyGate {
public:
  // Deferred handlers run on the event loop of the context's thread, and not
  // at all once the context is gone.
  explicit BusyGate(QObject* context);
  BusyGate(const BusyGate&) = delete;
  BusyGate& operator=(const BusyGate&) = delete;

  class Scope {
  public:
    explicit Scope(BusyGate& gate) : gate_(gate) { ++gate_.depth_; }
    ~Scope() { gate_.leave(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

  private:
    BusyGate& gate_;
  };

  [[nodiscard]] bool Busy() const { return depth_ > 0; }

  // While busy, queues the handler and returns true; otherwise returns false,
  // and the caller runs the handler itself.
  bool DeferIfBusy(std::function<void()> handler);

  // Handlers queued and not yet run.
  [[nodiscard]] std::size_t Waiting() const { return deferred_.size(); }

  // Called whenever the outermost scope ends, after the queued handlers have
  // been scheduled.
  void SetOnIdle(std::function<void()> onIdle) { onIdle_ = std::move(onIdle); }

private:
  void leave();
  void runDeferred();

  QPointer<QObject> context_;
  int depth_ = 0;
  std::vector<std::function<void()>> deferred_;
  bool scheduled_ = false;
  std::function<void()> onIdle_;
};
