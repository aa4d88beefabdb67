#include "framework/runtime/busy_gate.h"

#include <QTimer>

#include "framework/runtime/event_boundary.h"

BusyGate::BusyGate(QObject* context) : context_(context) {}

bool BusyGate::DeferIfBusy(std::function<void()> handler) {
  if (depth_ == 0) return false;
  deferred_.push_back(std::move(handler));
  return true;
}

void BusyGate::leave() {
  if (--depth_ != 0) return;
  if (!deferred_.empty() && !scheduled_ && context_) {
    scheduled_ = true;
    QTimer::singleShot(0, context_, [this] { runDeferred(); });
  }
  if (onIdle_) onIdle_();
}

void BusyGate::runDeferred() {
  scheduled_ = false;
  // Each handler may itself defer more; take the current batch only.
  auto batch = std::move(deferred_);
  deferred_.clear();
  for (std::size_t i = 0; i < batch.size(); ++i) {
    if (depth_ > 0) {
      // Something started running again: keep the rest for later, in order.
      deferred_.insert(deferred_.begin(), std::make_move_iterator(batch.begin() + static_cast<std::ptrdiff_t>(i)),
                       std::make_move_iterator(batch.end()));
      return;
    }
    // Each runs as an event of its own: an error is reported and those behind
    // it still run.
    RunVoidHandler(batch[i]);
  }
}
